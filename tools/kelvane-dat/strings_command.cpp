// kelvane-dat strings ARCHIVE [ID] [--json]: the string tables as text, or as JSON Lines.

#include "commands.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "archive.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::string_view kPositionals[] = {"ARCHIVE", "ID"};
constexpr OptionSyntax kOptions[] = {
    {.name = "json",
     .short_name = 0,
     .value_name = "",
     .help = "one JSON object per entry instead of text (JSON Lines)"},
};
constexpr CommandSyntax kSyntax{
    .name = "strings",
    .summary = "print the string tables of an archive, or the one with id ID",
    .positionals = kPositionals,
    .required_positionals = 1,
    .options = kOptions,
    .details =
        "Tables come in id order, entries in key order. Text output shows each table as a line\n"
        "with its id, language and entry count, then one indented line per entry: its key, its\n"
        "texts as quoted strings, and data_id, variables and the packing flag when they are set.\n"
        "With --json each entry is one line:\n"
        "  {\"table\":\"0x2300000A\",\"key\":\"0x014152D5\",\"data_id\":\"0x00000000\",\n"
        "   \"strings\":[\"Left Alt\"],\"variables\":[]}\n"
        "Texts are UTF-8.\n",
};

std::vector<std::uint32_t> sorted_keys(const StringTable& table) {
  std::vector<std::uint32_t> keys;
  keys.reserve(table.strings.size());
  for (const auto& [key, entry] : table.strings) keys.push_back(key);
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::string variables_list(const std::vector<std::uint32_t>& variables) {
  std::string out = "[";
  for (std::size_t i = 0; i < variables.size(); ++i) {
    if (i > 0) out += ",";
    out += std::to_string(variables[i]);
  }
  return out + "]";
}

std::string entry_json(std::uint32_t table_id, std::uint32_t key, const StringTableString& entry) {
  std::string line = "{\"table\":\"" + id_text(table_id) + "\",\"key\":\"" + id_text(key) +
                     "\",\"data_id\":\"" + id_text(entry.data_id) + "\",\"strings\":[";
  for (std::size_t i = 0; i < entry.strings.size(); ++i) {
    if (i > 0) line += ",";
    line += json_string(entry.strings[i]);
  }
  return line + "],\"variables\":" + variables_list(entry.variables) + "}\n";
}

std::string entry_text(std::uint32_t key, const StringTableString& entry) {
  std::string line = "  " + id_text(key);
  for (std::size_t i = 0; i < entry.strings.size(); ++i) {
    line += (i == 0 ? "  " : " ") + json_string(entry.strings[i]);
  }
  if (entry.data_id != 0) line += "  data_id=" + id_text(entry.data_id);
  if (!entry.variables.empty()) line += "  variables=" + variables_list(entry.variables);
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
    out += json ? entry_json(id, key, entry) : entry_text(key, entry);
  }
  return out;
}

// Prints one table; false when it could not be read or decoded, which has been reported.
bool print_table(const DatDatabase& archive, std::uint32_t id, bool json) {
  const Result<StringTable> table = archive.string_table(id);
  if (!table) {
    // Only decoding fails with a record error; everything else is the fetch's.
    const bool decoding = table.error().is<DatError::BinRead>();
    report_error((decoding ? "decode string table " : "read ") + id_text(id),
                 error_text(table.error()));
    return false;
  }
  write_out(table_output(id, *table, json));
  return true;
}

int run(const ParsedArguments& args) {
  std::optional<std::uint32_t> only;
  if (const std::optional<std::string> id_argument = args.positional(1)) {
    const std::expected<std::uint32_t, std::string> id = parse_file_id(*id_argument);
    if (!id) return usage_error(kSyntax.name, id.error());
    only = *id;
  }
  const std::optional<DatDatabase> archive = open_archive(args.positionals()[0]);
  if (!archive) return kExitArchiveError;

  std::vector<std::uint32_t> ids;
  if (only) {
    if (archive->find(*only) == nullptr) {
      report_error("read " + id_text(*only), DatError::not_found(*only).to_string());
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
  const bool json = args.has("json");
  for (const std::uint32_t id : ids) {
    if (!print_table(*archive, id, json)) status = kExitArchiveError;
  }
  return finish_output(status);
}

}  // namespace

Command strings_command() { return {&kSyntax, &run}; }

}  // namespace kelvane_dat::cli
