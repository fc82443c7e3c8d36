// grep through the real executable: regular expressions over UTF-8, fixed strings, Unicode case
// folding, JSON Lines and grep's exit statuses.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tool_fixture.hpp"

namespace kelvane_dat::cli::testing {
namespace {

// grep with `options`, then the known archive: what it prints and its exit status.
struct OptionsCase {
  std::vector<std::string> options;
  std::string out;
  int status;
};

void expect_grep_on_known_archive(const OptionsCase& c) {
  std::vector<std::string> args = {"grep"};
  args.insert(args.end(), c.options.begin(), c.options.end());
  args.push_back(KnownArchive::get().path());
  SCOPED_TRACE(::testing::PrintToString(args));
  const e2e::ProcessResult run = run_tool(args);
  EXPECT_EQ(run.exit_status, c.status) << run.err;
  EXPECT_EQ(run.out, c.out);
  EXPECT_EQ(run.err, "");
}

TEST(ToolGrep, PrintsEachMatchingTextAndExitsAsGrepDoes) {
  struct Case {
    std::vector<std::string> options;
    std::string pattern;
    std::string out;
    int status;
  };
  const std::string left_alt = "0x2300000A  0x014152D5  \"Left Alt\"\n";
  const std::string left_ctrl = "0x2300000A  0x04CD833C  \"Left Ctrl\"\n";
  const std::string cafe = "0x23000001  0x00000003  \"Caf\xC3\xA9 \xF0\x9F\x98\x80\"\n";
  const Case cases[] = {
      {{}, "^Left (Alt|Ctrl)$", left_alt + left_ctrl, 0},
      {{}, "left", "", 1},
      {{"-i"}, "LEFT A", left_alt, 0},
      // One character each, not bytes: \S matches the four-byte emoji whole.
      {{}, "^Caf. \\S$", cafe, 0},
      // Unicode case folding: É folds to é, which ASCII-only folding would not do.
      {{"-i"}, "CAF\xC3\x89", cafe, 0},
      {{}, "CAF\xC3\x89", "", 1},
      // \w and \b know letters beyond ASCII's under -i too.
      {{"-i"}, "CAF\\w\\b", cafe, 0},
      // Case folding and fixed strings together.
      {{"-iF"}, "CAF\xC3\x89 ", cafe, 0},
      {{"-i", "-F"}, "left (", "", 1},
      // A fixed string's specials are plain characters; the entry's second text matches alone.
      {{"-F"}, "Say \"hi\" \\", "0x23000001  0x00000007  \"Say \\\"hi\\\" \\\\ bye\"\n", 0},
      {{"-F"}, "(Alt", "", 1},
      {{}, "break\\t", "0x23000001  0x00000007  \"Line\\nbreak\\ttab\\u0001\"\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    std::vector<std::string> args = {"grep"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(c.pattern);
    args.push_back(KnownArchive::get().path());
    const e2e::ProcessResult run = run_tool(args);
    EXPECT_EQ(run.exit_status, c.status) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "");
  }
}

// -e, -v, -c and -l, alone and together; the archive's tables hold "Café 😀", "Say…", "Line…"
// (0x23000001) and "Left Alt", "Left Ctrl" (0x2300000A).
TEST(ToolGrep, SelectsCountsAndListsAsGrepDoes) {
  const std::string left_alt = "0x2300000A  0x014152D5  \"Left Alt\"\n";
  const std::string left_ctrl = "0x2300000A  0x04CD833C  \"Left Ctrl\"\n";
  const OptionsCase cases[] = {
      {{"-e", "Alt", "-e", "Ctrl"}, left_alt + left_ctrl, 0},
      {{"-e", "Ctrl", "--regexp=nothing"}, left_ctrl, 0},
      {{"-v", "Caf|Say|Line"}, left_alt + left_ctrl, 0},
      {{"-v", "."}, "", 1},
      {{"-c", "Left"}, "0x23000001  0\n0x2300000A  2\n", 0},
      {{"-c", "-v", "Left"}, "0x23000001  3\n0x2300000A  0\n", 0},
      {{"-c", "nothing"}, "0x23000001  0\n0x2300000A  0\n", 1},
      {{"-l", "Alt|Say"}, "0x23000001\n0x2300000A\n", 0},
      {{"-l", "-e", "Ctrl"}, "0x2300000A\n", 0},
      {{"-lv", "Left"}, "0x23000001\n", 0},
      {{"--json", "-c", "Ctrl"},
       "{\"table\":\"0x23000001\",\"count\":0}\n{\"table\":\"0x2300000A\",\"count\":1}\n",
       0},
      {{"--json", "-l", "Ctrl"}, "{\"table\":\"0x2300000A\"}\n", 0},
      // Colour only when asked for or on a terminal; never in JSON.
      {{"--color=always", "-e", "t ", "-e", "A"},
       "0x2300000A  0x014152D5  \"Lef\033[1;31mt \033[0m\033[1;31mA\033[0mlt\"\n"
       "0x2300000A  0x04CD833C  \"Lef\033[1;31mt \033[0mCtrl\"\n",
       0},
      {{"--color", "always", "-i", "caf\xC3\x89"},
       "0x23000001  0x00000003  \"\033[1;31mCaf\xC3\xA9\033[0m \xF0\x9F\x98\x80\"\n",
       0},
      {{"--color=always", "-v", "-e", "L|C|S"}, "", 1},
      {{"--color=never", "Left A"}, left_alt, 0},
      {{"--color=always", "--json", "-l", "Ctrl"}, "{\"table\":\"0x2300000A\"}\n", 0},
  };
  for (const OptionsCase& c : cases) expect_grep_on_known_archive(c);
}

// -t: files of other types are searched as bytes, each file one unit. 0x06000001 (Texture) and
// 0x0A000002 (Audio) hold bytes 7i mod 251 and 7i mod 13, 0x0E000004 (Table) "plain text\n".
TEST(ToolGrep, SearchesTheBytesOfFilesOfOtherTypes) {
  const OptionsCase cases[] = {
      {{"-t", "Texture", "\\x00\\x07"}, "0x06000001  binary file matches at byte 0\n", 0},
      {{"-t", "Texture", "-t", "Audio", "-c", "\\x00\\x07"},
       "0x06000001  12\n0x0A000002  385\n",
       0},
      // ASCII case folding over bytes.
      {{"--type=Table", "-i", "PLAIN T"}, "0x0E000004  binary file matches at byte 0\n", 0},
      // Types together, in id order; string tables still text by text.
      {{"-t", "Table", "-t", "StringTable", "-l", "text|Alt"}, "0x0E000004\n0x2300000A\n", 0},
      {{"-t", "Texture", "-v", "\\x0e\\x15"}, "", 1},
      {{"-t", "Audio", "-v", "\\x0e\\x15"}, "0x0A000002  binary file without a match\n", 0},
      {{"-t", "Audio", "-c", "-v", "\\x0e\\x15"}, "0x0A000002  1\n", 0},
      {{"--json", "-t", "Audio", "\\x07\\x01"},
       "{\"file\":\"0x0A000002\",\"type\":\"Audio\",\"offset\":1}\n",
       0},
      {{"--json", "-t", "Audio", "-c", "\\x07\\x01"},
       "{\"file\":\"0x0A000002\",\"count\":385}\n",
       0},
  };
  for (const OptionsCase& c : cases) expect_grep_on_known_archive(c);
}

// --color=auto (the default) colours a terminal unless NO_COLOR is set and not empty.
TEST(ToolGrep, HighlightsOnATerminalUnlessNoColor) {
  if (!e2e::terminals_supported()) GTEST_SKIP() << "run_process cannot give the tool a terminal";
  struct Case {
    std::optional<std::string> no_color;
    std::vector<std::string> options;
    bool colored;
  };
  const Case cases[] = {
      {std::nullopt, {}, true},
      {"", {}, true},
      {"1", {}, false},
      {"1", {"--color=always"}, true},
      {std::nullopt, {"--color=never"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.no_color.value_or("(unset)") + ::testing::PrintToString(c.options));
    std::vector<std::string> args = {"grep", "Ctrl", KnownArchive::get().path()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const e2e::ProcessResult run =
        e2e::run_process(KELVANE_DAT_TOOL, args, {{"NO_COLOR", c.no_color}}, {.out = true});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.terminal, c.colored ? "0x2300000A  0x04CD833C  \"Left \033[1;31mCtrl\033[0m\"\n"
                                      : "0x2300000A  0x04CD833C  \"Left Ctrl\"\n");
  }
}

TEST(ToolGrep, JsonLinesNameTheTextsIndex) {
  const e2e::ProcessResult run =
      run_tool({"grep", "--json", "tab|Left Alt", KnownArchive::get().path()});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const std::vector<nlohmann::json> expected = {
      {{"table", "0x23000001"},
       {"key", "0x00000007"},
       {"index", 1},
       {"text", "Line\nbreak\ttab\x01"}},
      {{"table", "0x2300000A"}, {"key", "0x014152D5"}, {"index", 0}, {"text", "Left Alt"}}};
  EXPECT_EQ(json_lines(run.out), expected);
}

TEST(ToolGrep, TroubleIsStatusTwo) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::string known = KnownArchive::get().path();
  const Case cases[] = {
      {{"grep", "a(b", known},
       "kelvane-dat: invalid pattern \"a(b\": missing closing parenthesis at offset 3\n"},
      {{"grep", "x", "/nonexistent/archive.dat"},
       "kelvane-dat: open /nonexistent/archive.dat: " + missing_archive_error() + "\n"},
      {{"grep", "-e", "x", "y", known},
       "kelvane-dat: grep: unexpected argument '" + known +
           "'\nTry 'kelvane-dat grep --help' for more information.\n"},
      {{"grep", known},
       "kelvane-dat: grep: missing ARCHIVE\nTry 'kelvane-dat grep --help' for more information.\n"},
      {{"grep", "--color=sometimes", "x", known},
       "kelvane-dat: grep: --color: expected auto, always or never, not 'sometimes'\nTry "
       "'kelvane-dat grep --help' for more information.\n"},
      // A table that cannot be decoded is reported; the rest are still searched.
      {{"grep", "Text", DamagedArchive::get().path()},
       DamagedArchive::get().truncated_table_error() + "\n" +
           DamagedArchive::get().trailing_bytes_error() + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1]);
    const e2e::ProcessResult run = run_tool(c.args);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.err, c.err);
  }
}

}  // namespace
}  // namespace kelvane_dat::cli::testing
