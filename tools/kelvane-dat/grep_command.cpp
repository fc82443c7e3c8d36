// kelvane-dat grep PATTERN ARCHIVE [-i] [-F] [-v] [-c] [-l] [-e PATTERN]... [--color WHEN]
// [--json]: the texts of every string table that match.

#include "commands.hpp"

#include <cstdint>
#include <optional>
#include <string>
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
  ColorChoice color = ColorChoice::Auto;
};

constexpr const char* kDetails =
    "PATTERN is a Perl-compatible regular expression matched against each text as UTF-8\n"
    "characters; -e gives one, or several, in its place (a text matching any of them matches).\n"
    "Each matching text is one line: table id, key and the text, quoted, its matches\n"
    "highlighted on a terminal; tables in id order, entries in key order. -v selects the\n"
    "texts that do not match, -c prints each table's id and count of selected texts, -l the\n"
    "ids of the tables with one. With --json each match is one line:\n"
    "  {\"table\":\"0x2300000A\",\"key\":\"0x014152D5\",\"index\":0,\"text\":\"Left Alt\"}\n"
    "where index is the text's position among its entry's texts; -c adds \"count\" to a\n"
    "table's object, -l writes the table alone. The exit status is 0 when a text was\n"
    "selected, 1 when none was, 2 when a table could not be read or a pattern is invalid.\n";

using Patterns = std::vector<TextPattern>;

bool any_matches(const Patterns& patterns, const std::string& text) {
  for (const TextPattern& pattern : patterns) {
    if (pattern.matches(text)) return true;
  }
  return false;
}

// The earliest non-empty match of any pattern at or after `start`.
std::optional<TextPattern::Match> first_match(const Patterns& patterns, const std::string& text,
                                              std::size_t start) {
  std::optional<TextPattern::Match> first;
  for (const TextPattern& pattern : patterns) {
    for (std::size_t from = start; from <= text.size();) {
      const std::optional<TextPattern::Match> match = pattern.find(text, from);
      if (!match) break;
      if (match->size > 0) {
        if (!first || match->offset < first->offset) first = match;
        break;
      }
      // An empty match highlights nothing: look again after the next character.
      from = match->offset + 1;
      while (from < text.size() && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) ++from;
    }
  }
  return first;
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
  Patterns patterns;
  for (const std::string& text : texts) {
    std::expected<TextPattern, std::string> pattern =
        TextPattern::compile(text, {.fixed = options.fixed, .ignore_case = options.ignore_case});
    if (!pattern) {
      report_error("invalid pattern " + json_quoted(text), pattern.error());
      return kExitTrouble;
    }
    patterns.push_back(std::move(*pattern));
  }
  const std::optional<DatDatabase> archive = open_archive(archive_path);
  if (!archive) return kExitTrouble;

  const bool color = !options.json && should_use_color(options.color, stdout);
  const std::vector<std::uint32_t> ids = archive->ids(DatFileType::StringTable);
  ProgressLine progress("searching", ids.size());
  bool matched = false;
  bool trouble = false;
  for (std::size_t done = 0; done < ids.size(); ++done) {
    progress.update(done);
    const std::uint32_t id = ids[done];
    const std::optional<StringTable> table = load_string_table(*archive, id);
    if (!table) {
      trouble = true;
      continue;
    }
    const Selected selected = select_texts(options, patterns, id, *table, color);
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
  const auto [app, options] =
      commands.add<GrepOptions>("grep", "search the texts of every string table", kDetails, &run);
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
  add_color_option(app, options.color);
  app.add_flag("--json", options.json, "one JSON object per match instead of text (JSON Lines)");
}

}  // namespace kelvane_dat::cli
