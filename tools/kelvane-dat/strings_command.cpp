// kelvane-dat strings ARCHIVE [ID] [--json]: the string tables as text, or as JSON Lines; with
// export, import and pseudo beneath it for translations.

#include "commands.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "archive.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "report.hpp"
#include "string_entry_json.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

struct StringsOptions {
  std::string archive;
  std::optional<std::uint32_t> id;
  bool json = false;
};

constexpr const char* kStringsDetails =
    "Tables come in id order, entries in key order. Text output shows each table as a line\n"
    "with its id, language and entry count, then one indented line per entry: its key, its\n"
    "texts as quoted strings, and data_id, variables and the packing flag when they are set.\n"
    "With --json each entry is one line:\n"
    "  {\"table\":\"0x2300000A\",\"language\":1,\"key\":\"0x014152D5\",\n"
    "   \"data_id\":\"0x00000000\",\"strings\":[\"Left Alt\"],\"variables\":[],\n"
    "   \"var_name_table_worth_packing\":false}\n"
    "Texts are UTF-8. Its commands above put texts into translation files and back; an\n"
    "archive named like one of them is given as ./export.\n";

std::string entry_text(std::uint32_t key, const StringTableString& entry) {
  std::string line = "  " + id_text(key);
  for (std::size_t i = 0; i < entry.strings.size(); ++i) {
    line += (i == 0 ? "  " : " ") + json_quoted(entry.strings[i]);
  }
  if (entry.data_id != 0) line += "  data_id=" + id_text(entry.data_id);
  if (!entry.variables.empty()) line += "  variables=" + json_quoted(entry.variables);
  if (entry.is_var_name_table_worth_packing) line += "  var_name_table_worth_packing";
  return line + "\n";
}

std::string table_output(std::uint32_t id, const StringTable& table, bool json) {
  std::string out;
  if (!json) {
    const std::size_t count = table.strings.size();
    out = id_text(id) + "  language " + std::to_string(table.language) + "  " +
          std::to_string(count) + (count == 1 ? " entry\n" : " entries\n");
  }
  for (const std::uint32_t key : sorted_keys(table)) {
    const StringTableString& entry = table.strings.at(key);
    out += json ? string_entry_json_line(id, table.language, key, entry) : entry_text(key, entry);
  }
  return out;
}

// Prints one table; false when it could not be read or decoded, which has been reported.
bool print_table(const DatDatabase& archive, std::uint32_t id, bool json) {
  const std::optional<StringTable> table = load_string_table(archive, id);
  if (!table) return false;
  write_out(table_output(id, *table, json));
  return true;
}

int run(const StringsOptions& options) {
  const std::optional<std::uint32_t> only = options.id;
  const std::optional<DatDatabase> archive = open_archive(options.archive);
  if (!archive) return kExitArchiveError;

  std::vector<std::uint32_t> ids;
  if (only) {
    if (archive->find(*only) == nullptr) {
      report_fetch_error(*only, DatError::not_found(*only));
      return kExitArchiveError;
    }
    const DatFileType type = archive->file_type(*only);
    if (type != DatFileType::StringTable) {
      report_error("strings " + id_text(*only),
                   "not a string table but " + std::string(to_string(type)));
      return kExitArchiveError;
    }
    ids.push_back(*only);
  } else {
    ids = archive->ids(DatFileType::StringTable);
  }
  // One bad table does not hide the others; it only changes the exit status.
  int status = kExitSuccess;
  const bool json = options.json;
  for (const std::uint32_t id : ids) {
    if (!print_table(*archive, id, json)) status = kExitArchiveError;
  }
  return finish_output(status);
}

}  // namespace

void add_strings_command(CommandSet& commands) {
  const auto [app, options] = commands.add<StringsOptions>(
      "strings", "print the string tables of an archive, or the one with id ID", kStringsDetails,
      &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive");
  add_file_id_argument(app, options.id, "only this table");
  app.add_flag("--json", options.json, "one JSON object per entry instead of text (JSON Lines)");
  CommandSet& nested = commands.subcommands_of("strings");
  add_strings_export_command(nested);
  add_strings_import_command(nested);
  add_strings_pseudo_command(nested);
}

}  // namespace kelvane_dat::cli
