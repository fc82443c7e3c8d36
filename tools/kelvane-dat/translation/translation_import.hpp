#pragma once

// Putting a translation back into string tables: each unit's target replaces its text, and only
// that text changes. A unit is skipped and reported when it names no text of the archive, when its
// source text is no longer the archive's (the archive changed since the export: msgmerge's "fuzzy"
// in spirit), or when its target is not valid UTF-8. An empty target keeps the source text, and a
// target equal to the text as decoded keeps the stored code units (lone surrogates included).
//
// Units are matched against the table's texts where its file holds them, so a table no unit
// changes (most of them, in a partial translation) is never decoded into a string per text.

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "translation/stored_table_texts.hpp"
#include "translation/translation_unit.hpp"

namespace kelvane_dat::cli {

struct ImportProblem {
  UnitId id;
  std::string what;

  friend bool operator==(const ImportProblem&, const ImportProblem&) = default;
};

// A translated text, to be written over text `index` of the entry at `entry` (file order).
struct TextChange {
  std::size_t entry = 0;
  std::uint32_t index = 0;
  std::u16string units;
};

struct TableImport {
  std::vector<TextChange> changes{};
  std::vector<ImportProblem> problems{};
};

// The units by the table they name, in file order within each table: `units` is put in table
// order (a stable sort, which an exported file, already in that order, does not need) and each
// table's span points into it.
std::map<std::uint32_t, std::span<const UnitText>> units_by_table(std::vector<UnitText>& units);

// Matches `units` (all naming the table stored as `table_id`) against `table`'s texts: the texts
// they change and the units skipped. `compare_sources` is false for a format that carries no
// source text (JSON Lines).
TableImport import_into_table(std::uint32_t table_id, const StoredTableTexts& table,
                              std::span<const UnitText> units, bool compare_sources);

// Writes `changes`, found in the texts of the same file `table` was decoded from, into `table`.
void apply_text_changes(std::vector<TextChange>& changes, StoredStringTable& table);

}  // namespace kelvane_dat::cli
