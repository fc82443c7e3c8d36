// How results are shown: colour, terse, output errors, log file, experimental formats.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "case_runner_harness.hpp"

namespace {

using namespace case_runner_testing;
using namespace std::chrono_literals;

// --- Colour ------------------------------------------------------------------------------

TEST(Color, AutoColorsOnlyWithCaptureOnATerminal) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_passes", &passing_case),
      make_case("b_fails", &failing_case),
      ignored_case(make_case("c_ignored", &passing_case)),
  });
  Harness harness;
  harness.terminal = true;
  const auto colored = harness.run(kRegistry, {"--test-threads", "1"});
  EXPECT_NE(colored.out.find("test a_passes ... \x1b[32mok\x1b[0m\n"), std::string::npos);
  EXPECT_NE(colored.out.find("test b_fails ... \x1b[31mFAILED\x1b[0m\n"), std::string::npos);
  EXPECT_NE(colored.out.find("test c_ignored ... \x1b[33mignored\x1b[0m\n"), std::string::npos);
  EXPECT_NE(colored.out.find("\ntest result: \x1b[31mFAILED\x1b[0m. 1 passed"), std::string::npos);

  EXPECT_EQ(harness.run(kRegistry, {"--no-capture"}).out.find('\x1b'), std::string::npos);
  EXPECT_EQ(harness.run(kRegistry, {"--color", "never"}).out.find('\x1b'), std::string::npos);
  harness.terminal = false;
  EXPECT_EQ(harness.run(kRegistry, {}).out.find('\x1b'), std::string::npos);
  EXPECT_NE(harness.run(kRegistry, {"--color", "always"}).out.find("\x1b[32mok"),
            std::string::npos);
}

// --- Terse ------------------------------------------------------------------------------

TEST(Terse, OneCharacterPerCaseThenFailuresAndSummary) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_passes", &passing_case),
      make_case("b_fails", &plain_failing_case),
      ignored_case(make_case("c_ignored", &passing_case)),
  });
  Harness harness;
  const auto result = harness.run(kRegistry, {"-q", "--test-threads", "1"});
  EXPECT_EQ(result.status, 101);
  const std::string out = masked(result.out);
  EXPECT_TRUE(out.starts_with("\nrunning 3 tests\n.Fi\nfailures:\n\n---- b_fails stdout ----\n"))
      << out;
  EXPECT_TRUE(
      out.ends_with("\nfailures:\n    b_fails\n\ntest result: FAILED. 1 passed; 1 "
                    "failed; 1 ignored; 0 measured; 0 filtered out; finished in T\n\n"))
      << out;
}

TEST(Terse, ProgressEndsALineEvery88Results) {
  std::vector<std::string> names;
  for (int i = 0; i < 90; ++i) {
    char name[24];  // room for any int, which -Wformat-truncation asks for at -O1
    std::snprintf(name, sizeof name, "case_%03d", i);
    names.emplace_back(name);
  }
  std::vector<CaseDescriptor> registry;
  for (const std::string& name : names) registry.push_back(make_case(name, &passing_case));
  Harness harness;
  const auto result = harness.run(registry, {"--format", "terse"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(masked(result.out), "\nrunning 90 tests\n" + std::string(88, '.') + " 88/90\n..\n" +
                                    "test result: ok. 90 passed; 0 failed; 0 ignored; 0 measured; "
                                    "0 filtered out; finished in T\n\n");
}

// --- Output errors and the log file ----------------------------------------------------------

TEST(OutputErrors, AFailedWriteEndsTheRunWithStatus101) {
  Harness harness;
  harness.break_stdout = true;
  const auto result = harness.run(kFour, {});
  EXPECT_EQ(result.status, 101);
  EXPECT_EQ(result.err, "error: io error when listing tests: failed to write the report\n");
  const auto listing = harness.run(kFour, {"--list"});
  EXPECT_EQ(listing.status, 101);
}

TEST(Logfile, RecordsEveryResult) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_passes", &passing_case),
      make_case("b_fails", &failing_case),
      ignored_case(make_case("c_ignored", &passing_case), "later"),
  });
  const auto path = std::filesystem::temp_directory_path() /
                    ("case_runner_log_" + std::to_string(::getpid()) + ".txt");
  Harness harness;
  harness.run(kRegistry, {"--logfile", path.string(), "--test-threads", "1"});
  std::stringstream contents;
  contents << std::ifstream(path).rdbuf();  // closed again before the file is removed
  EXPECT_EQ(contents.str(), "ok a_passes\nfailed b_fails\nignored: later c_ignored\n");
  std::filesystem::remove(path);

  const auto bad = harness.run(kRegistry, {"--logfile", "/nonexistent-dir/log.txt"});
  EXPECT_EQ(bad.status, 101);
  EXPECT_TRUE(bad.err.starts_with("error: io error when listing tests: /nonexistent-dir/log.txt: "))
      << bad.err;
}

// --- Experimental options, once unlocked ------------------------------------------------------

struct Unlocked : Harness {
  Unlocked() { env["KELVANE_UNSTABLE_OPTIONS"] = "1"; }
};

TEST(Experimental, FailFastStopsStartingCases) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_fails", &plain_failing_case),
      make_case("b_passes", &passing_case),
  });
  Unlocked harness;
  const auto result =
      harness.run(kRegistry, {"-Z", "unstable-options", "--fail-fast", "--test-threads", "1"});
  EXPECT_EQ(result.status, 101);
  EXPECT_EQ(result.out.find("b_passes"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("0 passed; 1 failed;"), std::string::npos);
}

TEST(Experimental, ShuffleSeedIsAnnouncedAndRepeatable) {
  Unlocked harness;
  const std::vector<std::string> args{"-Zunstable-options", "--shuffle-seed", "7", "--test-threads",
                                      "1"};
  const auto first = harness.run(kFour, args);
  EXPECT_NE(first.out.find("\nrunning 4 tests (shuffle seed: 7)\n"), std::string::npos);
  EXPECT_EQ(masked(harness.run(kFour, args).out), masked(first.out));
}

TEST(Experimental, ReportTimeAppendsTheDuration) {
  constexpr auto kRegistry = case_runner::make_registry({make_case("a", &passing_case)});
  Unlocked harness;
  const auto result = harness.run(kRegistry, {"-Z", "unstable-options", "--report-time"});
  EXPECT_NE(mask_numbers(result.out, "ok <", "s>\n", "N").find("\ntest a ... ok <Ns>\n"),
            std::string::npos)
      << result.out;
  const std::size_t open = result.out.find("ok <");
  EXPECT_EQ(result.out.find("s>", open) - result.out.find('.', open), 4u) << "three decimals";
}

TEST(Experimental, EnsureTimeFailsCasesOverTheLimit) {
  constexpr auto kRegistry = case_runner::make_registry({make_case("slow", &slow_case)});
  Unlocked harness;
  harness.notice = 50ms;
  const auto result =
      harness.run(kRegistry, {"-Z", "unstable-options", "--ensure-time", "--test-threads", "1"});
  EXPECT_EQ(result.status, 101);
  EXPECT_NE(result.out.find("test slow ... FAILED (time limit exceeded) <"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("\nfailures (time limit exceeded):\n"), std::string::npos);
}

TEST(Experimental, ExcludeShouldPanicDropsExpectedFailures) {
  constexpr auto kRegistry = case_runner::make_registry({
      expecting(make_case("a_expects", &failing_case), ExpectedFailure::any()),
      make_case("b_passes", &passing_case),
  });
  Unlocked harness;
  const auto result = harness.run(kRegistry, {"-Z", "unstable-options", "--exclude-should-panic"});
  EXPECT_NE(result.out.find("1 passed; 0 failed; 0 ignored; 0 measured; 1 filtered out"),
            std::string::npos);
}

TEST(Experimental, JsonEvents) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_passes", &passing_case),
      make_case("b_fails", &plain_failing_case),
  });
  Unlocked harness;
  const auto result =
      harness.run(kRegistry, {"-Z", "unstable-options", "--format", "json", "--test-threads", "1"});
  EXPECT_EQ(result.status, 101);
  const std::string out = masked(result.out);
  EXPECT_TRUE(
      out.starts_with("{ \"type\": \"suite\", \"event\": \"started\", \"test_count\": 2 }\n"
                      "{ \"type\": \"test\", \"event\": \"started\", \"name\": \"a_passes\" }\n"
                      "{ \"type\": \"test\", \"name\": \"a_passes\", \"event\": \"ok\" }\n"))
      << out;
  EXPECT_NE(out.find("{ \"type\": \"test\", \"name\": \"b_fails\", \"event\": \"failed\", "
                     "\"stdout\": \"before the failure\\n\\nthread 'b_fails' (TID) panicked at "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("{ \"type\": \"suite\", \"event\": \"failed\", \"passed\": 1, \"failed\": 1, "
                     "\"ignored\": 0, \"measured\": 0, \"filtered_out\": 0, \"exec_time\": "),
            std::string::npos)
      << out;

  const auto listing =
      harness.run(kRegistry, {"-Z", "unstable-options", "--format=json", "--list"});
  EXPECT_NE(listing.out.find("{ \"type\": \"test\", \"event\": \"discovered\", \"name\": "
                             "\"a_passes\", \"ignore\": false, \"ignore_message\": \"\", "
                             "\"source_path\": \"crates/kelvane-dat/tests/unit/fixture_cases\", "
                             "\"start_line\": 10, \"start_col\": 4, \"end_line\": 10, "
                             "\"end_col\": 12 }\n"),
            std::string::npos)
      << listing.out;
  EXPECT_TRUE(
      listing.out.ends_with("{ \"type\": \"suite\", \"event\": \"completed\", \"tests\": 2, "
                            "\"benchmarks\": 0, \"total\": 2, \"ignored\": 0 }\n"));
}

TEST(Experimental, JunitDocument) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("tests::a_passes", &passing_case),
      make_case("tests::b_fails", &plain_failing_case),
  });
  Unlocked harness;
  const auto result = harness.run(kRegistry, {"-Z", "unstable-options", "--format", "junit"});
  EXPECT_EQ(result.status, 101);
  EXPECT_TRUE(result.out.starts_with(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><testsuites><testsuite name=\"test\" "
      "package=\"test\" id=\"0\" errors=\"0\" failures=\"1\" tests=\"2\" skipped=\"0\" >"))
      << result.out;
  EXPECT_NE(result.out.find("<testcase classname=\"tests\" name=\"a_passes\" time=\""),
            std::string::npos);
  EXPECT_NE(result.out.find("<failure type=\"assert\"/><system-out>before the failure\n"),
            std::string::npos);
  EXPECT_TRUE(result.out.ends_with("<system-out/><system-err/></testsuite></testsuites>\n"));
}

}  // namespace
