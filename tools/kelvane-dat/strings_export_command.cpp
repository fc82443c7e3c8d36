// kelvane-dat strings export ARCHIVE --format po|xliff|csv|json [-o FILE] [--table ID...]: the
// texts of the string tables as a translation file, one unit per text.

#include "commands.hpp"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "archive.hpp"
#include "chain_groups.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"
#include "strings_options.hpp"
#include "translation/stored_table_texts.hpp"
#include "translation/translation_file.hpp"
#include "translation/translation_unit.hpp"

namespace kelvane_dat::cli {

namespace {

struct ExportOptions {
  std::string archive;
  std::optional<TranslationFormat> format;
  std::string output = "-";
  std::vector<std::uint32_t> tables;
  bool allow_overlap = false;
};

constexpr const char* kStringsExportDetails =
    "Each text of an entry is one unit, named TABLE/KEY/INDEX (0x2300000A/0x014152D5/0), its\n"
    "source the text and its target empty; the entry's data id and variables go with it as a\n"
    "translator's note. Tables come in id order, entries in key order. The formats:\n"
    "  po     GNU gettext PO: msgctxt the unit, msgid the text, the note an extracted comment\n"
    "  xliff  XLIFF 2.0, one <file> per table\n"
    "  csv    RFC 4180 with a header row: id,source,target,data_id,variables\n"
    "  json   JSON Lines, one entry per line, as 'strings --json' prints them\n"
    "Translate the file and give it to 'strings import'. A table that cannot be read is\n"
    "reported and left out; the exit status is then 1.\n";

// The ids --table names, each a string table of the archive; nothing when one is not (reported).
std::optional<std::vector<std::uint32_t>> chosen_tables(const DatDatabase& archive,
                                                        std::vector<std::uint32_t> ids) {
  for (const std::uint32_t id : ids) {
    if (archive.find(id) == nullptr) {
      report_fetch_error(id, DatError::not_found(id));
      return std::nullopt;
    }
    const DatFileType type = archive.file_type(id);
    if (type != DatFileType::StringTable) {
      report_error("strings export " + id_text(id),
                   "not a string table but " + std::string(to_string(type)));
      return std::nullopt;
    }
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

// A table's file and its texts, which view the file's bytes.
struct LoadedTable {
  std::vector<std::uint8_t> file;
  StoredTableTexts texts;
};

// Why a table could not be loaded: the fetch's error, or the decoder's words.
struct LoadFailure {
  std::optional<DatError> fetch;
  std::string decoding;

  // Reports "read ID" or "decode string table ID" for `id`, one of the tables that share the chain.
  void report(std::uint32_t id) const {
    if (fetch) {
      report_fetch_error(id, *fetch);
    } else {
      report_error("decode string table " + id_text(id), decoding);
    }
  }
};

// The string table stored as `id`, fetched checked and read; on failure the words the library's
// decoder has for it.
std::expected<LoadedTable, LoadFailure> load_table(const DatDatabase& archive, std::uint32_t id) {
  Result<std::vector<std::uint8_t>> file = archive.get_file_checked(id);
  if (!file) return std::unexpected(LoadFailure{.fetch = std::move(file.error()), .decoding = {}});
  std::expected<StoredTableTexts, std::string> texts = decode_string_table<StoredTableTexts>(*file);
  if (!texts) {
    const std::expected<StringTable, std::string> decoded = decode_string_table(*file);
    return std::unexpected(
        LoadFailure{.fetch = std::nullopt, .decoding = decoded ? texts.error() : decoded.error()});
  }
  // The texts view the vector's storage, which moving the vector keeps.
  return LoadedTable{.file = std::move(*file), .texts = std::move(*texts)};
}

// A chain several tables share: read once, kept until the last of them is written. A chain that
// cannot be read is reported for every table that shares it, since each of them is left out.
struct SharedChain {
  std::size_t tables_left = 0;
  std::optional<std::expected<LoadedTable, LoadFailure>> loaded;
};

// The units of the tables `ids`, in that order, one table read at a time. A table that cannot be
// read is reported, left out, and sets `status`.
std::expected<void, std::string> write_tables(const DatDatabase& archive,
                                              const std::vector<std::uint32_t>& ids,
                                              TranslationWriter& writer, int& status) {
  std::map<ChainKey, SharedChain> chains;
  for (const std::uint32_t id : ids) ++chains[ChainKey::of(*archive.find(id))].tables_left;
  bool begun = false;
  for (const std::uint32_t id : ids) {
    SharedChain& chain = chains[ChainKey::of(*archive.find(id))];
    if (!chain.loaded) chain.loaded = load_table(archive, id);
    if (const std::expected<LoadedTable, LoadFailure>& loaded = *chain.loaded; !loaded) {
      loaded.error().report(id);
      status = kExitArchiveError;
    } else {
      // The archive's language, which XLIFF names as the source language: the first table's.
      if (!begun) writer.begin(loaded->texts.language());
      begun = true;
      if (const auto written = writer.write_table(id, loaded->texts); !written) return written;
    }
    if (--chain.tables_left == 0) chain.loaded.reset();
  }
  // English when there are no tables.
  if (!begun) writer.begin(1);
  return writer.finish();
}

int run(const ExportOptions& options) {
  const TranslationFormat format = *options.format;
  if (!translation_format_available(format)) {
    report_error("strings export",
                 "this build of kelvane-dat has no PO support (it needs "
                 "libgettextpo); choose xliff, csv or json");
    return kExitUsage;
  }
  const std::optional<DatDatabase> archive = open_archive(options.archive, kViewingOptions);
  if (!archive) return kExitArchiveError;
  std::optional<std::vector<std::uint32_t>> ids = chosen_tables(*archive, options.tables);
  if (!ids) return kExitArchiveError;
  if (options.tables.empty()) {
    if (!layout_allows_reading(*archive, options.archive, options.allow_overlap)) {
      return kExitArchiveError;
    }
    ids = archive->ids(DatFileType::StringTable);
  }

  const std::filesystem::path path = options.output == "-"
                                         ? std::filesystem::path("-")
                                         : kelvane_platform::path_from_utf8(options.output);
  std::expected<TranslationWriter, std::string> writer = TranslationWriter::create(format, path);
  if (!writer) {
    report_error("write " + options.output, writer.error());
    return kExitArchiveError;
  }
  int status = kExitSuccess;
  const std::expected<void, std::string> written = write_tables(*archive, *ids, *writer, status);
  if (!written) {
    report_error("write " + options.output, written.error());
    // Half a translation file is no use to a translator.
    std::error_code ignored;
    if (path != "-") std::filesystem::remove(path, ignored);
    return kExitArchiveError;
  }
  return finish_output(status);
}

}  // namespace

void add_strings_export_command(CommandSet& commands) {
  const auto [app, options] = commands.add<ExportOptions>(
      "export", "write the texts of the string tables as a file for translators",
      kStringsExportDetails, &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive");
  add_translation_format_option(app, options.format, "po, xliff, csv or json")->required();
  app.add_option("-o,--output", options.output, "write to FILE instead of standard output")
      ->type_name("FILE");
  std::vector<std::uint32_t>& tables = options.tables;
  app.add_option_function<std::vector<std::string>>(
         "--table",
         [&tables](const std::vector<std::string>& texts) {
           for (const std::string& text : texts) {
             const std::expected<std::uint32_t, std::string> id = parse_file_id(text);
             if (!id) throw CLI::ValidationError(id.error());
             tables.push_back(*id);
           }
         },
         "only the table with this id (repeatable)")
      ->type_name("ID")
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  add_allow_overlap_option(app, options.allow_overlap);
}

}  // namespace kelvane_dat::cli
