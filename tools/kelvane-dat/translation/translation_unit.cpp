#include "translation/translation_unit.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "archive.hpp"
#include "command_line.hpp"
#include "detail/utf8.hpp"

namespace kelvane_dat::cli {

namespace {

std::unexpected<std::string> invalid_unit_id(std::string_view text) {
  return std::unexpected("invalid unit id \"" + std::string(text) +
                         "\" (expected TABLE/KEY/INDEX, e.g. 0x2300000A/0x014152D5/0)");
}

}  // namespace

void append_unit_id(std::string& out, const UnitId& id) {
  append_id_text(out, id.table);
  out += '/';
  append_id_text(out, id.key);
  out += '/';
  char index[std::numeric_limits<std::uint32_t>::digits10 + 1];
  out.append(index, std::to_chars(index, index + sizeof index, id.index).ptr);
}

std::string unit_id_text(const UnitId& id) {
  std::string text;
  append_unit_id(text, id);
  return text;
}

std::expected<UnitId, std::string> parse_unit_id(std::string_view text) {
  const std::size_t first = text.find('/');
  const std::size_t second = first == std::string_view::npos ? first : text.find('/', first + 1);
  if (second == std::string_view::npos) return invalid_unit_id(text);
  const auto table = parse_file_id(text.substr(0, first));
  const auto key = parse_file_id(text.substr(first + 1, second - first - 1));
  const std::string_view index_text = text.substr(second + 1);
  std::uint32_t index = 0;
  const auto [end, error] =
      std::from_chars(index_text.data(), index_text.data() + index_text.size(), index);
  if (!table || !key || index_text.empty() || error != std::errc() ||
      end != index_text.data() + index_text.size()) {
    return invalid_unit_id(text);
  }
  return UnitId{*table, *key, index};
}

std::optional<std::string> SeenUnitIds::repeated() {
  const auto by_id = [](const Seen& a, const Seen& b) { return a.id < b.id; };
  // Stable, so a repeat follows the earlier mention of its id.
  if (!std::is_sorted(seen_.begin(), seen_.end(), by_id)) {
    std::stable_sort(seen_.begin(), seen_.end(), by_id);
  }
  const Seen* first_repeat = nullptr;
  for (std::size_t i = 1; i < seen_.size(); ++i) {
    if (seen_[i].id == seen_[i - 1].id &&
        (first_repeat == nullptr || seen_[i].line < first_repeat->line)) {
      first_repeat = &seen_[i];
    }
  }
  if (first_repeat == nullptr) return std::nullopt;
  const std::string where =
      first_repeat->line == 0 ? "" : "line " + std::to_string(first_repeat->line) + ": ";
  return where + "unit " + unit_id_text(first_repeat->id) + " appears twice";
}

std::string unit_note(const TranslationUnit& unit) {
  std::string note = "data id " + id_text(unit.data_id) + "; variables";
  if (unit.variables.empty()) return note + " none";
  for (const std::uint32_t variable : unit.variables) note += " " + id_text(variable);
  return note;
}

std::expected<void, std::string> check_utf8(std::string_view text) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  for (std::size_t i = 0; i < text.size();) {
    // ASCII bytes 32, then 8 at a time: a translation is mostly ASCII, and this runs over every
    // byte.
    std::uint64_t words[4];
    if (text.size() - i >= sizeof words) {
      std::memcpy(words, text.data() + i, sizeof words);
      if (((words[0] | words[1] | words[2] | words[3]) & kHighBits) == 0) {
        i += sizeof words;
        continue;
      }
    }
    if (text.size() - i >= sizeof words[0]) {
      std::memcpy(words, text.data() + i, sizeof words[0]);
      if ((words[0] & kHighBits) == 0) {
        i += sizeof words[0];
        continue;
      }
    }
    const detail::Utf8Step step = detail::decode_utf8_at(text, i);
    if (!step.valid) {
      const auto line =
          std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(i), '\n');
      return std::unexpected("line " + std::to_string(line + 1) + ": not UTF-8");
    }
    i += step.length;
  }
  return {};
}

std::vector<TranslationUnit> translation_units(std::uint32_t table_id,
                                               const StoredTableTexts& table) {
  std::vector<TranslationUnit> units;
  for (const std::size_t entry : table.kept_entries()) {
    const auto texts = table.texts(entry);
    const auto variables = table.variables(entry);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      TranslationUnit unit{
          .id = {table_id, table.key(entry), static_cast<std::uint32_t>(i)},
          .source = {},
          .target = {},
          .data_id = table.data_id(entry),
          .variables = {variables.begin(), variables.end()},
          .var_name_table_worth_packing = table.var_name_table_worth_packing(entry)};
      append_stored_text(unit.source, texts[i]);
      units.push_back(std::move(unit));
    }
  }
  return units;
}

}  // namespace kelvane_dat::cli
