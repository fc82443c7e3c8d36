#pragma once

// Putting a translation back into string tables: each unit's target replaces its text, and only
// that text changes. A unit is skipped and reported when it names no text of the archive, when its
// source text is no longer the archive's (the archive changed since the export: msgmerge's "fuzzy"
// in spirit), or when its target is not valid UTF-8. An empty target keeps the source text, and a
// target equal to the text as decoded keeps the stored code units (lone surrogates included).

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "translation/translation_unit.hpp"

namespace kelvane_dat::cli {

struct ImportProblem {
  UnitId id;
  std::string what;

  friend bool operator==(const ImportProblem&, const ImportProblem&) = default;
};

struct TableImport {
  std::size_t changed_texts = 0;
  std::vector<ImportProblem> problems{};
};

// The units by the table they name, in file order within each table: `units` is put in table
// order (a stable sort, which an exported file, already in that order, does not need) and each
// table's span points into it.
std::map<std::uint32_t, std::span<const UnitText>> units_by_table(std::vector<UnitText>& units);

// Applies `units` (all naming the table stored as `table_id`) to `table`. `compare_sources` is
// false for a format that carries no source text (JSON Lines).
TableImport import_into_table(std::uint32_t table_id, StoredStringTable& table,
                              std::span<const UnitText> units, bool compare_sources);

}  // namespace kelvane_dat::cli
