// kelvane-dat grep PATTERN ARCHIVE [-i] [-F] [--json]: the texts of every string table that match.

#include "commands.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive.hpp"
#include "report.hpp"
#include "text_format.hpp"
#include "text_pattern.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr int kExitNoMatch = 1;

struct GrepOptions {
  std::string pattern;
  std::string archive;
  bool ignore_case = false;
  bool fixed = false;
  bool json = false;
};

constexpr const char* kDetails =
    "PATTERN is a Perl-compatible regular expression matched against each text as UTF-8\n"
    "characters. Each matching text is one line: table id, key and the text, quoted; tables\n"
    "in id order, entries in key order. With --json each match is one line:\n"
    "  {\"table\":\"0x2300000A\",\"key\":\"0x014152D5\",\"index\":0,\"text\":\"Left Alt\"}\n"
    "where index is the text's position among its entry's texts. The exit status is 0 when\n"
    "a text matched, 1 when none did, 2 when a table could not be read or the pattern is\n"
    "invalid.\n";

std::string match_line(std::uint32_t table, std::uint32_t key, std::size_t index,
                       const std::string& text, bool json) {
  if (!json) return id_text(table) + "  " + id_text(key) + "  " + json_quoted(text) + "\n";
  return json_line(
      {{"table", id_text(table)}, {"key", id_text(key)}, {"index", index}, {"text", text}});
}

int run(const GrepOptions& options) {
  const std::expected<TextPattern, std::string> pattern = TextPattern::compile(
      options.pattern, {.fixed = options.fixed, .ignore_case = options.ignore_case});
  if (!pattern) {
    report_error("invalid pattern " + json_quoted(options.pattern), pattern.error());
    return kExitTrouble;
  }
  const std::optional<DatDatabase> archive = open_archive(options.archive);
  if (!archive) return kExitTrouble;

  const bool json = options.json;
  bool matched = false;
  bool trouble = false;
  for (const std::uint32_t id : archive->ids(DatFileType::StringTable)) {
    const std::optional<StringTable> table = load_string_table(*archive, id);
    if (!table) {
      trouble = true;
      continue;
    }
    std::string out;
    for (const std::uint32_t key : sorted_keys(*table)) {
      const std::vector<std::string>& texts = table->strings.at(key).strings;
      for (std::size_t index = 0; index < texts.size(); ++index) {
        if (pattern->matches(texts[index])) out += match_line(id, key, index, texts[index], json);
      }
    }
    matched = matched || !out.empty();
    write_out(out);
  }
  // As grep has it: trouble outweighs a match, so a script cannot take a partial search for all.
  if (finish_output(kExitSuccess) != kExitSuccess || trouble) return kExitTrouble;
  return matched ? kExitSuccess : kExitNoMatch;
}

}  // namespace

void add_grep_command(CommandSet& commands) {
  const auto [app, options] =
      commands.add<GrepOptions>("grep", "search the texts of every string table", kDetails, &run);
  app.add_option("PATTERN", options.pattern, "what to look for")->required();
  add_path_argument(app, "ARCHIVE", options.archive, "the archive");
  app.add_flag("-i,--ignore-case", options.ignore_case, "ignore case, by Unicode's rules");
  app.add_flag("-F,--fixed-strings", options.fixed,
               "PATTERN is a plain string, not a regular expression");
  app.add_flag("--json", options.json, "one JSON object per match instead of text (JSON Lines)");
}

}  // namespace kelvane_dat::cli
