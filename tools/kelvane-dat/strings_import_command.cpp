// kelvane-dat strings import ARCHIVE TRANSLATION -o NEW.dat [--language N]: a translation put back
// into a new archive.

#include "commands.hpp"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "archive.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"
#include "string_table_rewrite.hpp"
#include "strings_options.hpp"
#include "text_format.hpp"
#include "translation/translation_file.hpp"
#include "translation/translation_import.hpp"

namespace kelvane_dat::cli {

namespace {

struct ImportOptions {
  std::string archive;
  std::string translation;
  std::string output;
  std::optional<TranslationFormat> format;
  std::optional<std::uint32_t> language;
  bool allow_overlap = false;
};

constexpr const char* kStringsImportDetails =
    "Writes NEW.dat: each table with a translated text re-encoded, with only those texts\n"
    "changed, and every other file copied as stored (bytes, flags, timestamp, version and\n"
    "header kept). ARCHIVE itself is never written. The format comes from TRANSLATION's\n"
    "extension (.po, .pot, .xlf, .xliff, .csv, .json, .jsonl) unless --format names it.\n"
    "An empty translation keeps the source text. A unit that names no text of ARCHIVE, whose\n"
    "source text is no longer ARCHIVE's (it changed since the export), or whose translation\n"
    "is not UTF-8 is reported with its id and skipped; the exit status is then 1.\n"
    "--language N writes the language code N into every string table (1 is English).\n";

struct ImportTally {
  std::size_t changed_texts = 0;
  std::vector<ImportProblem> problems;
  // The tables of the translation the archive stores as string tables.
  std::set<std::uint32_t> found_tables;
};

void report_problems(ImportTally& tally,
                     const std::map<std::uint32_t, std::span<const UnitText>>& by_table) {
  for (const auto& [table, units] : by_table) {
    if (tally.found_tables.contains(table)) continue;
    for (const UnitText& unit : units) {
      tally.problems.push_back({unit.id, "names no text of the archive"});
    }
  }
  // By unit id, so the report does not depend on where the tables are stored.
  const auto key = [](const ImportProblem& p) {
    return std::tuple(p.id.table, p.id.key, p.id.index);
  };
  std::stable_sort(tally.problems.begin(), tally.problems.end(),
                   [&](const ImportProblem& a, const ImportProblem& b) { return key(a) < key(b); });
  for (const ImportProblem& problem : tally.problems) {
    report_error("skipped " + unit_id_text(problem.id), problem.what);
  }
}

int run(const ImportOptions& options) {
  const std::filesystem::path translation_path =
      kelvane_platform::path_from_utf8(options.translation);
  const std::optional<TranslationFormat> format =
      options.format ? options.format : translation_format_of_file(translation_path);
  if (!format) {
    return usage_error("strings import", "cannot tell the format of '" + options.translation +
                                             "' from its name; give --format");
  }
  if (!translation_format_available(*format)) {
    report_error("strings import",
                 "this build of kelvane-dat has no PO support (it needs "
                 "libgettextpo); use xliff, csv or json");
    return kExitUsage;
  }
  const std::optional<std::filesystem::path> output =
      new_archive_path(options.archive, options.output);
  if (!output) return kExitUsage;
  TranslationTexts texts;
  if (const auto read = read_translation_texts(*format, translation_path, texts); !read) {
    report_error("read " + options.translation, read.error());
    return kExitArchiveError;
  }
  const std::optional<DatDatabase> archive = open_archive(options.archive, kViewingOptions);
  if (!archive) return kExitArchiveError;
  if (!layout_allows_reading(*archive, options.archive, options.allow_overlap)) {
    return kExitArchiveError;
  }

  const std::map<std::uint32_t, std::span<const UnitText>> by_table = units_by_table(texts.units);
  // JSON Lines carries no source text to compare.
  const bool compare_sources = *format != TranslationFormat::JsonLines;
  const std::optional<std::uint32_t> language = options.language;
  ImportTally tally;
  // The texts the units of the table last looked at change, for apply to write.
  std::vector<TextChange> changes;
  const TableEdit edit{
      .wanted = [&](std::uint32_t id) { return language || by_table.contains(id); },
      .may_change =
          [&](std::uint32_t id, std::span<const std::uint8_t> file) {
            changes.clear();
            const std::expected<StoredTableTexts, std::string> stored =
                decode_string_table<StoredTableTexts>(file);
            if (!stored) return true;  // decoding it whole reports why
            if (const auto units_of_table = by_table.find(id); units_of_table != by_table.end()) {
              // A table stored twice is met twice: its units count once.
              const bool first = tally.found_tables.insert(id).second;
              TableImport imported =
                  import_into_table(id, *stored, units_of_table->second, compare_sources);
              if (first) {
                tally.changed_texts += imported.changes.size();
                tally.problems.insert(tally.problems.end(), imported.problems.begin(),
                                      imported.problems.end());
              }
              changes = std::move(imported.changes);
            }
            return !changes.empty() || (language && stored->language() != *language);
          },
      .apply =
          [&](std::uint32_t, StoredStringTable& table) {
            apply_text_changes(changes, table);
            if (language) table.language = *language;
            return true;
          }};
  const std::optional<std::size_t> rewritten =
      write_with_tables_edited(*archive, *output, options.output, edit);
  if (!rewritten) return kExitArchiveError;
  report_problems(tally, by_table);
  write_out(
      "wrote " + options.output + ": " + counted(tally.changed_texts, "text") + " changed, " +
      counted(*rewritten, "table") + " re-encoded" +
      (tally.problems.empty() ? "" : ", " + counted(tally.problems.size(), "unit") + " skipped") +
      "\n");
  return finish_output(tally.problems.empty() ? kExitSuccess : kExitArchiveError);
}

}  // namespace

void add_strings_import_command(CommandSet& commands) {
  const auto [app, options] = commands.add<ImportOptions>(
      "import", "write a new archive with the translated texts of a translation file",
      kStringsImportDetails, &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive the texts were exported from");
  add_path_argument(app, "TRANSLATION", options.translation, "the translated file");
  add_new_archive_option(app, options.output);
  add_translation_format_option(app, options.format,
                                "TRANSLATION's format, when its extension does not tell");
  app.add_option("--language", options.language, "write this language code into every string table")
      ->type_name("N");
  add_allow_overlap_option(app, options.allow_overlap);
}

}  // namespace kelvane_dat::cli
