// JSON Lines as `strings --json` prints them, through the same serializer: one entry per line, its
// texts in "strings". Reading takes each text of "strings" as the target of the unit at its index.

#include "archive.hpp"
#include "command_line.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "string_entry_json.hpp"
#include "text_format.hpp"
#include "translation/translation_codecs.hpp"

namespace kelvane_dat::cli {

namespace {

std::expected<std::uint32_t, std::string> id_field(const Json& line, const char* name) {
  const auto it = line.find(name);
  if (it == line.end() || !it->is_string()) {
    return std::unexpected(std::string("\"") + name + "\" is missing or not a string");
  }
  return parse_file_id(it->get_ref<const std::string&>());
}

}  // namespace

void append_json_lines(std::string& out, std::span<const TranslationUnit> units,
                       std::uint32_t language) {
  // Units of one entry are consecutive: each line gathers one entry's texts.
  for (std::size_t i = 0; i < units.size();) {
    const TranslationUnit& first = units[i];
    StringTableString entry{.data_id = first.data_id,
                            .strings = {},
                            .variables = first.variables,
                            .is_var_name_table_worth_packing = first.var_name_table_worth_packing};
    for (;
         i < units.size() && units[i].id.table == first.id.table && units[i].id.key == first.id.key;
         ++i) {
      entry.strings.push_back(units[i].target.empty() ? units[i].source : units[i].target);
    }
    out += string_entry_json_line(first.id.table, language, first.id.key, entry);
  }
}

std::string write_json_lines(std::span<const TranslationUnit> units, std::uint32_t language) {
  std::string out;
  append_json_lines(out, units, language);
  return out;
}

std::expected<std::vector<TranslationUnit>, std::string> read_json_lines(std::string_view text) {
  std::vector<TranslationUnit> units;
  SeenUnitIds seen;
  std::size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const std::size_t end = text.find('\n');
    const std::string_view line_text = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line_text.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    const auto problem = [line_number](const std::string& what) {
      return std::unexpected("line " + std::to_string(line_number) + ": " + what);
    };

    const Json line = Json::parse(line_text, nullptr, /*allow_exceptions=*/false);
    if (line.is_discarded() || !line.is_object()) return problem("not a JSON object");
    const auto table = id_field(line, "table");
    if (!table) return problem(table.error());
    const auto key = id_field(line, "key");
    if (!key) return problem(key.error());
    const auto strings = line.find("strings");
    if (strings == line.end() || !strings->is_array()) {
      return problem("\"strings\" is missing or not an array");
    }
    for (std::size_t i = 0; i < strings->size(); ++i) {
      if (!(*strings)[i].is_string()) return problem("\"strings\" holds something not a string");
      const UnitId id{*table, *key, static_cast<std::uint32_t>(i)};
      seen.add(id, line_number);
      units.push_back({.id = id, .source = {}, .target = (*strings)[i].get<std::string>()});
    }
  }
  if (auto repeated = seen.repeated()) return std::unexpected(std::move(*repeated));
  return units;
}

}  // namespace kelvane_dat::cli
