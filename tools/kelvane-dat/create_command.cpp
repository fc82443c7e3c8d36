// kelvane-dat create NEW.dat DIR [--force]: an archive built from a directory extract wrote, its
// header fields and entries as DIR/manifest.json gives them.

#include "commands.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive.hpp"
#include "archive_manifest.hpp"
#include "input_file.hpp"
#include "kelvane_dat/archive_writer.hpp"
#include "kelvane_dat/compress.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

struct CreateOptions {
  std::string archive;
  std::string directory;
  bool force = false;
};

constexpr const char* kCreateDetails =
    "DIR is laid out as extract writes it: DIR/manifest.json and each file it lists as\n"
    "DIR/<TYPE>/<ID>.bin. The header fields are the manifest's, except those the writer keeps\n"
    "itself (file_size, free_head, free_tail, free_count, root_offset); each file keeps its\n"
    "flags, timestamp and version. Files the manifest marks compressed are compressed again,\n"
    "unless the manifest says they were extracted with --raw: those are copied unchanged.\n"
    "Files in DIR that the manifest does not list are left out. The archive is written under\n"
    "a temporary name and renamed when complete; an existing NEW.dat is refused unless --force\n"
    "is given.\n";

// The bytes stored for `entry`: as extracted, or compressed again when the manifest holds
// expanded files and the entry says compressed.
std::expected<std::vector<std::uint8_t>, std::string> stored_bytes(
    const DatFileEntry& entry, bool raw, std::vector<std::uint8_t> extracted) {
  if (raw || !entry.is_compressed()) return extracted;
  Result<std::vector<std::uint8_t>> compressed = compress_lrs(extracted);
  if (!compressed) return std::unexpected(error_text(compressed.error()));
  return std::move(*compressed);
}

int run(const CreateOptions& options) {
  namespace fs = std::filesystem;
  const fs::path archive_path = kelvane_platform::path_from_utf8(options.archive);
  const fs::path directory = kelvane_platform::path_from_utf8(options.directory);
  std::error_code error;
  if (!options.force && fs::exists(archive_path, error)) {
    report_error("create " + options.archive, "the file exists; use --force to replace it");
    return kExitUsage;
  }
  const std::string manifest_path = kelvane_platform::path_to_utf8(directory / kManifestName);
  const auto manifest_text = read_input_file(directory / kManifestName);
  if (!manifest_text) {
    report_error("read " + manifest_path, manifest_text.error());
    return kExitArchiveError;
  }
  const std::expected<Manifest, std::string> manifest =
      parse_manifest({reinterpret_cast<const char*>(manifest_text->data()), manifest_text->size()});
  if (!manifest) {
    report_error(manifest_path, manifest.error());
    return kExitArchiveError;
  }

  Result<ArchiveWriter> writer = ArchiveWriter::create(archive_path, manifest->header);
  if (!writer) {
    report_error("create " + options.archive, error_text(writer.error()));
    return kExitArchiveError;
  }
  const DatKind kind = manifest->header.dat_kind();
  std::uint64_t bytes = 0;
  for (const DatFileEntry& entry : manifest->files) {
    const auto [type, name] = extracted_name(kind, entry.id);
    const fs::path file = directory / type / name;
    const std::string file_text = kelvane_platform::path_to_utf8(file);
    auto extracted = read_input_file(file);
    if (!extracted) {
      report_error("read " + file_text, extracted.error());
      return kExitArchiveError;
    }
    bytes += extracted->size();
    const auto stored = stored_bytes(entry, manifest->raw, std::move(*extracted));
    if (!stored) {
      report_error("compress " + file_text, stored.error());
      return kExitArchiveError;
    }
    if (const Result<void> added = writer->add_stored(entry, *stored); !added) {
      report_error("add " + id_text(entry.id), error_text(added.error()));
      return kExitArchiveError;
    }
  }
  if (const Result<void> finished = writer->finish(); !finished) {
    report_error("create " + options.archive, error_text(finished.error()));
    return kExitArchiveError;
  }
  write_out("created " + options.archive + " from " + counted(manifest->files.size(), "file") +
            " (" + counted(bytes, "byte") + ")\n");
  return finish_output(kExitSuccess);
}

}  // namespace

void add_create_command(CommandSet& commands) {
  const auto [app, options] = commands.add<CreateOptions>(
      "create", "build an archive from a directory extract wrote", kCreateDetails, &run);
  add_path_argument(app, "NEW", options.archive, "the archive to write");
  add_path_argument(app, "DIR", options.directory,
                    "the directory extract wrote, with its manifest");
  app.add_flag("-f,--force", options.force, "replace NEW when it exists");
}

}  // namespace kelvane_dat::cli
