// The string-table parity case through the real executable, on archives built for each outcome.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "check_program.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "support/archive_builder.hpp"
#include "support/temp_file.hpp"
#include "support/tree_layout.hpp"

namespace kelvane_dat::e2e {
namespace {

using test_support::ArchiveBuilder;
using test_support::StoreOptions;
using test_support::TempFile;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kParity = "all_retail_string_tables_parse";
constexpr std::uint32_t kKnownId = 0x2300000A;

StoredStringTableEntry entry(std::uint32_t key, std::vector<std::string> texts) {
  StoredStringTableEntry data;
  data.key = key;
  for (const std::string& text : texts) data.texts.push_back(utf8_to_utf16(text).value());
  return data;
}

StoredStringTable known_table() {
  StoredStringTable table;
  table.id = kKnownId;
  table.entries = {entry(0x014152D5, {"Left Alt"}), entry(0x04CD833C, {"Left Ctrl"})};
  return table;
}

StoredStringTable plain_table(std::uint32_t id, std::size_t entries) {
  StoredStringTable table;
  table.id = id;
  for (std::uint32_t key = 1; key <= entries; ++key) {
    table.entries.push_back(entry(key, {"Text " + std::to_string(key)}));
  }
  return table;
}

struct StoredFile {
  std::uint32_t id;
  Bytes bytes;
  bool compressed = false;
};

StoredFile table_file(const StoredStringTable& table, bool compressed = false) {
  return {table.id, table.encode().value(), compressed};
}

class Archive {
 public:
  explicit Archive(const std::vector<StoredFile>& files, std::uint32_t block_size = 1024,
                   std::uint32_t dataset = 3) {
    ArchiveBuilder builder(block_size);
    builder.header.dataset = dataset;
    std::vector<DatFileEntry> entries;
    for (const StoredFile& file : files) {
      StoreOptions options;
      options.compressed = file.compressed;
      entries.push_back(builder.store_file(file.id, file.bytes, options));
    }
    std::sort(entries.begin(), entries.end(),
              [](const DatFileEntry& a, const DatFileEntry& b) { return a.id < b.id; });
    test_support::TreeShape shape;
    shape.entries_per_node = 3;
    shape.max_children = 3;
    builder.header.root_offset = test_support::store_tree(builder, entries, shape);
    file_.emplace(builder.finish(), "kelvane_parity");
  }

  std::string path() const { return file_->path().string(); }

 private:
  std::optional<TempFile> file_;
};

ProcessResult run_parity(const std::string& dat_path) {
  return run_check_program({kParity, "--exact", "--show-output"},
                           {{"KELVANE_LOCAL_DAT", dat_path}});
}

// The failure message the case reported: what follows the panic line, up to the backtrace note.
std::string failure_message(const ProcessResult& run) {
  const std::string marker = "' (TID) panicked at ";
  const std::string text = stable(run.out);
  const std::size_t panic = text.find(marker);
  if (panic == std::string::npos) return "<no failure in: " + run.out + ">";
  const std::size_t message = text.find(":\n", panic) + 2;
  const std::size_t note = text.find("\nnote: ", message);
  return text.substr(message, note - message);
}

TEST(ParityCase, PassingArchivePrintsExactTotals) {
  StoredStringTable duplicated = plain_table(0x23000003, 2);
  duplicated.entries.push_back(entry(1, {"later", "wins", "here"}));  // same key: counts once
  StoredStringTable variants = plain_table(0x23000001, 4);
  variants.entries[0].texts.push_back(utf8_to_utf16("Caf\xC3\xA9 \xF0\x9F\x98\x80").value());
  const Archive archive({table_file(known_table(), true),
                         table_file(variants),
                         table_file(duplicated, true),
                         {0x06000001, Bytes(5000, 7)},
                         {0x0E000002, Bytes{1, 2, 3}, true}});
  const ProcessResult run = run_parity(archive.path());
  EXPECT_EQ(run.exit_status, 0) << run.out;
  // Entries: 2 + 4 + 2 distinct keys; texts: 2 + 5 + (1 + 3).
  EXPECT_NE(run.out.find("---- all_retail_string_tables_parse stdout ----\n"
                         "Parsed 3 StringTable records, 8 total entries (11 string variants)\n"),
            std::string::npos)
      << run.out;
}

TEST(ParityCase, MissingOrEmptyPathFailsToOpen) {
  for (const char* path : {"", "/nonexistent/local_English.dat"}) {
    SCOPED_TRACE(path);
    const ProcessResult run = run_parity(path);
    EXPECT_EQ(run.exit_status, 101);
    const std::string message = failure_message(run);
    EXPECT_TRUE(message.starts_with("open local_English.dat: PathError { path: \"" +
                                    std::string(path) + "\", source: Os { code: "))
        << run.out;
    EXPECT_NE(message.find(", kind: NotFound, message: "), std::string::npos) << run.out;
  }
}

struct FailureCase {
  const char* label;
  std::vector<StoredFile> files;
  std::string message;
  std::uint32_t dataset = 3;
  std::uint32_t block_size = 1024;
};

std::vector<FailureCase> failure_cases() {
  // Stored as the known table, but naming its neighbour.
  StoredStringTable self_id_table = known_table();
  self_id_table.id = 0x2300000B;
  StoredFile self_id = table_file(self_id_table);
  self_id.id = kKnownId;
  StoredStringTable language = plain_table(0x23000001, 1);
  language.language = 2;
  // The smallest English table: one entry, 44 bytes.
  StoredStringTable one_entry = known_table();
  one_entry.entries.pop_back();
  StoredFile extra_bytes = table_file(one_entry);
  extra_bytes.bytes.insert(extra_bytes.bytes.end(), {0, 0});
  StoredStringTable three_keys = known_table();
  three_keys.entries.push_back(entry(7, {"Right Alt"}));
  StoredStringTable no_alt = known_table();
  no_alt.entries[0].key = 0x014152D6;
  StoredStringTable two_alts = known_table();
  two_alts.entries[0].texts.push_back(utf8_to_utf16("Alt").value());
  StoredStringTable no_ctrl = known_table();
  no_ctrl.entries[1].key = 0x04CD833D;
  StoredStringTable ctrl_differs = known_table();
  ctrl_differs.entries[1] = entry(0x04CD833C, {"Left \"Ctrl\"\t"});
  StoredStringTable bad_lower = plain_table(0x23000002, 1);
  bad_lower.language = 9;
  StoredStringTable bad_higher = plain_table(0x23000005, 1);
  bad_higher.id = 0x23000006;

  return {
      {"no string tables",
       {{0x06000001, Bytes(10, 1)}},
       "expected at least one StringTable record in local_English.dat"},
      {"cell archive: 0x23 ids are cells",
       {table_file(known_table())},
       "expected at least one StringTable record in local_English.dat",
       2,
       256},
      {"empty file",
       {{0x23000001, Bytes{}}, table_file(known_table())},
       "parse StringTable 0x23000001 (0 bytes): failed to fill whole buffer"},
      {"self id",
       {self_id},
       "assertion `left == right` failed: StringTable 0x2300000A self-id mismatch\n"
       "  left: 587202571\n right: 587202570"},
      {"language",
       {table_file(known_table()), table_file(language)},
       "assertion `left == right` failed: StringTable 0x23000001 language should be 1 (English)\n"
       "  left: 2\n right: 1"},
      {"extra bytes",
       {extra_bytes},
       "assertion `left == right` failed: StringTable 0x2300000A parser stopped at 44 of 46\n"
       "  left: 44\n right: 46"},
      {"three keys",
       {table_file(three_keys)},
       "assertion `left == right` failed\n  left: 3\n right: 2"},
      {"no Left Alt", {table_file(no_alt)}, "0x2300000A should have key 0x014152D5"},
      {"two texts",
       {table_file(two_alts)},
       "assertion `left == right` failed\n  left: [\"Left Alt\", \"Alt\"]\n right: [\"Left Alt\"]"},
      {"no Left Ctrl", {table_file(no_ctrl)}, "0x2300000A should have key 0x04CD833C"},
      {"Left Ctrl differs",
       {table_file(ctrl_differs, true)},
       "assertion `left == right` failed\n  left: [\"Left \\\"Ctrl\\\"\\t\"]\n"
       " right: [\"Left Ctrl\"]"},
      {"known table missing",
       {table_file(plain_table(0x23000001, 2))},
       "did not encounter known StringTable 0x2300000A"},
      {"lowest faulty id first",
       {table_file(known_table()), table_file(bad_higher), table_file(bad_lower)},
       "assertion `left == right` failed: StringTable 0x23000002 language should be 1 (English)\n"
       "  left: 9\n right: 1"},
  };
}

TEST(ParityCase, EachFailureReportsItsMessage) {
  for (const FailureCase& c : failure_cases()) {
    SCOPED_TRACE(c.label);
    const Archive archive(c.files, c.block_size, c.dataset);
    const ProcessResult run = run_parity(archive.path());
    EXPECT_EQ(run.exit_status, 101);
    EXPECT_EQ(failure_message(run), c.message);
    EXPECT_EQ(run.out.find("Parsed "), std::string::npos);
    EXPECT_NE(run.out.find("\nfailures:\n    all_retail_string_tables_parse\n"), std::string::npos);
  }
}

TEST(ParityCase, UnreadableFileReportsTheFetchError) {
  ArchiveBuilder builder;
  builder.header.dataset = 3;
  DatFileEntry broken{0, 0x23000001, 0x7FFFFF00, 100, 0, 0};  // chain starts past the end
  std::vector<DatFileEntry> entries = {broken};
  builder.header.root_offset = test_support::store_tree(builder, entries);
  const TempFile file(builder.finish(), "kelvane_parity");
  const ProcessResult run = run_parity(file.path().string());
  EXPECT_EQ(run.exit_status, 101);
  EXPECT_EQ(failure_message(run),
            "read StringTable 0x23000001: IO error: failed to fill whole buffer");
}

TEST(ParityCase, FailureReportNamesTheCheckInThisRepository) {
  const ProcessResult run = run_parity("");
  EXPECT_NE(stable(run.out).find("\nthread 'all_retail_string_tables_parse' (TID) panicked at "
                                 "crates/kelvane-dat/tests/string_table_parity.cpp:"),
            std::string::npos)
      << run.out;
}

}  // namespace
}  // namespace kelvane_dat::e2e
