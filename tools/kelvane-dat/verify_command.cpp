// kelvane-dat verify ARCHIVE [--jobs N]: checks that no two chains claim the same bytes, then reads
// every file, checks every compressed payload against the size it declares and decodes every
// string table; reports each failure and a summary.

#include "commands.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "archive.hpp"
#include "detail/endian.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "parallel_work.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::string_view kPositionals[] = {"ARCHIVE"};
constexpr OptionSyntax kOptions[] = {kJobsOption};
constexpr CommandSyntax kSyntax{
    .name = "verify",
    .summary = "read every file and decode every string table, reporting what fails",
    .positionals = kPositionals,
    .required_positionals = 1,
    .options = kOptions,
    .details =
        "First the layout: bytes that two chains claim, or one chain twice, are a failure each,\n"
        "named by both owners and the offset, and a file whose chain runs into bytes already\n"
        "claimed is not read, so no chain is read twice. Then each failure is reported on\n"
        "standard error with the file's id, in id order, and a summary line follows on standard\n"
        "output. A compressed file fails when it expands to fewer bytes than it declares; a\n"
        "string table fails when it cannot be decoded, names another id, or leaves bytes\n"
        "undecoded. The exit status is 1 when anything failed.\n",
};

struct Failure {
  std::string what;
  std::string text;
};

struct FileOutcome {
  std::uint64_t bytes = 0;
  bool string_table = false;
  std::size_t entries = 0;
  std::optional<Failure> failure;
};

// The size a compressed payload declares in its first four bytes, read on its own so the file's
// bytes still come from get_file like every other reader's.
Result<std::optional<std::uint32_t>> declared_size(const DatDatabase& archive,
                                                   const DatFileEntry& entry) {
  constexpr std::uint32_t kSizePrefix = 4;
  if (entry.size < kSizePrefix) return std::nullopt;
  const Result<std::vector<std::uint8_t>> prefix =
      archive.read_file_data(entry.offset, kSizePrefix);
  if (!prefix) return std::unexpected(prefix.error());
  return load_le32(prefix->data());
}

FileOutcome check_file(const DatDatabase& archive, std::uint32_t id) {
  FileOutcome outcome;
  const std::string id_string = id_text(id);
  const Result<std::vector<std::uint8_t>> bytes = archive.get_file(id);
  if (!bytes) {
    outcome.failure = Failure{"read " + id_string, error_text(bytes.error())};
    return outcome;
  }
  outcome.bytes = bytes->size();
  const DatFileEntry& entry = *archive.find(id);
  if (entry.is_compressed()) {
    const Result<std::optional<std::uint32_t>> declared = declared_size(archive, entry);
    if (!declared) {
      outcome.failure = Failure{"read " + id_string, error_text(declared.error())};
      return outcome;
    }
    if (!*declared) {
      outcome.failure = Failure{"expand " + id_string, "the compressed payload has " +
                                                           std::to_string(entry.size) +
                                                           " bytes, too few to declare its size"};
      return outcome;
    }
    if (bytes->size() != **declared) {
      outcome.failure = Failure{"expand " + id_string,
                                "the compressed payload yields " + std::to_string(bytes->size()) +
                                    " of the " + std::to_string(**declared) + " bytes it declares"};
      return outcome;
    }
  }
  if (archive.file_type(id) != DatFileType::StringTable) return outcome;

  outcome.string_table = true;
  const std::string what = "decode string table " + id_string;
  ByteCursor cursor(*bytes);
  const std::expected<StringTable, ReadError> table = StringTable::read_le(cursor);
  if (!table) {
    outcome.failure = Failure{what, table.error().to_string()};
  } else if (table->id != id) {
    outcome.failure = Failure{what, "the table names itself " + id_text(table->id)};
  } else if (cursor.position() != bytes->size()) {
    outcome.failure =
        Failure{what, "decoding stopped at byte " + std::to_string(cursor.position()) + " of " +
                          std::to_string(bytes->size())};
  } else {
    outcome.entries = table->strings.size();
  }
  return outcome;
}

// Every file in storage order, but those whose chains ran into bytes already claimed: reading them
// would read those bytes again, and in a crafted archive that multiplies the work without bound.
std::vector<std::uint32_t> ids_to_read(const DatDatabase& archive, const ArchiveLayout& layout) {
  std::unordered_set<std::uint32_t> overlapping;
  for (const LayoutOverlap& overlap : layout.overlaps) {
    if (overlap.second.kind == LayoutOwner::Kind::File) overlapping.insert(overlap.second.value);
  }
  std::vector<std::uint32_t> ids = archive.ids_in_storage_order();
  std::erase_if(ids, [&](std::uint32_t id) { return overlapping.contains(id); });
  return ids;
}

int run(const ParsedArguments& args) {
  const std::expected<std::size_t, std::string> jobs = jobs_option(args);
  if (!jobs) return usage_error(kSyntax.name, jobs.error());
  const std::string& path = args.positionals()[0];
  const std::optional<DatDatabase> archive = open_archive(path);
  if (!archive) return kExitArchiveError;
  const Result<ArchiveLayout> layout = check_layout(*archive);
  if (!layout) {
    report_error("check layout of " + path, error_text(layout.error()));
    return kExitArchiveError;
  }

  // Read in the order the chains lie in the file, so a cold archive streams from the disk; the
  // failures are still reported in id order.
  const std::vector<std::uint32_t> ids = ids_to_read(*archive, *layout);
  std::vector<FileOutcome> outcomes(ids.size());
  for_each_in_parallel(ids.size(), *jobs, "verifying",
                       [&](std::size_t i) { outcomes[i] = check_file(*archive, ids[i]); });
  std::uint64_t bytes = 0;
  std::size_t tables = 0;
  std::size_t entries = 0;
  for (const LayoutOverlap& overlap : layout->overlaps) report_error("layout", overlap.to_string());
  std::vector<std::pair<std::uint32_t, const Failure*>> failures;
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    const FileOutcome& outcome = outcomes[i];
    bytes += outcome.bytes;
    entries += outcome.entries;
    if (outcome.string_table) ++tables;
    if (outcome.failure) failures.emplace_back(ids[i], &*outcome.failure);
  }
  std::sort(failures.begin(), failures.end());
  for (const auto& [id, failure] : failures) report_error(failure->what, failure->text);
  const std::size_t failure_count = layout->overlaps.size() + failures.size();
  write_out("checked " + counted(ids.size(), "file") + " (" + counted(bytes, "byte") + ") and " +
            counted(tables, "string table") + " (" + counted(entries, "entry", "entries") + "): " +
            (failure_count == 0 ? "no failures" : counted(failure_count, "failure")) + "\n");
  return finish_output(failure_count == 0 ? kExitSuccess : kExitArchiveError);
}

}  // namespace

Command verify_command() { return {&kSyntax, &run}; }

}  // namespace kelvane_dat::cli
