// kelvane-dat strings pseudo ARCHIVE -o NEW.dat: every text pseudo-localised, into a new archive.

#include "commands.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "archive.hpp"
#include "report.hpp"
#include "string_table_rewrite.hpp"
#include "strings_options.hpp"
#include "text_format.hpp"
#include "translation/pseudo_localization.hpp"

namespace kelvane_dat::cli {

namespace {

struct PseudoOptions {
  std::string archive;
  std::string output;
  bool allow_overlap = false;
};

constexpr const char* kStringsPseudoDetails =
    "Every text of every string table becomes an accented variant about 30% longer that\n"
    "stays readable: \"Start Game\" becomes \"[\xC5\x9C\xC5\xA3\xC3\xA0\xC5\x95\xC5\xA3 "
    "\xC4\x9C\xC3\xA0\xC9\xB1\xC3\xA9 ~~~]\". Placeholders (%s, %1$d, {0}) and\n"
    "markup (<b>) are kept. Run the client on NEW.dat: a text still plain was not taken from\n"
    "the tables, and one without its closing bracket was cut short. Every other file is\n"
    "copied as stored; ARCHIVE itself is never written.\n";

// Pseudo-localises every text of `table`; false when it has none that is not empty.
bool pseudo_localize_table(StoredStringTable& table) {
  bool changed = false;
  for (StoredStringTableEntry& entry : table.entries) {
    for (std::u16string& text : entry.texts) {
      if (text.empty()) continue;
      // Valid UTF-8 in, valid UTF-8 out: a lone surrogate was already read as U+FFFD.
      std::expected<std::u16string, DatError> pseudo =
          utf8_to_utf16(pseudo_localize(utf16_to_utf8_lossy(text)));
      if (!pseudo) continue;
      text = std::move(*pseudo);
      changed = true;
    }
  }
  return changed;
}

int run(const PseudoOptions& options) {
  const std::optional<std::filesystem::path> output =
      new_archive_path(options.archive, options.output);
  if (!output) return kExitUsage;
  const std::optional<DatDatabase> archive = open_archive(options.archive);
  if (!archive) return kExitArchiveError;
  if (!layout_allows_reading(*archive, options.archive, options.allow_overlap)) {
    return kExitArchiveError;
  }
  const TableEdit edit{
      .wanted = [](std::uint32_t) { return true; },
      // Decoded whole: pseudo-localisation changes any text a table has.
      .may_change = [](std::uint32_t, std::span<const std::uint8_t>) { return true; },
      .apply = [](std::uint32_t,
                  StoredStringTable& table) { return pseudo_localize_table(table); }};
  const std::optional<std::size_t> rewritten =
      write_with_tables_edited(*archive, *output, options.output, edit);
  if (!rewritten) return kExitArchiveError;
  write_out("wrote " + options.output + ": " + counted(*rewritten, "table") + " re-encoded\n");
  return finish_output(kExitSuccess);
}

}  // namespace

void add_strings_pseudo_command(CommandSet& commands) {
  const auto [app, options] = commands.add<PseudoOptions>(
      "pseudo", "write a new archive with every text pseudo-localised, to test a translation",
      kStringsPseudoDetails, &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive");
  add_new_archive_option(app, options.output);
  add_allow_overlap_option(app, options.allow_overlap);
}

}  // namespace kelvane_dat::cli
