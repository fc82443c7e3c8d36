// The check program: its registry of check cases, handed with the command line to the case runner
// (which selects, runs and reports them and decides the exit status), and the string-table parity
// case, which proves the library on a real local-language archive.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "case_runner/case_descriptor.hpp"
#include "case_runner/check.hpp"
#include "case_runner/runner.hpp"
#include "common/motion_command_names.hpp"
#include "detail/debug_format.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "kelvane_platform/command_line.hpp"

namespace {

using case_runner::check_eq;
using case_runner::fail;
using kelvane_dat::hex0x8;

constexpr std::uint32_t kEnglish = 1;
// A table every English archive carries, with two key names whose texts are known.
constexpr std::uint32_t kKnownTableId = 0x2300000A;
constexpr std::uint32_t kLeftAltKey = 0x014152D5;
constexpr std::uint32_t kLeftCtrlKey = 0x04CD833C;

// The archive to check, from the environment (raw bytes on POSIX, UTF-16 on Windows). Set but
// empty still counts as set.
std::optional<std::filesystem::path> get_local_dat_path() {
  const std::optional<std::string> value =
      kelvane_platform::utf8_environment_variable("KELVANE_LOCAL_DAT");
  if (!value) return std::nullopt;
  return kelvane_platform::path_from_utf8(*value);
}

// Every string table of the archive decodes, names its own id, is English and is consumed exactly;
// the known table holds its two known entries.
void all_retail_string_tables_parse() {
  const std::optional<std::filesystem::path> dat_path = get_local_dat_path();
  if (!dat_path) {
    case_runner::case_output() << "Skipping StringTable parity: KELVANE_LOCAL_DAT not set\n";
    return;
  }

  const auto dat = kelvane_dat::DatDatabase::open(*dat_path);
  if (!dat) fail("open local_English.dat: " + dat.error().debug_string());

  // Only the string-table ids are kept, not the whole directory, in ascending order: the order in
  // which the tables are checked, and so the one whose first bad table a failure names. Ids are
  // classified as this archive's kind means them. Each table is fetched and decoded on its own
  // below, and its bytes and decoded form are released before the next id, so what this case
  // holds is one table's worth however many tables the archive carries. The known table is met
  // among the others rather than fetched up front, so every table is checked exactly once, in
  // the same order, whether or not the known one is there.
  const std::vector<std::uint32_t> ids = dat->ids(kelvane_dat::DatFileType::StringTable);
  if (ids.empty()) fail("expected at least one StringTable record in local_English.dat");

  std::uint64_t total_entries = 0;
  std::uint64_t total_string_variants = 0;
  bool found_known = false;
  for (const std::uint32_t id : ids) {
    // One file's bytes and one decoded table at a time: both go out of scope before the next id.
    const auto bytes = dat->get_file(id);
    if (!bytes) fail("read StringTable " + hex0x8(id) + ": " + bytes.error().to_string());

    kelvane_dat::ByteCursor cursor(*bytes);
    const auto table = kelvane_dat::StringTable::read_le(cursor);
    if (!table) {
      fail("parse StringTable " + hex0x8(id) + " (" + std::to_string(bytes->size()) +
           " bytes): " + table.error().to_string());
    }
    check_eq(table->id, id, "StringTable " + hex0x8(id) + " self-id mismatch");
    check_eq(table->language, kEnglish,
             "StringTable " + hex0x8(id) + " language should be 1 (English)");
    const std::uint64_t consumed = cursor.position();
    check_eq(consumed, bytes->size(),
             "StringTable " + hex0x8(id) + " parser stopped at " + std::to_string(consumed) +
                 " of " + std::to_string(bytes->size()));

    total_entries += table->strings.size();
    for (const auto& [key, entry] : table->strings) total_string_variants += entry.strings.size();

    if (id == kKnownTableId) {
      check_eq(table->strings.size(), 2);
      const auto left_alt = table->strings.find(kLeftAltKey);
      if (left_alt == table->strings.end()) fail("0x2300000A should have key 0x014152D5");
      check_eq(left_alt->second.strings, std::vector<std::string>{"Left Alt"});
      const auto left_ctrl = table->strings.find(kLeftCtrlKey);
      if (left_ctrl == table->strings.end()) fail("0x2300000A should have key 0x04CD833C");
      check_eq(left_ctrl->second.strings, std::vector<std::string>{"Left Ctrl"});
      found_known = true;
    }
  }
  if (!found_known) fail("did not encounter known StringTable 0x2300000A");

  case_runner::case_output() << "Parsed " << ids.size() << " StringTable records, " << total_entries
                             << " total entries (" << total_string_variants
                             << " string variants)\n";
}

namespace motion = common::motion_command_names::tests;

constexpr std::string_view kThisFile = "crates/kelvane-dat/tests/string_table_parity.cpp";
constexpr std::string_view kMotionFile = "crates/kelvane-dat/tests/common/motion_command_names.cpp";

// In ascending byte-wise order of the names (checked when this compiles), which is also the order
// the runner starts them in. Spans locate each case's name in its source file; the end-to-end test
// RegistrySpansPointAtEachCaseName fails when one drifts.
constexpr auto kRegistry = case_runner::make_registry({
    {.name = "all_retail_string_tables_parse",
     .source_file = kThisFile,
     .start_line = 48,
     .start_col = 6,
     .end_line = 48,
     .end_col = 36,
     .entry = &all_retail_string_tables_parse},
    {.name = "common::motion_command_names::tests::classify_known_commands",
     .source_file = kMotionFile,
     .start_line = 136,
     .start_col = 6,
     .end_line = 136,
     .end_col = 29,
     .entry = &motion::classify_known_commands},
    {.name = "common::motion_command_names::tests::lookup_known_commands",
     .source_file = kMotionFile,
     .start_line = 125,
     .start_col = 6,
     .end_line = 125,
     .end_col = 27,
     .entry = &motion::lookup_known_commands},
    {.name = "common::motion_command_names::tests::table_is_strictly_sorted_for_binary_search",
     .source_file = kMotionFile,
     .start_line = 123,
     .start_col = 6,
     .end_line = 123,
     .end_col = 48,
     .entry = &motion::table_is_strictly_sorted_for_binary_search},
});

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = kelvane_platform::utf8_arguments(argc, argv);
  const std::vector<std::string_view> args(arguments.begin(), arguments.end());
  case_runner::RunnerIo io = case_runner::RunnerIo::process();
  return case_runner::run_cases(kRegistry, args, io);
}
