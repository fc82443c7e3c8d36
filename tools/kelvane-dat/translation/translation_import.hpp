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
#include <expected>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "kelvane_dat/read_error.hpp"
#include "translation/translation_unit.hpp"

namespace kelvane_dat::cli {

struct ImportProblem {
  UnitId id;
  std::string what;

  friend bool operator==(const ImportProblem&, const ImportProblem&) = default;
};

// A string table's texts as its file stores them, each a view of its little-endian code units in
// the file's bytes, which must outlive it. It reads exactly what StoredStringTable::read_le reads,
// so a file one of them decodes the other does too, with the same entries in the same order.
class StoredTableTexts {
 public:
  [[nodiscard]] static std::expected<StoredTableTexts, ReadError> read_le(ByteCursor& reader);

  std::uint32_t language() const { return language_; }
  // The position in file order of the entry StringTable::read_le keeps for `key` (a repeated
  // key's last one), or nothing.
  std::optional<std::size_t> find(std::uint32_t key) const;
  // The texts of the entry at `position` in file order.
  std::span<const std::span<const std::uint8_t>> texts(std::size_t position) const;

 private:
  struct Entry {
    std::uint32_t key = 0;
    std::size_t texts_begin = 0;
    std::size_t texts_end = 0;
  };

  std::uint32_t language_ = 1;
  std::vector<Entry> entries_;
  std::vector<std::span<const std::uint8_t>> texts_;
  // Entry positions ordered by key, file order among equal keys, for find.
  std::vector<std::size_t> by_key_;
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
