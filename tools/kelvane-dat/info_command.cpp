// kelvane-dat info ARCHIVE: what the header says, how the file's bytes are shared out, and what the
// directory holds, per file type. Only the header, the directory and block pointers are read, so
// this is quick on any archive.

#include "commands.hpp"

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "archive.hpp"
#include "archive_manifest.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

struct InfoOptions {
  std::string archive;
  bool json = false;
};

constexpr const char* kInfoDetails =
    "Layout: the bytes the chains of files and of directory nodes claim (each block's\n"
    "pointer and the payload it gives), the bytes nothing claims (free blocks, unused block\n"
    "ends; the header's 0x190 bytes count in none), and the overlaps, which verify lists.\n"
    "The table of types counts the directory's entries; bytes are as stored, so a compressed\n"
    "file counts with its compressed size. Only block pointers are read, no file.\n"
    "With --json all of it is one object: archive, kind, block_size, files, header (each\n"
    "field, decimal ones as numbers), layout, and types (type, files, compressed,\n"
    "stored_bytes, in the order of the table, without its total).\n"
    "A file that does not open as an archive (a foreign marker, a truncated file, a damaged\n"
    "directory) is reported, and if it holds a header, info shows that alone: archive, kind,\n"
    "block size and header; the exit status is 1 either way.\n";

struct TypeTotals {
  std::size_t files = 0;
  std::size_t compressed = 0;
  std::uint64_t stored_bytes = 0;
};

std::string header_text(const DatHeader& header) {
  Columns fields({false, false});
  for (HeaderField& field : header_fields(header)) {
    fields.add_row({"  " + std::string(field.name), std::move(field.value)});
  }
  return fields.render();
}

std::string layout_text(const ArchiveLayout& layout) {
  Columns rows({false, false});
  rows.add_row({"  file bytes", std::to_string(layout.file_bytes)});
  rows.add_row({"  directory bytes", std::to_string(layout.directory_bytes)});
  rows.add_row({"  unclaimed bytes", std::to_string(layout.unclaimed_bytes)});
  rows.add_row({"  overlaps", std::to_string(layout.overlaps.size())});
  return rows.render();
}

// Types in the order their first file appears among the sorted ids, like ls lists them.
std::vector<std::pair<DatFileType, TypeTotals>> type_totals(const DatDatabase& archive) {
  std::vector<std::pair<DatFileType, TypeTotals>> order;
  std::map<DatFileType, std::size_t> slot_of;
  for (const std::uint32_t id : archive.ids()) {
    const DatFileType type = archive.file_type(id);
    const auto [slot, inserted] = slot_of.try_emplace(type, order.size());
    if (inserted) order.emplace_back(type, TypeTotals{});
    TypeTotals& totals = order[slot->second].second;
    const DatFileEntry& entry = *archive.find(id);
    ++totals.files;
    if (entry.is_compressed()) ++totals.compressed;
    totals.stored_bytes += entry.size;
  }
  return order;
}

std::string types_text(const std::vector<std::pair<DatFileType, TypeTotals>>& types) {
  Columns table({false, true, true, true});
  table.add_row({"Type", "Files", "Compressed", "Stored bytes"});
  TypeTotals all;
  for (const auto& [type, t] : types) {
    table.add_row({std::string(to_string(type)), std::to_string(t.files),
                   std::to_string(t.compressed), std::to_string(t.stored_bytes)});
    all.files += t.files;
    all.compressed += t.compressed;
    all.stored_bytes += t.stored_bytes;
  }
  table.add_row({"Total", std::to_string(all.files), std::to_string(all.compressed),
                 std::to_string(all.stored_bytes)});
  return table.render();
}

std::string info_json(const std::string& path, const DatDatabase& archive,
                      const ArchiveLayout& layout,
                      const std::vector<std::pair<DatFileType, TypeTotals>>& types) {
  Json type_rows = Json::array();
  for (const auto& [type, t] : types) {
    type_rows.push_back({{"type", to_string(type)},
                         {"files", t.files},
                         {"compressed", t.compressed},
                         {"stored_bytes", t.stored_bytes}});
  }
  return json_line({{"archive", path},
                    {"kind", to_string(archive.dat_kind())},
                    {"block_size", archive.header().block_size},
                    {"files", archive.files().size()},
                    {"header", header_json(archive.header())},
                    {"layout",
                     {{"file_bytes", layout.file_bytes},
                      {"directory_bytes", layout.directory_bytes},
                      {"unclaimed_bytes", layout.unclaimed_bytes},
                      {"overlaps", layout.overlaps.size()}}},
                    {"types", std::move(type_rows)}});
}

// What the header alone says, for a file that is no archive to read: enough to see why.
void show_header_only(const InfoOptions& options) {
  const std::optional<DatHeader> header =
      read_header_only(kelvane_platform::path_from_utf8(options.archive));
  if (!header) return;
  if (options.json) {
    write_out(json_line({{"archive", options.archive},
                         {"kind", to_string(header->dat_kind())},
                         {"block_size", header->block_size},
                         {"header", header_json(*header)}}));
    return;
  }
  Columns summary({false, false});
  summary.add_row({"Archive:", options.archive});
  summary.add_row({"Kind:", std::string(to_string(header->dat_kind()))});
  summary.add_row({"Block size:", std::to_string(header->block_size)});
  write_out(summary.render() + "\nHeader:\n" + header_text(*header));
}

int run(const InfoOptions& options) {
  const std::string& path = options.archive;
  const std::optional<DatDatabase> archive = open_archive(path);
  if (!archive) {
    show_header_only(options);
    return finish_output(kExitArchiveError);
  }
  const Result<ArchiveLayout> layout = check_layout(*archive);
  if (!layout) {
    report_error("check layout of " + path, error_text(layout.error()));
    return kExitArchiveError;
  }
  const std::vector<std::pair<DatFileType, TypeTotals>> types = type_totals(*archive);
  if (options.json) {
    write_out(info_json(path, *archive, *layout, types));
    return finish_output(kExitSuccess);
  }
  Columns summary({false, false});
  summary.add_row({"Archive:", path});
  summary.add_row({"Kind:", std::string(to_string(archive->dat_kind()))});
  summary.add_row({"Block size:", std::to_string(archive->header().block_size)});
  summary.add_row({"Files:", std::to_string(archive->files().size())});
  write_out(summary.render() + "\nHeader:\n" + header_text(archive->header()) + "\nLayout:\n" +
            layout_text(*layout) + "\n" + types_text(types));
  return finish_output(kExitSuccess);
}

}  // namespace

void add_info_command(CommandSet& commands) {
  const auto [app, options] = commands.add<InfoOptions>(
      "info", "show the header fields, kind, block size and the files per type", kInfoDetails,
      &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive");
  app.add_flag("--json", options.json, "one JSON object instead of text");
}

}  // namespace kelvane_dat::cli
