// kelvane-dat info ARCHIVE: what the header says and what the directory holds, per file type.
// Only the header and the directory are read, so this is quick on any archive.

#include "commands.hpp"

#include <map>
#include <string>
#include <vector>

#include "archive.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::string_view kPositionals[] = {"ARCHIVE"};
constexpr CommandSyntax kSyntax{
    .name = "info",
    .summary = "show the header fields, kind, block size and the files per type",
    .positionals = kPositionals,
    .required_positionals = 1,
    .options = {},
    .details =
        "The table of types counts the directory's entries; bytes are as stored, so a compressed\n"
        "file counts with its compressed size. No file is read.\n",
};

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

std::string types_text(const DatDatabase& archive) {
  // Types in the order their first file appears among the sorted ids, like ls lists them.
  std::vector<DatFileType> order;
  std::map<DatFileType, TypeTotals> totals;
  for (const std::uint32_t id : archive.ids()) {
    const DatFileType type = archive.file_type(id);
    const auto [slot, inserted] = totals.try_emplace(type);
    if (inserted) order.push_back(type);
    const DatFileEntry& entry = *archive.find(id);
    ++slot->second.files;
    if (entry.is_compressed()) ++slot->second.compressed;
    slot->second.stored_bytes += entry.size;
  }
  Columns table({false, true, true, true});
  table.add_row({"Type", "Files", "Compressed", "Stored bytes"});
  TypeTotals all;
  for (const DatFileType type : order) {
    const TypeTotals& t = totals.at(type);
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

int run(const ParsedArguments& args) {
  const std::string path = args.positionals()[0];
  const std::optional<DatDatabase> archive = open_archive(path);
  if (!archive) return kExitArchiveError;
  Columns summary({false, false});
  summary.add_row({"Archive:", path});
  summary.add_row({"Kind:", std::string(to_string(archive->dat_kind()))});
  summary.add_row({"Block size:", std::to_string(archive->header().block_size)});
  summary.add_row({"Files:", std::to_string(archive->files().size())});
  write_out(summary.render() + "\nHeader:\n" + header_text(archive->header()) + "\n" +
            types_text(*archive));
  return finish_output(kExitSuccess);
}

}  // namespace

Command info_command() { return {&kSyntax, &run}; }

}  // namespace kelvane_dat::cli
