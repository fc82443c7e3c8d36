#include "translation/translation_import.hpp"

#include <algorithm>
#include <utility>

namespace kelvane_dat::cli {

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

TableImport import_into_table(std::uint32_t table_id, const StoredTableTexts& table,
                              std::span<const UnitText> units, bool compare_sources) {
  TableImport result;
  for (const UnitText& unit : units) {
    const auto problem = [&](std::string what) {
      result.problems.push_back({unit.id, std::move(what)});
    };
    // The entry the export showed: a repeated key's last one, as the decoded table keeps it.
    const std::optional<std::size_t> entry =
        unit.id.table == table_id ? table.find(unit.id.key) : std::nullopt;
    if (!entry || unit.id.index >= table.texts(*entry).size()) {
      problem("names no text of the archive");
      continue;
    }
    const std::span<const std::uint8_t> stored = table.texts(*entry)[unit.id.index];
    if (compare_sources && !stored_text_reads_as(stored, unit.source)) {
      problem("its source text is no longer the archive's (the archive changed since the export)");
      continue;
    }
    if (unit.target.empty() || stored_text_reads_as(stored, unit.target)) continue;
    auto translated = utf8_to_utf16(unit.target);
    if (!translated) {
      problem("its translation is not valid UTF-8");
      continue;
    }
    result.changes.push_back(
        {.entry = *entry, .index = unit.id.index, .units = std::move(*translated)});
  }
  return result;
}

void apply_text_changes(std::vector<TextChange>& changes, StoredStringTable& table) {
  for (TextChange& change : changes) {
    table.entries[change.entry].texts[change.index] = std::move(change.units);
  }
}

}  // namespace kelvane_dat::cli
