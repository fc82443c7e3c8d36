#include "translation/translation_import.hpp"

#include <algorithm>

namespace kelvane_dat::cli {

namespace {

// Whether the text stored as `units` decodes to `utf8`. ASCII code units are their own UTF-8, so
// most texts compare without building their UTF-8 (a string per text of every table).
bool reads_as(std::u16string_view units, std::string_view utf8) {
  if (std::all_of(units.begin(), units.end(), [](char16_t unit) { return unit < 0x80; })) {
    return std::equal(
        units.begin(), units.end(), utf8.begin(), utf8.end(),
        [](char16_t unit, char byte) { return unit == static_cast<unsigned char>(byte); });
  }
  return utf16_to_utf8_lossy(units) == utf8;
}

}  // namespace

std::map<std::uint32_t, std::span<const UnitText>> units_by_table(std::vector<UnitText>& units) {
  const auto by_table = [](const UnitText& a, const UnitText& b) {
    return a.id.table < b.id.table;
  };
  if (!std::is_sorted(units.begin(), units.end(), by_table)) {
    std::stable_sort(units.begin(), units.end(), by_table);
  }
  std::map<std::uint32_t, std::span<const UnitText>> tables;
  for (std::size_t start = 0; start < units.size();) {
    std::size_t end = start + 1;
    while (end < units.size() && units[end].id.table == units[start].id.table) ++end;
    tables.emplace_hint(tables.end(), units[start].id.table,
                        std::span<const UnitText>(units).subspan(start, end - start));
    start = end;
  }
  return tables;
}

TableImport import_into_table(std::uint32_t table_id, StoredStringTable& table,
                              std::span<const UnitText> units, bool compare_sources) {
  TableImport result;
  for (const UnitText& unit : units) {
    const auto problem = [&](std::string what) {
      result.problems.push_back({unit.id, std::move(what)});
    };
    // The entry the export showed: a repeated key's last one, as the decoded table keeps it.
    StoredStringTableEntry* entry = unit.id.table == table_id ? table.find(unit.id.key) : nullptr;
    if (entry == nullptr || unit.id.index >= entry->texts.size()) {
      problem("names no text of the archive");
      continue;
    }
    std::u16string& units_of_text = entry->texts[unit.id.index];
    if (compare_sources && !reads_as(units_of_text, unit.source)) {
      problem("its source text is no longer the archive's (the archive changed since the export)");
      continue;
    }
    if (unit.target.empty() || reads_as(units_of_text, unit.target)) continue;
    auto translated = utf8_to_utf16(unit.target);
    if (!translated) {
      problem("its translation is not valid UTF-8");
      continue;
    }
    units_of_text = std::move(*translated);
    ++result.changed_texts;
  }
  return result;
}

}  // namespace kelvane_dat::cli
