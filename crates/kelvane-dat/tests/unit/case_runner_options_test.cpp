#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "case_runner/options.hpp"

namespace {

using case_runner::ColorChoice;
using case_runner::Options;
using case_runner::OutputFormat;
using case_runner::RunIgnored;

struct Parse {
  std::map<std::string, std::string, std::less<>> env;

  std::expected<Options, std::string> operator()(std::vector<std::string_view> args) const {
    args.insert(args.begin(), "prog");
    return case_runner::parse_options(args, [this](std::string_view name) {
      const auto found = env.find(name);
      return found == env.end() ? std::nullopt : std::optional<std::string>(found->second);
    });
  }
};

std::string error_of(const std::expected<Options, std::string>& parsed) {
  EXPECT_FALSE(parsed.has_value());
  return parsed.has_value() ? std::string("(parsed)") : parsed.error();
}

TEST(ParseOptions, Defaults) {
  const auto parsed = Parse{}({});
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->program, "prog");
  EXPECT_FALSE(parsed->help);
  EXPECT_TRUE(parsed->filters.empty());
  EXPECT_FALSE(parsed->exact);
  EXPECT_EQ(parsed->run_ignored, RunIgnored::No);
  EXPECT_FALSE(parsed->test_threads.has_value());
  EXPECT_FALSE(parsed->no_capture);
  EXPECT_EQ(parsed->format, OutputFormat::Pretty);
  EXPECT_EQ(parsed->color, ColorChoice::Auto);
  EXPECT_TRUE(parsed->run_cases);
  EXPECT_FALSE(parsed->unstable);
}

TEST(ParseOptions, FiltersAndFlagsInAnyOrder) {
  const auto parsed = Parse{}({"motion", "--exact", "--skip", "a", "table", "--skip=b",
                               "--show-output", "--list", "--", "--not-an-option"});
  ASSERT_TRUE(parsed.has_value()) << parsed.error();
  EXPECT_EQ(parsed->filters, (std::vector<std::string>{"motion", "table", "--not-an-option"}));
  EXPECT_EQ(parsed->skip, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(parsed->exact);
  EXPECT_TRUE(parsed->show_output);
  EXPECT_TRUE(parsed->list);
}

TEST(ParseOptions, LoneDashIsAFilter) {
  const auto parsed = Parse{}({"-"});
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->filters, std::vector<std::string>{"-"});
}

TEST(ParseOptions, ValuesAndAliases) {
  const auto parsed = Parse{}({"--test-threads", "3", "--nocapture", "-q", "--color=never"});
  ASSERT_TRUE(parsed.has_value()) << parsed.error();
  EXPECT_EQ(parsed->test_threads, 3u);
  EXPECT_TRUE(parsed->no_capture);
  EXPECT_EQ(parsed->format, OutputFormat::Terse);
  EXPECT_EQ(parsed->color, ColorChoice::Never);
  EXPECT_TRUE(Parse{}({"--no-capture"})->no_capture);
  EXPECT_EQ(Parse{}({"--quiet"})->format, OutputFormat::Terse);
  EXPECT_EQ(Parse{}({"--format", "terse"})->format, OutputFormat::Terse);
  EXPECT_EQ(Parse{}({"-q", "--format", "pretty"})->format, OutputFormat::Pretty);
  EXPECT_EQ(Parse{}({"--color", "always"})->color, ColorChoice::Always);
  EXPECT_EQ(Parse{}({"--test-threads=+7"})->test_threads, 7u);
  EXPECT_EQ(Parse{}({"--ignored"})->run_ignored, RunIgnored::Only);
  EXPECT_EQ(Parse{}({"--include-ignored"})->run_ignored, RunIgnored::Yes);
  EXPECT_EQ(Parse{}({"--logfile", "/tmp/x"})->logfile, "/tmp/x");
}

TEST(ParseOptions, BenchWithoutTestRunsNoCases) {
  EXPECT_FALSE(Parse{}({"--bench"})->run_cases);
  EXPECT_TRUE(Parse{}({"--bench", "--test"})->run_cases);
  EXPECT_TRUE(Parse{}({"--test"})->run_cases);
}

TEST(ParseOptions, HelpWinsOverLaterMeaningErrors) {
  EXPECT_TRUE(Parse{}({"-h"})->help);
  EXPECT_TRUE(Parse{}({"--help", "--test-threads", "0"})->help);
  EXPECT_EQ(error_of(Parse{}({"--help", "--bogus"})), "Unrecognized option: 'bogus'");
}

TEST(ParseOptions, ShapeErrors) {
  const Parse parse;
  EXPECT_EQ(error_of(parse({"--bogus"})), "Unrecognized option: 'bogus'");
  EXPECT_EQ(error_of(parse({"-x"})), "Unrecognized option: 'x'");
  EXPECT_EQ(error_of(parse({"-qx"})), "Unrecognized option: 'x'");
  EXPECT_EQ(error_of(parse({"--test-threads"})), "Argument to option 'test-threads' missing");
  EXPECT_EQ(error_of(parse({"--skip"})), "Argument to option 'skip' missing");
  EXPECT_EQ(error_of(parse({"-Z"})), "Argument to option 'Z' missing");
  EXPECT_EQ(error_of(parse({"--list=x"})), "Option 'list' does not take an argument");
  EXPECT_EQ(error_of(parse({"--list", "--list"})), "Option 'list' given more than once");
  EXPECT_EQ(error_of(parse({"-q", "--quiet"})), "Option 'quiet' given more than once");
  EXPECT_EQ(error_of(parse({"--test-threads", "1", "--test-threads=2"})),
            "Option 'test-threads' given more than once");
  EXPECT_EQ(error_of(parse({"--format", "a", "--format", "b"})),
            "Option 'format' given more than once");
}

TEST(ParseOptions, OneLetterLongNameMeansTheShortOption) {
  EXPECT_EQ(Parse{}({"--q"})->format, OutputFormat::Terse);
  EXPECT_EQ(error_of(Parse{}({"--x"})), "Unrecognized option: 'x'");
}

TEST(ParseOptions, AnArgumentIsTakenEvenIfItLooksLikeAnOption) {
  EXPECT_EQ(Parse{}({"--skip", "--list"})->skip, std::vector<std::string>{"--list"});
  EXPECT_EQ(error_of(Parse{}({"--test-threads", "--list"})),
            "argument for --test-threads must be a number > 0 (error: invalid digit found in "
            "string)");
}

TEST(ParseOptions, TestThreadsErrors) {
  const Parse parse;
  EXPECT_EQ(error_of(parse({"--test-threads", "0"})), "argument for --test-threads must not be 0");
  EXPECT_EQ(error_of(parse({"--test-threads", "+0"})), "argument for --test-threads must not be 0");
  EXPECT_EQ(error_of(parse({"--test-threads", "abc"})),
            "argument for --test-threads must be a number > 0 (error: invalid digit found in "
            "string)");
  EXPECT_EQ(error_of(parse({"--test-threads", "-1"})),
            "argument for --test-threads must be a number > 0 (error: invalid digit found in "
            "string)");
  EXPECT_EQ(error_of(parse({"--test-threads", "+"})),
            "argument for --test-threads must be a number > 0 (error: invalid digit found in "
            "string)");
  EXPECT_EQ(error_of(parse({"--test-threads", " 2"})),
            "argument for --test-threads must be a number > 0 (error: invalid digit found in "
            "string)");
  EXPECT_EQ(error_of(parse({"--test-threads="})),
            "argument for --test-threads must be a number > 0 (error: cannot parse integer "
            "from empty string)");
  EXPECT_EQ(error_of(parse({"--test-threads", "18446744073709551616"})),
            "argument for --test-threads must be a number > 0 (error: number too large to fit "
            "in target type)");
  EXPECT_EQ(parse({"--test-threads", "18446744073709551615"})->test_threads, 18446744073709551615u);
}

TEST(ParseOptions, FormatColorAndIgnoredErrors) {
  const Parse parse;
  EXPECT_EQ(error_of(parse({"--format", "xml"})),
            "argument for --format must be pretty, terse, json or junit (was xml)");
  EXPECT_EQ(error_of(parse({"--color", "sometimes"})),
            "argument for --color must be auto, always, or never (was sometimes)");
  EXPECT_EQ(error_of(parse({"--ignored", "--include-ignored"})),
            "the options --include-ignored and --ignored are mutually exclusive");
}

TEST(ParseOptions, ExperimentalOptionsAreRefusedWhenLocked) {
  const Parse parse;
  for (const std::string_view flag : {"fail-fast", "report-time", "ensure-time", "shuffle",
                                      "exclude-should-panic", "force-run-in-process"}) {
    const std::string option = "--" + std::string(flag);
    EXPECT_EQ(error_of(parse({option})),
              "The \"" + std::string(flag) + "\" flag is only accepted with -Z unstable-options");
  }
  EXPECT_EQ(error_of(parse({"--shuffle-seed", "3"})),
            "The \"shuffle-seed\" option is only accepted with -Z unstable-options");
  EXPECT_EQ(error_of(parse({"--format", "json"})),
            "The \"json\" format is only accepted with -Z unstable-options");
  EXPECT_EQ(error_of(parse({"--format=junit"})),
            "The \"junit\" format is only accepted with -Z unstable-options");
  EXPECT_EQ(error_of(parse({"-Z", "unstable-options"})),
            "the option `Z` is only accepted when KELVANE_UNSTABLE_OPTIONS=1 is set");
  EXPECT_EQ(error_of(parse({"-Zunstable-options", "--fail-fast"})),
            "the option `Z` is only accepted when KELVANE_UNSTABLE_OPTIONS=1 is set");
}

TEST(ParseOptions, UnlockingNeedsBothTheVariableAndZ) {
  Parse parse;
  parse.env["KELVANE_UNSTABLE_OPTIONS"] = "1";
  EXPECT_EQ(error_of(parse({"--fail-fast"})),
            "The \"fail-fast\" flag is only accepted with -Z unstable-options");
  EXPECT_EQ(error_of(parse({"-Z", "other"})), "Unrecognized option to `Z`");
  const auto parsed = parse({"-Zunstable-options", "--fail-fast", "--report-time", "--shuffle-seed",
                             "42", "--format", "json", "--exclude-should-panic"});
  ASSERT_TRUE(parsed.has_value()) << parsed.error();
  EXPECT_TRUE(parsed->unstable);
  EXPECT_TRUE(parsed->fail_fast);
  EXPECT_TRUE(parsed->report_time);
  EXPECT_EQ(parsed->shuffle_seed, 42u);
  EXPECT_EQ(parsed->format, OutputFormat::Json);
  EXPECT_TRUE(parsed->exclude_expected_failures);
  EXPECT_EQ(error_of(parse({"-Z", "unstable-options", "--shuffle-seed", "x"})),
            "argument for --shuffle-seed must be a number (error: invalid digit found in string)");
  parse.env["KELVANE_UNSTABLE_OPTIONS"] = "yes";
  EXPECT_FALSE(parse({"-Z", "unstable-options"}).has_value());
}

TEST(ParseOptions, ShuffleVariablesApplyOnlyWhenUnlocked) {
  Parse parse;
  parse.env["KELVANE_TEST_SHUFFLE"] = "1";
  parse.env["KELVANE_TEST_SHUFFLE_SEED"] = "9";
  EXPECT_FALSE(parse({})->shuffle);
  EXPECT_FALSE(parse({})->shuffle_seed.has_value());
  parse.env["KELVANE_UNSTABLE_OPTIONS"] = "1";
  const auto parsed = parse({"-Z", "unstable-options"});
  EXPECT_TRUE(parsed->shuffle);
  EXPECT_EQ(parsed->shuffle_seed, 9u);
  parse.env["KELVANE_TEST_SHUFFLE_SEED"] = "nine";
  EXPECT_EQ(error_of(parse({"-Z", "unstable-options"})),
            "KELVANE_TEST_SHUFFLE_SEED is `nine`, should be a number.");
}

TEST(ParseOptions, NoCaptureVariable) {
  Parse parse;
  parse.env["KELVANE_TEST_NOCAPTURE"] = "0";
  EXPECT_FALSE(parse({})->no_capture);
  parse.env["KELVANE_TEST_NOCAPTURE"] = "";
  EXPECT_TRUE(parse({})->no_capture);
  parse.env["KELVANE_TEST_NOCAPTURE"] = "yes";
  EXPECT_TRUE(parse({})->no_capture);
}

TEST(UsageText, StartsWithTheUsageLineAndDocumentsTheEnvironment) {
  const std::string text = case_runner::usage_text("/bin/string_table_parity");
  EXPECT_TRUE(
      text.starts_with("Usage: /bin/string_table_parity [OPTIONS] [FILTERS...]\n\nOptions:\n"))
      << text;
  for (const std::string_view needle :
       {"        --test          Run tests and not benchmarks\n",
        "        --bench         Run benchmarks instead of tests\n",
        "        --logfile PATH  Write logs to the specified file (deprecated)\n",
        "    -h, --help          Display this message\n",
        "        --test-threads n_threads\n                        Number of threads",
        "    -Z unstable-options Enable experimental flags", "KELVANE_TEST_THREADS",
        "KELVANE_TEST_NOCAPTURE", "KELVANE_BACKTRACE", "KELVANE_UNSTABLE_OPTIONS"}) {
    EXPECT_NE(text.find(needle), std::string::npos) << needle;
  }
  EXPECT_EQ(text.find(" \n"), std::string::npos) << "no trailing blanks";
}

}  // namespace
