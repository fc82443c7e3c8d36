// Choosing what runs: filters, listing, command-line errors and the environment.

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "case_runner_harness.hpp"

namespace {

using namespace case_runner_testing;
using namespace std::chrono_literals;

// --- Selection ----------------------------------------------------------------------------

TEST(Selection, FilterThatMatchesNothing) {
  Harness harness;
  const auto result = harness.run(kFour, {"nothing_has_this_name"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(masked(result.out),
            "\nrunning 0 tests\n\ntest result: ok. 0 passed; 0 failed; 0 ignored; 0 measured; 4 "
            "filtered out; finished in T\n\n");
}

TEST(Selection, SubstringExactSkipAndIgnored) {
  Harness harness;
  EXPECT_NE(harness.run(kFour, {"motion"}).out.find("\nrunning 3 tests\n"), std::string::npos);
  EXPECT_NE(harness.run(kFour, {"motion"}).out.find("1 filtered out"), std::string::npos);
  EXPECT_NE(harness.run(kFour, {"motion", "--exact"}).out.find("\nrunning 0 tests\n"),
            std::string::npos);
  EXPECT_NE(harness.run(kFour, {"--exact", "all_retail_string_tables_parse"})
                .out.find("\nrunning 1 test\n"),
            std::string::npos);
  const auto skipped = harness.run(kFour, {"--skip", "table_is"});
  EXPECT_NE(skipped.out.find("\nrunning 3 tests\n"), std::string::npos);
  EXPECT_NE(skipped.out.find("3 passed; 0 failed; 0 ignored; 0 measured; 1 filtered out"),
            std::string::npos);
  EXPECT_NE(harness.run(kFour, {"--skip", "table_is", "--exact"}).out.find("\nrunning 4 tests\n"),
            std::string::npos);
  EXPECT_NE(harness.run(kFour, {"motion", "all_retail"}).out.find("\nrunning 4 tests\n"),
            std::string::npos);
  const auto ignored = harness.run(kFour, {"--ignored"});
  EXPECT_NE(ignored.out.find("0 passed; 0 failed; 0 ignored; 0 measured; 4 filtered out"),
            std::string::npos);
}

TEST(Selection, SelectCasesKeepsRegistryOrder) {
  case_runner::Options options;
  options.filters = {"lookup", "all_"};
  const auto selection = case_runner::select_cases(kFour, options);
  ASSERT_EQ(selection.cases.size(), 2u);
  EXPECT_EQ(selection.cases[0].descriptor, &kFour[0]);
  EXPECT_EQ(selection.cases[1].descriptor, &kFour[2]);
  EXPECT_EQ(selection.filtered_out, 2u);
}

// --- Listing ------------------------------------------------------------------------------

TEST(Listing, ListsSelectedCasesAndCounts) {
  Harness harness;
  const auto result = harness.run(kFour, {"--list", "motion"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "common::motion_command_names::tests::classify_known_commands: test\n"
            "common::motion_command_names::tests::lookup_known_commands: test\n"
            "common::motion_command_names::tests::table_is_strictly_sorted_for_binary_search: "
            "test\n"
            "\n3 tests, 0 benchmarks\n");
  EXPECT_EQ(harness.run(kFour, {"--list", "--exact", "all_retail_string_tables_parse"}).out,
            "all_retail_string_tables_parse: test\n\n1 test, 0 benchmarks\n");
  EXPECT_EQ(harness.run(kFour, {"--list", "zzz"}).out, "0 tests, 0 benchmarks\n");
}

TEST(Listing, TerseListingHasNoCounts) {
  Harness harness;
  EXPECT_EQ(harness.run(kFour, {"--list", "-q", "all_"}).out,
            "all_retail_string_tables_parse: test\n");
}

// --- Options, environment and errors ----------------------------------------------------------

TEST(CommandLine, ErrorsGoToStandardErrorWithStatus101) {
  Harness harness;
  const struct {
    std::vector<std::string> args;
    std::string message;
  } kCases[] = {
      {{"--test-threads", "0"}, "argument for --test-threads must not be 0"},
      {{"--test-threads", "x"},
       "argument for --test-threads must be a number > 0 (error: invalid digit found in string)"},
      {{"--bogus"}, "Unrecognized option: 'bogus'"},
      {{"--logfile"}, "Argument to option 'logfile' missing"},
      {{"--exact=yes"}, "Option 'exact' does not take an argument"},
      {{"--exact", "--exact"}, "Option 'exact' given more than once"},
      {{"--format", "xml"}, "argument for --format must be pretty, terse, json or junit (was xml)"},
      {{"--color", "blue"}, "argument for --color must be auto, always, or never (was blue)"},
      {{"--ignored", "--include-ignored"},
       "the options --include-ignored and --ignored are mutually exclusive"},
      {{"--fail-fast"}, "The \"fail-fast\" flag is only accepted with -Z unstable-options"},
      {{"--format", "json"}, "The \"json\" format is only accepted with -Z unstable-options"},
      {{"-Z", "unstable-options"},
       "the option `Z` is only accepted when KELVANE_UNSTABLE_OPTIONS=1 is set"},
  };
  for (const auto& [args, message] : kCases) {
    SCOPED_TRACE(message);
    const auto result = harness.run(kFour, args);
    EXPECT_EQ(result.status, 101);
    EXPECT_EQ(result.out, "") << "nothing runs";
    EXPECT_EQ(result.err, "error: " + message + "\n");
  }
}

TEST(CommandLine, HelpPrintsUsageAndExitsZero) {
  Harness harness;
  const auto result = harness.run(kFour, {"--help"});
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.out.starts_with("Usage: string_table_parity [OPTIONS] [FILTERS...]\n"));
  EXPECT_EQ(result.out.find("\nrunning "), std::string::npos);
  EXPECT_EQ(harness.run(kFour, {"-h"}).out, result.out);
}

TEST(Environment, ThreadCountVariable) {
  constexpr auto kRegistry = case_runner::make_registry({make_case("chatty", &chatty_case)});
  Harness harness;
  harness.processors = 8;
  harness.env["KELVANE_TEST_THREADS"] = "1";
  const auto serial = harness.run(kRegistry, {"--no-capture"});
  EXPECT_NE(serial.out.find("test chatty ... hello from the case\nok\n"), std::string::npos)
      << serial.out;
  // --test-threads wins over the variable.
  const auto parallel = harness.run(kRegistry, {"--no-capture", "--test-threads", "2"});
  EXPECT_NE(parallel.out.find("hello from the case\ntest chatty ... ok\n"), std::string::npos)
      << parallel.out;
}

TEST(Environment, BadThreadCountVariableIsFatal) {
  Harness harness;
  for (const std::string value : {"0", "abc", "", "-2"}) {
    harness.env["KELVANE_TEST_THREADS"] = value;
    const auto result = harness.run(kFour, {});
    EXPECT_EQ(result.status, 101);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "error: KELVANE_TEST_THREADS is `" + value + "`, should be a positive integer.\n");
    EXPECT_EQ(harness.run(kFour, {"--test-threads", "1"}).status, 0) << "unused with the option";
  }
}

TEST(Environment, ProcessorCountDecidesWithoutOptionOrVariable) {
  constexpr auto kRegistry = case_runner::make_registry({make_case("chatty", &chatty_case)});
  Harness harness;
  harness.processors = 1;
  EXPECT_NE(harness.run(kRegistry, {"--no-capture"}).out.find("test chatty ... hello"),
            std::string::npos);
  harness.processors = std::nullopt;  // unknown: one thread
  EXPECT_NE(harness.run(kRegistry, {"--no-capture"}).out.find("test chatty ... hello"),
            std::string::npos);
  harness.processors = 3;
  EXPECT_NE(harness.run(kRegistry, {"--no-capture"}).out.find("hello from the case\ntest chatty"),
            std::string::npos);
}

TEST(Environment, NoCaptureVariable) {
  constexpr auto kRegistry = case_runner::make_registry({make_case("chatty", &chatty_case)});
  Harness harness;
  harness.env["KELVANE_TEST_NOCAPTURE"] = "1";
  EXPECT_NE(harness.run(kRegistry, {}).out.find("hello from the case"), std::string::npos);
  harness.env["KELVANE_TEST_NOCAPTURE"] = "0";
  EXPECT_EQ(harness.run(kRegistry, {}).out.find("hello from the case"), std::string::npos);
}

TEST(Environment, ResolveConcurrency) {
  std::ostringstream sink;
  case_runner::RunnerIo io{.out = sink, .err = sink};
  case_runner::Options options;
  io.available_parallelism = [] { return std::optional<std::size_t>(6); };
  EXPECT_EQ(case_runner::resolve_concurrency(options, io), 6u);
  io.env = [](std::string_view) { return std::optional<std::string>("+3"); };
  EXPECT_EQ(case_runner::resolve_concurrency(options, io), 3u);
  options.test_threads = 5;
  EXPECT_EQ(case_runner::resolve_concurrency(options, io), 5u);
  // The real processor count is at least one.
  case_runner::RunnerIo os_io{.out = sink, .err = sink};
  EXPECT_GE(case_runner::resolve_concurrency(case_runner::Options{}, os_io).value_or(0), 1u);
}

}  // namespace
