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

constexpr std::string_view kPositionals[] = {"PATTERN", "ARCHIVE"};
constexpr OptionSyntax kOptions[] = {
    {.name = "ignore-case",
     .short_name = 'i',
     .value_name = "",
     .help = "ignore case, by Unicode's rules"},
    {.name = "fixed-strings",
     .short_name = 'F',
     .value_name = "",
     .help = "PATTERN is a plain string, not a regular expression"},
    {.name = "json",
     .short_name = 0,
     .value_name = "",
     .help = "one JSON object per match instead of text (JSON Lines)"},
};
constexpr CommandSyntax kSyntax{
    .name = "grep",
    .summary = "search the texts of every string table",
    .positionals = kPositionals,
    .required_positionals = 2,
    .options = kOptions,
    .details =
        "PATTERN is a Perl-compatible regular expression matched against each text as UTF-8\n"
        "characters. Each matching text is one line: table id, key and the text, quoted; tables\n"
        "in id order, entries in key order. With --json each match is one line:\n"
        "  {\"table\": \"0x2300000A\", \"key\": \"0x014152D5\", \"index\": 0, \"text\": \"Left "
        "Alt\"}\n"
        "where index is the text's position among its entry's texts. The exit status is 0 when\n"
        "a text matched, 1 when none did, 2 when a table could not be read or the pattern is\n"
        "invalid.\n",
};

std::string match_line(std::uint32_t table, std::uint32_t key, std::size_t index,
                       const std::string& text, bool json) {
  if (!json) return id_text(table) + "  " + id_text(key) + "  " + json_string(text) + "\n";
  return "{\"table\": \"" + id_text(table) + "\", \"key\": \"" + id_text(key) +
         "\", \"index\": " + std::to_string(index) + ", \"text\": " + json_string(text) + "}\n";
}

int run(const ParsedArguments& args) {
  const std::string& pattern_text = args.positionals()[0];
  const std::expected<TextPattern, std::string> pattern = TextPattern::compile(
      pattern_text, {.fixed = args.has("fixed-strings"), .ignore_case = args.has("ignore-case")});
  if (!pattern) {
    report_error("invalid pattern " + json_string(pattern_text), pattern.error());
    return kExitTrouble;
  }
  const std::optional<DatDatabase> archive = open_archive(args.positionals()[1]);
  if (!archive) return kExitTrouble;

  const bool json = args.has("json");
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

Command grep_command() { return {&kSyntax, &run}; }

}  // namespace kelvane_dat::cli
