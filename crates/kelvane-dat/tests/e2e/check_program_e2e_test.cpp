// The check program's command line and report, through the real executable.

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "check_program.hpp"

namespace kelvane_dat::e2e {
namespace {

constexpr const char* kParity = "all_retail_string_tables_parse";
constexpr const char* kClassify = "common::motion_command_names::tests::classify_known_commands";
constexpr const char* kLookup = "common::motion_command_names::tests::lookup_known_commands";
constexpr const char* kSorted =
    "common::motion_command_names::tests::table_is_strictly_sorted_for_binary_search";

std::string summary(int passed, int failed, int ignored, int filtered_out) {
  return std::string(failed == 0 ? "\ntest result: ok. " : "\ntest result: FAILED. ") +
         std::to_string(passed) + " passed; " + std::to_string(failed) + " failed; " +
         std::to_string(ignored) + " ignored; 0 measured; " + std::to_string(filtered_out) +
         " filtered out; finished in T\n\n";
}

TEST(CheckProgram, UnfilteredRunPassesAllFourCasesInOrderWithOneThread) {
  const ProcessResult run = run_check_program({"--test-threads", "1"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(stable(run.out), std::string("\nrunning 4 tests\n") + "test " + kParity + " ... ok\n" +
                                 "test " + kClassify + " ... ok\n" + "test " + kLookup +
                                 " ... ok\n" + "test " + kSorted + " ... ok\n" +
                                 summary(4, 0, 0, 0));
  EXPECT_EQ(run.err, "");
}

TEST(CheckProgram, ParallelRunReportsEveryCase) {
  const ProcessResult run = run_check_program({});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_TRUE(run.out.starts_with("\nrunning 4 tests\n")) << run.out;
  for (const char* name : {kParity, kClassify, kLookup, kSorted}) {
    EXPECT_NE(run.out.find(std::string("test ") + name + " ... ok\n"), std::string::npos) << name;
  }
  EXPECT_TRUE(stable(run.out).ends_with(summary(4, 0, 0, 0))) << run.out;
}

TEST(CheckProgram, ListsTheRegistryInOrder) {
  const ProcessResult run = run_check_program({"--list"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, std::string(kParity) + ": test\n" + kClassify + ": test\n" + kLookup +
                         ": test\n" + kSorted + ": test\n\n4 tests, 0 benchmarks\n");
}

// A string field's text or a number field's digits in one line of the JSON listing; nothing when
// the line has no such field. (GCC 12 warns inside <regex> under the sanitizers, so no regex.)
std::optional<std::string> listed_field(const std::string& line, const std::string& key) {
  const std::string marker = "\"" + key + "\": ";
  const std::size_t at = line.find(marker);
  if (at == std::string::npos) return std::nullopt;
  std::size_t begin = at + marker.size();
  if (begin < line.size() && line[begin] == '"') {
    ++begin;
    return line.substr(begin, line.find('"', begin) - begin);
  }
  return line.substr(begin, line.find_first_not_of("0123456789", begin) - begin);
}

// The registry keeps each case's span by hand; a failure outside a check points there, so the span
// must name the case's function where its source defines it.
TEST(CheckProgram, RegistrySpansPointAtEachCaseName) {
  const ProcessResult run =
      run_check_program({"-Z", "unstable-options", "--format", "json", "--list"},
                        {{"KELVANE_UNSTABLE_OPTIONS", "1"}});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  int checked = 0;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    const std::optional<std::string> name = listed_field(line, "name");
    const std::optional<std::string> path = listed_field(line, "source_path");
    if (!name || !path) continue;
    SCOPED_TRACE(line);
    const std::optional<std::string> start_line = listed_field(line, "start_line");
    const std::optional<std::string> start_col = listed_field(line, "start_col");
    const std::optional<std::string> end_line = listed_field(line, "end_line");
    const std::optional<std::string> end_col = listed_field(line, "end_col");
    ASSERT_TRUE(start_line && start_col && end_line && end_col);
    const std::string function =
        name->substr(name->rfind(':') == std::string::npos ? 0 : name->rfind(':') + 1);
    std::ifstream source(std::string(KELVANE_SOURCE_DIR) + "/" + *path);
    ASSERT_TRUE(source) << "cannot read " << *path;
    std::string text;
    for (int number = std::stoi(*start_line); number > 0; --number) std::getline(source, text);
    ASSERT_EQ(*start_line, *end_line);
    const auto start = static_cast<std::size_t>(std::stoi(*start_col) - 1);
    const auto end = static_cast<std::size_t>(std::stoi(*end_col) - 1);
    ASSERT_LE(end, text.size());
    EXPECT_EQ(text.substr(start, end - start), function);
    EXPECT_TRUE(text.starts_with("void " + function + "()"));
    ++checked;
  }
  EXPECT_EQ(checked, 4);
}

struct SelectionCase {
  std::vector<std::string> args;
  std::vector<std::string> ran;
  int filtered_out;
};

TEST(CheckProgram, SelectsByFilterExactAndSkip) {
  const std::vector<SelectionCase> cases = {
      {{"motion"}, {kClassify, kLookup, kSorted}, 1},
      {{"motion", "--exact"}, {}, 4},
      {{"--exact", kLookup}, {kLookup}, 3},
      {{"--skip", "table_is"}, {kParity, kClassify, kLookup}, 1},
      {{"--ignored"}, {}, 4},
      {{"no_such_case"}, {}, 4},
      {{"retail", "lookup"}, {kParity, kLookup}, 2},
  };
  for (const SelectionCase& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--test-threads", "1"});
    SCOPED_TRACE(testing::PrintToString(args));
    const ProcessResult run = run_check_program(args);
    EXPECT_EQ(run.exit_status, 0);
    std::string expected =
        "\nrunning " + std::to_string(c.ran.size()) + (c.ran.size() == 1 ? " test\n" : " tests\n");
    for (const std::string& name : c.ran) expected += "test " + name + " ... ok\n";
    expected += summary(static_cast<int>(c.ran.size()), 0, 0, c.filtered_out);
    EXPECT_EQ(stable(run.out), expected);
  }
}

struct UsageErrorCase {
  std::vector<std::string> args;
  std::string message;
};

TEST(CheckProgram, RefusesBadCommandLinesBeforeRunningAnything) {
  const std::vector<UsageErrorCase> cases = {
      {{"--test-threads", "0"}, "argument for --test-threads must not be 0"},
      {{"--bogus"}, "Unrecognized option: 'bogus'"},
      {{"--test-threads"}, "Argument to option 'test-threads' missing"},
      {{"--ignored", "--include-ignored"},
       "the options --include-ignored and --ignored are mutually exclusive"},
      {{"--format", "xml"}, "argument for --format must be pretty, terse, json or junit (was xml)"},
      {{"--color", "blue"}, "argument for --color must be auto, always, or never (was blue)"},
  };
  for (const UsageErrorCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const ProcessResult run = run_check_program(c.args);
    EXPECT_EQ(run.exit_status, 101);
    EXPECT_EQ(run.err, "error: " + c.message + "\n");
    EXPECT_EQ(run.out.find("running"), std::string::npos);
  }
}

TEST(CheckProgram, HelpPrintsUsageAndRunsNothing) {
  const ProcessResult run = run_check_program({"--help"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(
      run.out.find(std::string("Usage: ") + KELVANE_CHECK_PROGRAM + " [OPTIONS] [FILTERS...]"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("KELVANE_TEST_THREADS"), std::string::npos);
  EXPECT_EQ(run.out.find("\nrunning "), std::string::npos);
}

TEST(CheckProgram, ThreadCountVariableMustBeAPositiveInteger) {
  const ProcessResult run = run_check_program({}, {{"KELVANE_TEST_THREADS", "zero"}});
  EXPECT_EQ(run.exit_status, 101);
  EXPECT_NE((run.out + run.err).find("KELVANE_TEST_THREADS"), std::string::npos);
  EXPECT_NE((run.out + run.err).find("zero"), std::string::npos);
  EXPECT_EQ(run.out.find("running"), std::string::npos);
}

TEST(CheckProgram, SkipNoticeShowsOnlyWithShowOutputOrNoCapture) {
  const ProcessResult captured = run_check_program({kParity});
  EXPECT_EQ(captured.out.find("Skipping"), std::string::npos);

  const ProcessResult shown = run_check_program({kParity, "--show-output"});
  EXPECT_EQ(shown.exit_status, 0);
  EXPECT_NE(shown.out.find("\nsuccesses:\n\n---- all_retail_string_tables_parse stdout ----\n"
                           "Skipping StringTable parity: KELVANE_LOCAL_DAT not set\n\n"
                           "\nsuccesses:\n    all_retail_string_tables_parse\n"),
            std::string::npos)
      << shown.out;

  const ProcessResult uncaptured = run_check_program({kParity, "--no-capture"});
  EXPECT_NE(uncaptured.out.find("Skipping StringTable parity: KELVANE_LOCAL_DAT not set\n"),
            std::string::npos);
}

}  // namespace
}  // namespace kelvane_dat::e2e
