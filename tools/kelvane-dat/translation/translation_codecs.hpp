#pragma once

// The formats of translation_file.hpp one by one, for its writer and readers and for their tests.
// Each writer comes in parts, so a file can be written table by table: an opening before the first
// unit, units appended in file order (one call never ends within an entry's units, and XLIFF's
// never within a table's), a closing after the last. Readers of text formats take the file's
// bytes; PO is read by libgettextpo, which reads the file itself.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "translation/translation_unit.hpp"

namespace kelvane_dat::cli {

std::string_view csv_opening();
void append_csv(std::string& out, std::span<const TranslationUnit> units);
// append_csv of translation_units(table_id, table), written straight from the table's code units.
void append_csv_table(std::string& out, std::uint32_t table_id, const StoredTableTexts& table);
// The whole file.
std::string write_csv(std::span<const TranslationUnit> units);
// What CSV's reader finds: each unit's id and texts, and apart from them (when kept) its data id
// and variables.
struct CsvUnits {
  struct Note {
    std::uint32_t data_id = 0;
    // The unit's variables are `variables` from the previous unit's end to this.
    std::size_t variables_end = 0;
  };
  std::vector<UnitText> units;
  std::vector<Note> notes;
  std::vector<std::uint32_t> variables;
};
// Whether CSV's reader keeps each unit's data id and variables or only checks them (putting texts
// back does not need them).
enum class CsvNotes : std::uint8_t { Keep, CheckOnly };
// The one CSV reader. It checks `text` and unescapes its quoted fields in place, so that each text
// views `text` without a copy: the units must not outlive it.
std::expected<CsvUnits, std::string> read_csv_in_place(std::span<char> text, CsvNotes notes);
// read_csv_in_place on a copy of `text`, as units that own their texts.
std::expected<std::vector<TranslationUnit>, std::string> read_csv(std::string_view text);

// JSON Lines needs no opening or closing. `language` is the tables' language code, which each line
// carries.
void append_json_lines(std::string& out, std::span<const TranslationUnit> units,
                       std::uint32_t language);
std::string write_json_lines(std::span<const TranslationUnit> units, std::uint32_t language);
std::expected<std::vector<TranslationUnit>, std::string> read_json_lines(std::string_view text);

std::string xliff_opening(std::uint32_t source_language);
void append_xliff(std::string& out, std::span<const TranslationUnit> units);
std::string_view xliff_closing();
std::string write_xliff(std::span<const TranslationUnit> units, std::uint32_t source_language);
std::expected<std::vector<TranslationUnit>, std::string> read_xliff(std::string_view text);

// PO needs no closing. Appending fails on a text holding U+0000, which PO cannot carry.
std::string_view po_opening();
std::expected<void, std::string> append_po(std::string& out,
                                           std::span<const TranslationUnit> units);
std::expected<std::vector<TranslationUnit>, std::string> read_po(const std::filesystem::path& path);

}  // namespace kelvane_dat::cli
