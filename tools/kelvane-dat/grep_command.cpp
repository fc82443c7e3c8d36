// kelvane-dat grep PATTERN ARCHIVE [-i] [-F] [-v] [-c] [-l] [-e PATTERN]... [-t NAME]...
// [--color WHEN] [--json]: the texts of every string table that match, or the files of other
// types whose bytes do.

#include "commands.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "archive.hpp"
#include "color.hpp"
#include "progress.hpp"
#include "report.hpp"
#include "text_format.hpp"
#include "text_pattern.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr int kExitNoMatch = 1;

struct GrepOptions {
  std::optional<std::string> pattern;
  // -e, in the order given; with any, the one positional is the archive.
  std::vector<std::string> patterns;
  std::optional<std::string> archive;
  bool ignore_case = false;
  bool fixed = false;
  bool json = false;
  bool count = false;
  bool invert = false;
  bool tables_only = false;
  // Empty: the string tables alone.
  std::vector<DatFileType> types;
  ColorChoice color = ColorChoice::Auto;
};

constexpr const char* kGrepDetails =
    "PATTERN is a Perl-compatible regular expression matched against each text as UTF-8\n"
    "characters; -e gives one, or several, in its place (a text matching any of them matches).\n"
    "Each matching text is one line: table id, key and the text, quoted, its matches\n"
    "highlighted on a terminal; tables in id order, entries in key order. -v selects the\n"
    "texts that do not match, -c prints each table's id and count of selected texts, -l the\n"
    "ids of the tables with one. With --json each match is one line:\n"
    "  {\"table\":\"0x2300000A\",\"key\":\"0x014152D5\",\"index\":0,\"text\":\"Left Alt\"}\n"
    "where index is the text's position among its entry's texts; -c adds \"count\" to a\n"
    "table's object, -l writes the table alone. The exit status is 0 when a text was\n"
    "selected, 1 when none was, 2 when a table could not be read or a pattern is invalid.\n"
    "-t NAME searches the files of that type instead (given again, of each type named).\n"
    "String tables are searched text by text as above. Any other file holds no text: its\n"
    "bytes, after expansion, are searched as bytes (\".\" is any byte, -i folds ASCII only),\n"
    "and the file is the unit selected: one line \"ID  binary file matches at byte N\", N\n"
    "the first match's offset; with -v \"ID  binary file without a match\"; -c counts a\n"
    "file's matches (with -v, 1 for a file without one). In JSON such a file is\n"
    "  {\"file\":\"0x06001000\",\"type\":\"Texture\",\"offset\":418}\n"
    "without offset under -v, with count under -c, alone under -l.\n";

using Patterns = std::vector<TextPattern>;

bool any_matches(const Patterns& patterns, const std::string& text) {
  for (const TextPattern& pattern : patterns) {
    if (pattern.matches(text)) return true;
  }
  return false;
}

// What the search looks at: UTF-8 texts, or the bytes of a file that holds none.
enum class Unit { Text, Bytes };

// The first non-empty match of `pattern` at or after `start`: an empty match highlights and
// counts nothing.
std::optional<TextPattern::Match> next_match(const TextPattern& pattern, std::string_view text,
                                             std::size_t start, Unit unit) {
  for (std::size_t from = start; from <= text.size();) {
    const std::optional<TextPattern::Match> match = pattern.find(text, from);
    if (!match || match->size > 0) return match;
    // Look again after the next character (byte).
    from = match->offset + 1;
    while (unit == Unit::Text && from < text.size() &&
           (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) {
      ++from;
    }
  }
  return std::nullopt;
}

// The earliest non-empty match of any pattern at or after `start`.
std::optional<TextPattern::Match> first_match(const Patterns& patterns, std::string_view text,
                                              std::size_t start) {
  std::optional<TextPattern::Match> first;
  for (const TextPattern& pattern : patterns) {
    const std::optional<TextPattern::Match> match = next_match(pattern, text, start, Unit::Text);
    if (match && (!first || match->offset < first->offset)) first = match;
  }
  return first;
}

struct FileMatches {
  std::size_t count = 0;
  std::size_t first_offset = 0;
};

// The matches in a file's bytes, one after another without overlapping, each the earliest of any
// pattern; counted to the end only when `count_all`. Each pattern's next match is looked for again
// only once the search has passed it, so the bytes are scanned about once per pattern however many
// matches they hold.
FileMatches file_matches(const Patterns& patterns, std::string_view bytes, bool count_all) {
  std::vector<std::optional<TextPattern::Match>> next(patterns.size());
  std::vector<bool> exhausted(patterns.size(), false);
  FileMatches found;
  for (std::size_t from = 0;;) {
    std::optional<TextPattern::Match> earliest;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      if (exhausted[i]) continue;
      if (!next[i] || next[i]->offset < from) {
        next[i] = next_match(patterns[i], bytes, from, Unit::Bytes);
        exhausted[i] = !next[i];
        if (exhausted[i]) continue;
      }
      if (!earliest || next[i]->offset < earliest->offset) earliest = next[i];
    }
    if (!earliest) return found;
    if (found.count++ == 0) found.first_offset = earliest->offset;
    if (!count_all) return found;
    from = earliest->offset + earliest->size;
  }
}

// The text quoted as the plain output shows it, each match between colour escapes.
std::string highlighted(const Patterns& patterns, const std::string& text) {
  const auto quoted_inside = [](std::string_view piece) {
    const std::string quoted = json_quoted(std::string(piece));
    return quoted.substr(1, quoted.size() - 2);
  };
  std::string line = "\"";
  std::size_t done = 0;
  while (const std::optional<TextPattern::Match> match = first_match(patterns, text, done)) {
    line += quoted_inside(std::string_view(text).substr(done, match->offset - done));
    line += kHighlightStart;
    line += quoted_inside(std::string_view(text).substr(match->offset, match->size));
    line += kHighlightEnd;
    done = match->offset + match->size;
  }
  return line + quoted_inside(std::string_view(text).substr(done)) + "\"";
}

struct Selected {
  std::size_t count = 0;
  std::string lines;
};

// The texts of one table the options select, as lines unless only counted.
Selected select_texts(const GrepOptions& options, const Patterns& patterns, std::uint32_t id,
                      const StringTable& table, bool color) {
  Selected selected;
  const bool listing = !options.count && !options.tables_only;
  for (const std::uint32_t key : sorted_keys(table)) {
    const std::vector<std::string>& texts = table.strings.at(key).strings;
    for (std::size_t index = 0; index < texts.size(); ++index) {
      if (any_matches(patterns, texts[index]) == options.invert) continue;
      ++selected.count;
      if (!listing) continue;
      const std::string& text = texts[index];
      if (options.json) {
        selected.lines += json_line(
            {{"table", id_text(id)}, {"key", id_text(key)}, {"index", index}, {"text", text}});
      } else {
        const std::string shown =
            color && !options.invert ? highlighted(patterns, text) : json_quoted(text);
        selected.lines += id_text(id) + "  " + id_text(key) + "  " + shown + "\n";
      }
    }
  }
  return selected;
}

// What -c and -l print for a table.
std::string table_summary(const GrepOptions& options, std::uint32_t id, std::size_t count) {
  if (options.tables_only) {
    if (count == 0) return {};
    return options.json ? json_line({{"table", id_text(id)}}) : id_text(id) + "\n";
  }
  return options.json ? json_line({{"table", id_text(id)}, {"count", count}})
                      : id_text(id) + "  " + std::to_string(count) + "\n";
}

// What the options print for a file other than a string table, and whether it was selected.
std::pair<std::string, bool> search_file(const GrepOptions& options, const Patterns& patterns,
                                         std::uint32_t id, DatFileType type,
                                         std::span<const std::uint8_t> bytes) {
  const FileMatches found = file_matches(
      patterns, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
      options.count);
  const bool selected = (found.count > 0) != options.invert;
  Json record = {{"file", id_text(id)}};
  if (options.count) {
    const std::size_t count = options.invert ? (selected ? 1 : 0) : found.count;
    if (!options.json) return {id_text(id) + "  " + std::to_string(count) + "\n", selected};
    record["count"] = count;
    return {json_line(record), selected};
  }
  if (!selected) return {{}, false};
  if (options.tables_only) return {options.json ? json_line(record) : id_text(id) + "\n", true};
  record["type"] = to_string(type);
  if (!options.invert) record["offset"] = found.first_offset;
  if (options.json) return {json_line(record), true};
  return {id_text(id) + (options.invert ? "  binary file without a match\n"
                                        : "  binary file matches at byte " +
                                              std::to_string(found.first_offset) + "\n"),
          true};
}

// The ids of the files of the types the options name, ascending.
std::vector<std::uint32_t> ids_to_search(const DatDatabase& archive,
                                         const std::vector<DatFileType>& types) {
  if (types.empty()) return archive.ids(DatFileType::StringTable);
  std::vector<std::uint32_t> ids;
  for (const DatFileType type : types) {
    const std::vector<std::uint32_t> of_type = archive.ids(type);
    ids.insert(ids.end(), of_type.begin(), of_type.end());
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

std::expected<Patterns, int> compile_patterns(const GrepOptions& options,
                                              const std::vector<std::string>& texts, Unit unit) {
  Patterns patterns;
  for (const std::string& text : texts) {
    std::expected<TextPattern, std::string> pattern = TextPattern::compile(
        text,
        {.fixed = options.fixed, .ignore_case = options.ignore_case, .bytes = unit == Unit::Bytes});
    if (!pattern) {
      report_error("invalid pattern " + json_quoted(text), pattern.error());
      return std::unexpected(kExitTrouble);
    }
    patterns.push_back(std::move(*pattern));
  }
  return patterns;
}

int run(const GrepOptions& options) {
  // CLI11 fills the positionals in order, so with -e the archive arrives as PATTERN.
  std::vector<std::string> positionals;
  for (const std::optional<std::string>& given : {options.pattern, options.archive}) {
    if (given) positionals.push_back(*given);
  }
  std::vector<std::string> texts = options.patterns;
  if (texts.empty() && !positionals.empty()) {
    texts.push_back(positionals.front());
    positionals.erase(positionals.begin());
  }
  if (texts.empty()) return usage_error("grep", "missing PATTERN");
  if (positionals.empty()) return usage_error("grep", "missing ARCHIVE");
  if (positionals.size() > 1) {
    return usage_error("grep", "unexpected argument '" + positionals.back() + "'");
  }
  const std::string& archive_path = positionals.front();
  const std::expected<Patterns, int> patterns = compile_patterns(options, texts, Unit::Text);
  if (!patterns) return patterns.error();
  const bool other_types = std::ranges::any_of(
      options.types, [](DatFileType type) { return type != DatFileType::StringTable; });
  const std::expected<Patterns, int> byte_patterns =
      other_types ? compile_patterns(options, texts, Unit::Bytes) : Patterns{};
  if (!byte_patterns) return byte_patterns.error();
  const std::optional<DatDatabase> archive = open_archive(archive_path);
  if (!archive) return kExitTrouble;

  const bool color = !options.json && should_use_color(options.color, stdout);
  const std::vector<std::uint32_t> ids = ids_to_search(*archive, options.types);
  ProgressLine progress("searching", ids.size());
  bool matched = false;
  bool trouble = false;
  for (std::size_t done = 0; done < ids.size(); ++done) {
    progress.update(done);
    const std::uint32_t id = ids[done];
    const DatFileType type = archive->file_type(id);
    if (type != DatFileType::StringTable) {
      const Result<std::vector<std::uint8_t>> bytes = archive->get_file_checked(id);
      if (!bytes) {
        progress.clear();
        report_fetch_error(id, bytes.error());
        trouble = true;
        continue;
      }
      const auto [lines, selected] = search_file(options, *byte_patterns, id, type, *bytes);
      matched = matched || selected;
      progress.clear();
      write_out(lines);
      continue;
    }
    const std::optional<StringTable> table = load_string_table(*archive, id);
    if (!table) {
      trouble = true;
      continue;
    }
    const Selected selected = select_texts(options, *patterns, id, *table, color);
    matched = matched || selected.count > 0;
    progress.clear();
    if (options.count || options.tables_only) {
      write_out(table_summary(options, id, selected.count));
    } else {
      write_out(selected.lines);
    }
  }
  progress.clear();
  // As grep has it: trouble outweighs a match, so a script cannot take a partial search for all.
  if (finish_output(kExitSuccess) != kExitSuccess || trouble) return kExitTrouble;
  return matched ? kExitSuccess : kExitNoMatch;
}

}  // namespace

void add_grep_command(CommandSet& commands) {
  const auto [app, options] = commands.add<GrepOptions>(
      "grep", "search the texts of every string table", kGrepDetails, &run);
  // Neither is required of CLI11: with -e the one positional is the archive (see run).
  app.add_option("PATTERN", options.pattern, "what to look for, unless -e gives it");
  app.add_option("ARCHIVE", options.archive, "the archive")->type_name("PATH");
  app.add_option("-e,--regexp", options.patterns, "a pattern to look for; may be given again")
      ->type_name("PATTERN")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_flag("-i,--ignore-case", options.ignore_case, "ignore case, by Unicode's rules");
  app.add_flag("-F,--fixed-strings", options.fixed,
               "PATTERN is a plain string, not a regular expression");
  app.add_flag("-v,--invert-match", options.invert, "select the texts that do not match");
  app.add_flag("-c,--count", options.count, "print each table's count of selected texts");
  app.add_flag("-l,--files-with-matches", options.tables_only,
               "print only the ids of the tables with a selected text");
  add_types_option(
      app, options.types,
      "search the files of this type (string tables unless given); may be given again");
  add_color_option(app, options.color);
  app.add_flag("--json", options.json, "one JSON object per match instead of text (JSON Lines)");
}

}  // namespace kelvane_dat::cli
