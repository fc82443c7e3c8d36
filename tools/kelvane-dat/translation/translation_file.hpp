#pragma once

// Translation files: string table texts out to the formats translators' tools speak, and back.
//
//   po     GNU gettext PO, read through libgettextpo: msgctxt is the unit id, msgid the source
//          text, the note an extracted comment (#.). A text holding U+0000 cannot be written.
//   xliff  XLIFF 2.0: one <file> per table, one <unit> per text, named by its unit id; characters
//          XML cannot hold go in as <cp hex="..."/>.
//   csv    RFC 4180, UTF-8, CRLF, header row: id,source,target,data_id,variables.
//   json   JSON Lines as `strings --json` writes them, one entry per line; a reader takes each
//          entry's strings as the targets of its texts and has no source text to compare.
//
// Writers take units in the order they are to appear; readers return the units a file names, in
// file order, and fail on the first problem with a message naming the line or unit; a unit named
// twice is such a problem.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kelvane_platform/file_mapping.hpp"
#include "translation/translation_unit.hpp"

namespace kelvane_dat::cli {

enum class TranslationFormat : std::uint8_t { Po, Xliff, Csv, JsonLines };

// "po", "xliff", "csv", "json".
std::string_view to_string(TranslationFormat format);
std::optional<TranslationFormat> translation_format_from_name(std::string_view name);

// The format a file's extension names: .po and .pot, .xlf and .xliff, .csv, .json and .jsonl.
std::optional<TranslationFormat> translation_format_of_file(const std::filesystem::path& path);

// Whether this build has the format; PO needs libgettextpo, which some builds lack.
bool translation_format_available(TranslationFormat format);

// Writes a translation file a table at a time, so a caller need not hold every unit at once.
// Call begin, then write for each table's units in file order, then finish; a file that failed is
// left as far as it got.
class TranslationWriter {
 public:
  // `path` "-" is standard output.
  static std::expected<TranslationWriter, std::string> create(TranslationFormat format,
                                                              const std::filesystem::path& path);

  // `source_language` is the tables' language code (1 is English), which XLIFF names and each
  // JSON line carries.
  void begin(std::uint32_t source_language);
  std::expected<void, std::string> write(std::span<const TranslationUnit> units);
  // write(translation_units(table_id, table)), without building the units where the format can.
  std::expected<void, std::string> write_table(std::uint32_t table_id,
                                               const StoredTableTexts& table);
  std::expected<void, std::string> finish();

 private:
  TranslationWriter(TranslationFormat format, const std::filesystem::path& path)
      : format_(format), path_(path) {}
  std::expected<void, std::string> flush();
  // Flushes once the buffer holds enough.
  std::expected<void, std::string> flush_when_full();

  TranslationFormat format_;
  std::filesystem::path path_;
  // Null for standard output.
  std::unique_ptr<std::ofstream> file_;
  std::uint32_t language_ = 1;
  // Written out once it grows past a buffer's worth, so the file's text never sits in memory.
  std::string pending_;
};

// The whole file at once, through TranslationWriter.
std::expected<void, std::string> write_translation(TranslationFormat format,
                                                   std::span<const TranslationUnit> units,
                                                   std::uint32_t source_language,
                                                   const std::filesystem::path& path);

std::expected<std::vector<TranslationUnit>, std::string> read_translation(
    TranslationFormat format, const std::filesystem::path& path);

// A translation file's units as putting them back needs them, their texts viewing what this holds:
// a CSV file's text itself (mapped, where the file can be), or, for the other formats, the units
// their readers return. It stays where it was made, so the views stay valid.
struct TranslationTexts {
  TranslationTexts() = default;
  TranslationTexts(const TranslationTexts&) = delete;
  TranslationTexts& operator=(const TranslationTexts&) = delete;

  // A CSV file read once for its units is mapped rather than copied into memory: its reader writes
  // only where it unescapes a quote. A pipe, or a file that cannot be mapped, is read.
  std::optional<kelvane_platform::FileMapping> mapped_text;
  std::string file_text;
  std::vector<TranslationUnit> owned;
  std::vector<UnitText> units;
};

// Reads the file at `path` into `texts`, which must be empty.
std::expected<void, std::string> read_translation_texts(TranslationFormat format,
                                                        const std::filesystem::path& path,
                                                        TranslationTexts& texts);

}  // namespace kelvane_dat::cli
