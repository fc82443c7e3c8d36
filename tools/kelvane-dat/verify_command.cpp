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
#include "kelvane_dat/file_type/string_table.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "parallel_work.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

struct VerifyOptions {
  std::string archive;
  std::size_t jobs = default_jobs();
  bool json = false;
};

constexpr const char* kVerifyDetails =
    "First the layout: bytes that two chains claim, or one chain twice, are a failure each,\n"
    "named by both owners and the offset, and a file whose chain runs into bytes already\n"
    "claimed is not read, so no chain is read twice. Then each failure is reported on\n"
    "standard error with the file's id, in id order, and a summary line follows on standard\n"
    "output. A compressed file fails when it expands to fewer bytes than it declares; a\n"
    "string table fails when it cannot be decoded, names another id, or leaves bytes\n"
    "undecoded. The exit status is 1 when anything failed. With --json the summary is one\n"
    "object: files, bytes, string_tables, entries and failures, a list of {\"what\", \"error\"}\n"
    "in the order standard error has them.\n";

struct VerifyFailure {
  std::string what;
  std::string text;
};

struct FileOutcome {
  std::uint64_t bytes = 0;
  bool string_table = false;
  std::size_t entries = 0;
  std::optional<VerifyFailure> failure;
};

FileOutcome check_file(const DatDatabase& archive, std::uint32_t id) {
  FileOutcome outcome;
  const std::string id_string = id_text(id);
  // The checked fetch fails a compressed payload that yields less than it declares.
  const Result<FileView> view = archive.view_file_checked(id);
  if (!view) {
    outcome.failure = VerifyFailure{"read " + id_string, error_text(view.error())};
    return outcome;
  }
  outcome.bytes = view->size();
  if (archive.file_type(id) != DatFileType::StringTable) return outcome;

  outcome.string_table = true;
  const std::string what = "decode string table " + id_string;
  const std::expected<StringTable, std::string> table = decode_string_table(view->to_vector());
  if (!table) {
    outcome.failure = VerifyFailure{what, table.error()};
  } else if (table->id != id) {
    outcome.failure = VerifyFailure{what, "the table names itself " + id_text(table->id)};
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

int run(const VerifyOptions& options) {
  const std::string& path = options.archive;
  const std::optional<DatDatabase> archive = open_archive(path, kViewingOptions);
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
  for_each_in_parallel(ids.size(), options.jobs, "verifying",
                       [&](std::size_t i) { outcomes[i] = check_file(*archive, ids[i]); });
  std::uint64_t bytes = 0;
  std::size_t tables = 0;
  std::size_t entries = 0;
  std::vector<VerifyFailure> reported;
  for (const LayoutOverlap& overlap : layout->overlaps) {
    reported.push_back({"layout", overlap.to_string()});
  }
  std::vector<std::pair<std::uint32_t, const VerifyFailure*>> failures;
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    const FileOutcome& outcome = outcomes[i];
    bytes += outcome.bytes;
    entries += outcome.entries;
    if (outcome.string_table) ++tables;
    if (outcome.failure) failures.emplace_back(ids[i], &*outcome.failure);
  }
  std::sort(failures.begin(), failures.end());
  for (const auto& [id, failure] : failures) reported.push_back(*failure);
  for (const VerifyFailure& failure : reported) report_error(failure.what, failure.text);
  const int status = reported.empty() ? kExitSuccess : kExitArchiveError;
  if (options.json) {
    Json failure_list = Json::array();
    for (const VerifyFailure& failure : reported) {
      failure_list.push_back({{"what", failure.what}, {"error", failure.text}});
    }
    write_out(json_line({{"files", ids.size()},
                         {"bytes", bytes},
                         {"string_tables", tables},
                         {"entries", entries},
                         {"failures", std::move(failure_list)}}));
    return finish_output(status);
  }
  write_out("checked " + counted(ids.size(), "file") + " (" + counted(bytes, "byte") + ") and " +
            counted(tables, "string table") + " (" + counted(entries, "entry", "entries") + "): " +
            (reported.empty() ? "no failures" : counted(reported.size(), "failure")) + "\n");
  return finish_output(status);
}

}  // namespace

void add_verify_command(CommandSet& commands) {
  const auto [app, options] = commands.add<VerifyOptions>(
      "verify", "read every file and decode every string table, reporting what fails",
      kVerifyDetails, &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive");
  add_jobs_option(app, options.jobs);
  app.add_flag("--json", options.json, "the summary as one JSON object instead of text");
}

}  // namespace kelvane_dat::cli
