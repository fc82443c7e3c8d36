// kelvane-dat extract ARCHIVE DIR [--type NAME] [--jobs N] [--force] [--raw]: every file, expanded
// (or as stored, with --raw), to DIR/<TypeName>/<XXXXXXXX>.bin, and DIR/manifest.json, from which
// create builds the archive again.

#include "commands.hpp"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "archive.hpp"
#include "archive_manifest.hpp"
#include "chain_groups.hpp"
#include "kelvane_platform/command_line.hpp"
#include "output_directory.hpp"
#include "parallel_work.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

struct ExtractOptions {
  std::string archive;
  std::string directory;
  std::optional<DatFileType> type;
  std::size_t jobs = default_jobs();
  bool allow_overlap = false;
  bool force = false;
  bool raw = false;
};

constexpr const char* kExtractDetails =
    "Each file goes to DIR/<TYPE>/<ID>.bin, TYPE as ls shows it and ID as eight upper-case\n"
    "hexadecimal digits, holding the bytes cat writes. DIR is created when missing; one that\n"
    "is not empty is refused unless --force is given. Files are read in the order they are\n"
    "stored. Each is written under a temporary name and renamed when complete. A file that\n"
    "cannot be read is reported and the others are still extracted; the exit status is then "
    "1.\n"
    "An archive whose chains claim the same bytes is refused, naming the overlaps, unless\n"
    "--allow-overlap is given; files whose entries name the same chain then share one read,\n"
    "and each is still written.\n"
    "DIR/manifest.json, written last, holds the header fields and each extracted file's id,\n"
    "flags, timestamp and version: create builds the archive again from DIR. With --raw the\n"
    "files hold the bytes as stored, compressed payloads unexpanded, and create copies them\n"
    "unchanged, so the new archive's entries and stored bytes equal the old one's.\n"
    "Ctrl-C removes the file being written. Until a run completes, DIR holds a file named\n"
    ".kelvane-dat-extract naming the archive; running the same extraction again then needs\n"
    "no --force and writes only the files that are missing.\n";

// Marks DIR while an extraction into it is unfinished, holding the archive's path and the mode,
// so that a rerun of the same extraction knows the files already there are its own.
constexpr std::string_view kUnfinishedMarker = ".kelvane-dat-extract";

std::string marker_text(const std::string& archive, bool raw) {
  return archive + "\n" + (raw ? "raw\n" : "");
}

bool resumes_unfinished(const std::filesystem::path& directory, const std::string& archive,
                        bool raw) {
  std::ifstream in(directory / kUnfinishedMarker, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return in.is_open() && text == marker_text(archive, raw);
}

struct ExtractFailure {
  std::uint32_t id;
  std::string what;
  std::string text;
};

struct ExtractOutcome {
  std::uint32_t id = 0;
  std::uint64_t bytes = 0;
  // Left alone, complete from an earlier run.
  bool kept = false;
  std::optional<ExtractFailure> failure;
};

// Reads the chain the files of `ids` share once and writes each of them from it: with
// --allow-overlap, every file still gets its own output, but no chain is read twice.
std::vector<ExtractOutcome> extract_group(const DatDatabase& archive, const OutputDirectory& out,
                                          std::span<const std::uint32_t> ids, bool raw,
                                          bool resuming) {
  std::vector<ExtractOutcome> outcomes;
  const auto complete = [&](std::uint32_t id) {
    const auto [type, name] = extracted_name(archive.dat_kind(), id);
    return out.has_file(type, name);
  };
  if (resuming && std::all_of(ids.begin(), ids.end(), complete)) {
    for (const std::uint32_t id : ids) outcomes.push_back({id, 0, true, std::nullopt});
    return outcomes;
  }
  const DatFileEntry& first = *archive.find(ids.front());
  const Result<std::vector<std::uint8_t>> bytes =
      raw ? archive.read_file_data(first.offset, first.size) : archive.get_file_checked(first.id);
  for (const std::uint32_t id : ids) {
    if (!bytes) {
      outcomes.push_back(
          {id, 0, false, ExtractFailure{id, "read " + id_text(id), error_text(bytes.error())}});
      continue;
    }
    const auto [type, name] = extracted_name(archive.dat_kind(), id);
    const std::expected<void, std::string> written = out.write_file(type, name, *bytes);
    if (!written) {
      outcomes.push_back(
          {id, 0, false, ExtractFailure{id, "write " + type + "/" + name, written.error()}});
      continue;
    }
    outcomes.push_back({id, bytes->size(), false, std::nullopt});
  }
  return outcomes;
}

int run(const ExtractOptions& options) {
  const std::string& directory = options.directory;
  const std::filesystem::path directory_path = kelvane_platform::path_from_utf8(directory);
  const bool resuming =
      !options.force && resumes_unfinished(directory_path, options.archive, options.raw);
  if (!options.force && !resuming && is_directory_with_entries(directory_path)) {
    report_error("extract to " + directory,
                 "the directory is not empty; use --force to write into it anyway");
    return kExitUsage;
  }
  const std::optional<DatDatabase> archive = open_archive(options.archive);
  if (!archive) return kExitArchiveError;
  if (!layout_allows_reading(*archive, options.archive, options.allow_overlap)) {
    return kExitArchiveError;
  }
  const std::expected<OutputDirectory, std::string> out = OutputDirectory::create(directory_path);
  if (!out) {
    report_error("create " + directory, out.error());
    return kExitArchiveError;
  }

  const std::filesystem::path marker = directory_path / kUnfinishedMarker;
  {
    std::ofstream marking(marker, std::ios::binary | std::ios::trunc);
    marking << marker_text(options.archive, options.raw);
  }

  const std::vector<std::uint32_t> ids = archive->ids_in_storage_order(options.type);
  std::set<DatFileType> types;
  for (const std::uint32_t id : ids) types.insert(archive->file_type(id));
  for (const DatFileType type : types) {
    const std::expected<void, std::string> made = out->make_subdirectory(to_string(type));
    if (!made) {
      report_error("create " + directory + "/" + std::string(to_string(type)), made.error());
      return kExitArchiveError;
    }
  }

  const std::vector<std::vector<std::uint32_t>> groups =
      group_ids(ids, [&](std::uint32_t id) { return ChainKey::of(*archive->find(id)); });
  std::vector<std::vector<ExtractOutcome>> outcomes(groups.size());
  for_each_in_parallel(groups.size(), options.jobs, "extracting", [&](std::size_t i) {
    outcomes[i] = extract_group(*archive, *out, groups[i], options.raw, resuming);
  });

  std::uint64_t bytes = 0;
  std::size_t kept = 0;
  std::vector<ExtractFailure> failures;
  // Only the files written: create from DIR then builds what is there.
  Manifest manifest{archive->header(), options.raw, {}};
  for (std::vector<ExtractOutcome>& group : outcomes) {
    for (ExtractOutcome& outcome : group) {
      bytes += outcome.bytes;
      kept += outcome.kept ? 1 : 0;
      if (outcome.failure) {
        failures.push_back(std::move(*outcome.failure));
      } else {
        manifest.files.push_back(*archive->find(outcome.id));
      }
    }
  }
  std::sort(manifest.files.begin(), manifest.files.end(),
            [](const DatFileEntry& a, const DatFileEntry& b) { return a.id < b.id; });
  const std::string manifest_text = manifest_json(manifest);
  const std::expected<void, std::string> manifest_written = out->write_file(
      "", kManifestName,
      {reinterpret_cast<const std::uint8_t*>(manifest_text.data()), manifest_text.size()});

  if (!manifest_written) {
    report_error("write " + std::string(kManifestName), manifest_written.error());
  }
  // Reported in id order, so the report does not depend on the layout or the threads.
  std::sort(failures.begin(), failures.end(),
            [](const ExtractFailure& a, const ExtractFailure& b) { return a.id < b.id; });
  for (const ExtractFailure& failure : failures) report_error(failure.what, failure.text);
  // The run completed: a failure here would only repeat on a rerun.
  std::error_code ignored;
  std::filesystem::remove(marker, ignored);
  const std::size_t written = ids.size() - failures.size() - kept;
  write_out("extracted " + counted(written, "file") + " (" + counted(bytes, "byte") + ") to " +
            directory + (kept == 0 ? "" : ", " + counted(kept, "file") + " already there") +
            (failures.empty() ? "" : ": " + counted(failures.size(), "failure")) + "\n");
  return finish_output(failures.empty() && manifest_written ? kExitSuccess : kExitArchiveError);
}

}  // namespace

void add_extract_command(CommandSet& commands) {
  const auto [app, options] = commands.add<ExtractOptions>(
      "extract", "write every file, expanded if stored compressed, under a directory",
      kExtractDetails, &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive");
  add_path_argument(app, "DIR", options.directory, "the directory to write under");
  add_type_option(app, options.type);
  add_jobs_option(app, options.jobs);
  add_allow_overlap_option(app, options.allow_overlap);
  app.add_flag("-f,--force", options.force,
               "write into DIR even when it is not empty, replacing files of the same name");
  app.add_flag("--raw", options.raw,
               "write the bytes as stored, compressed payloads unexpanded, for create to copy");
}

}  // namespace kelvane_dat::cli
