// kelvane-dat ls ARCHIVE [--type NAME] [--long]: one line per file, sorted by id.

#include "commands.hpp"

#include <string>
#include <vector>

#include "archive.hpp"
#include "detail/debug_format.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

struct LsOptions {
  std::string archive;
  std::optional<DatFileType> type;
  bool long_format = false;
  bool json = false;
};

constexpr const char* kLsDetails =
    "Columns: id, type, stored size in bytes, 'compressed' or 'stored'; with --long also the\n"
    "offset of the first block, the timestamp (ISO 8601, UTC) and the version, as the\n"
    "directory holds them. NAME is a type as the second column shows it (StringTable,\n"
    "Texture, ...), in any case. With --json each file is one line, every column included:\n"
    "  {\"id\":\"0x2300000A\",\"type\":\"StringTable\",\"size\":86,\"compressed\":false,\n"
    "   \"offset\":\"0x00000800\",\"timestamp\":1593835530,\"time\":\"2020-07-04T04:05:30Z\",\n"
    "   \"version\":1}\n";

std::string file_json(std::uint32_t id, DatFileType type, const DatFileEntry& entry) {
  return json_line({{"id", id_text(id)},
                    {"type", to_string(type)},
                    {"size", entry.size},
                    {"compressed", entry.is_compressed()},
                    {"offset", hex0x8(entry.offset)},
                    {"timestamp", entry.timestamp},
                    {"time", iso8601_utc(entry.timestamp)},
                    {"version", entry.version}});
}

int run(const LsOptions& options) {
  const std::optional<DatDatabase> archive = open_archive(options.archive);
  if (!archive) return kExitArchiveError;

  std::string out;
  Columns table({false, false, true, false, false, false, true});
  for (const std::uint32_t id : archive->ids(options.type)) {
    const DatFileType type = archive->file_type(id);
    const DatFileEntry& entry = *archive->find(id);
    if (options.json) {
      out += file_json(id, type, entry);
      continue;
    }
    std::vector<std::string> row = {id_text(id), std::string(to_string(type)),
                                    std::to_string(entry.size),
                                    entry.is_compressed() ? "compressed" : "stored"};
    if (options.long_format) {
      row.push_back(hex0x8(entry.offset));
      row.push_back(iso8601_utc(entry.timestamp));
      row.push_back(std::to_string(entry.version));
    }
    table.add_row(std::move(row));
  }
  write_out(options.json ? out : table.render());
  return finish_output(kExitSuccess);
}

}  // namespace

void add_ls_command(CommandSet& commands) {
  const auto [app, options] =
      commands.add<LsOptions>("ls", "list the files of an archive, sorted by id", kLsDetails, &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive");
  add_type_option(app, options.type);
  app.add_flag("-l,--long", options.long_format, "add offset, timestamp and version");
  app.add_flag("--json", options.json, "one JSON object per file instead of text (JSON Lines)");
}

}  // namespace kelvane_dat::cli
