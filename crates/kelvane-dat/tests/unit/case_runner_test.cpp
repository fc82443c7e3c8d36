// Running cases: threads, capture, failure reports, ignored and expected failures.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_runner_harness.hpp"

namespace {

using namespace case_runner_testing;
using namespace std::chrono_literals;

// --- Registry --------------------------------------------------------------------------

TEST(Registry, EmptyRegistryRunsNothingAndSucceeds) {
  constexpr auto kEmpty = case_runner::make_registry({});
  static_assert(kEmpty.empty());
  Harness harness;
  const auto result = harness.run(kEmpty, {});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(masked(result.out),
            "\nrunning 0 tests\n\ntest result: ok. 0 passed; 0 failed; 0 ignored; 0 measured; 0 "
            "filtered out; finished in T\n\n");
  EXPECT_EQ(result.err, "");
}

TEST(Registry, KeepsDescriptorsInOrder) {
  static_assert(kFour.size() == 4);
  static_assert(kFour[0].name == "all_retail_string_tables_parse");
  static_assert(kFour[0].start_line == 17);
  static_assert(kFour[0].end_col == 34);
}

// --- Running and reporting ----------------------------------------------------------------

TEST(RunCases, AllPassingOnOneThread) {
  Harness harness;
  const auto result = harness.run(kFour, {"--test-threads", "1"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(masked(result.out),
            "\nrunning 4 tests\n"
            "test all_retail_string_tables_parse ... ok\n"
            "test common::motion_command_names::tests::classify_known_commands ... ok\n"
            "test common::motion_command_names::tests::lookup_known_commands ... ok\n"
            "test common::motion_command_names::tests::table_is_strictly_sorted_for_binary_search"
            " ... ok\n"
            "\ntest result: ok. 4 passed; 0 failed; 0 ignored; 0 measured; 0 filtered out; "
            "finished in T\n\n");
}

TEST(RunCases, FailureIsReportedWithCapturedOutputAndLocation) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_passes", &passing_case),
      make_case("b_fails", &failing_case),
      make_case("c_prints", &printing_case),
  });
  Harness harness;
  const auto result = harness.run(kRegistry, {"--test-threads=1"});
  EXPECT_EQ(result.status, 101);
  EXPECT_EQ(masked(result.out),
            "\nrunning 3 tests\n"
            "test a_passes ... ok\n"
            "test b_fails ... FAILED\n"
            "test c_prints ... ok\n"
            "\nfailures:\n"
            "\n---- b_fails stdout ----\n"
            "\nthread 'b_fails' (TID) panicked at " +
                location_of_check() +
                ":\n"
                "assertion `left == right` failed: sum is off\n  left: 2\n right: 3\n" +
                std::string(kNote) +
                "\n"
                "\nfailures:\n"
                "    b_fails\n"
                "\ntest result: FAILED. 2 passed; 1 failed; 0 ignored; 0 measured; 0 filtered "
                "out; finished in T\n\n");
  EXPECT_EQ(result.err, "");
}

TEST(RunCases, ThreadIdIsTheCaseThreadsKernelId) {
  constexpr auto kRegistry = case_runner::make_registry({make_case("fails", &failing_case)});
  Harness harness;
  const auto result = harness.run(kRegistry, {});
  const std::string id = first_thread_id(result.out);
  ASSERT_FALSE(id.empty()) << result.out;
  EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos) << id;
  EXPECT_NE(id, std::to_string(kelvane_platform::current_thread_id())) << "not the main thread";
}

TEST(RunCases, BacktraceNoteFollowsOnlyTheFirstFailure) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_fails", &failing_case),
      make_case("b_fails", &plain_failing_case),
  });
  Harness harness;
  const auto result = harness.run(kRegistry, {"--test-threads", "1"});
  EXPECT_EQ(result.status, 101);
  const std::string out = masked(result.out);
  EXPECT_NE(out.find("sum is off\n  left: 2\n right: 3\n" + std::string(kNote)), std::string::npos)
      << out;
  EXPECT_NE(out.find("---- b_fails stdout ----\nbefore the failure\n\nthread 'b_fails' (TID) "
                     "panicked at crates/kelvane-dat/tests/unit/case_runner_harness.hpp:"),
            std::string::npos)
      << out;
  EXPECT_NE(
      out.find("did not encounter the known table\n\n\nfailures:\n    a_fails\n    b_fails\n"),
      std::string::npos)
      << out;
  EXPECT_FALSE(harness.note_pending.load());

  // The note is not repeated for a later run in the same process.
  const auto again = harness.run(kRegistry, {"--test-threads", "1"});
  EXPECT_EQ(again.out.find("note: run with"), std::string::npos);
}

TEST(RunCases, BacktraceVariablePrintsTheStackInsteadOfTheNote) {
  if (!kelvane_platform::backtraces_available()) GTEST_SKIP() << "no stack traces in this build";
  constexpr auto kRegistry = case_runner::make_registry({make_case("fails", &failing_case)});
  Harness harness;
  harness.env["KELVANE_BACKTRACE"] = "1";
  const auto result = harness.run(kRegistry, {});
  EXPECT_NE(result.out.find(" right: 3\nstack backtrace:\n   0: "), std::string::npos)
      << result.out;
  // Frames of functions with external linkage are named (static ones show as offsets).
  EXPECT_NE(result.out.find("case_runner::detail::fail_comparison("), std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("note: run with"), std::string::npos);
  EXPECT_TRUE(harness.note_pending.load());

  harness.env["KELVANE_BACKTRACE"] = "0";
  const auto off = harness.run(kRegistry, {});
  EXPECT_EQ(off.out.find("stack backtrace:"), std::string::npos);
  EXPECT_NE(off.out.find(kNote), std::string::npos);
}

TEST(RunCases, ForeignExceptionFailsOnlyThatCase) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_throws", &throwing_case, 30),
      make_case("b_passes", &passing_case),
      make_case("c_throws_int", &throwing_int_case, 40),
  });
  Harness harness;
  const auto result = harness.run(kRegistry, {"--test-threads", "1"});
  EXPECT_EQ(result.status, 101);
  const std::string out = masked(result.out);
  EXPECT_NE(
      out.find("test a_throws ... FAILED\ntest b_passes ... ok\ntest c_throws_int ... FAILED\n"),
      std::string::npos)
      << out;
  EXPECT_NE(out.find("\nthread 'a_throws' (TID) panicked at " + std::string(kFixtureFile) +
                     ":30:4:\ndisk on fire\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\nthread 'c_throws_int' (TID) panicked at " + std::string(kFixtureFile) +
                     ":40:4:\nexception of type `int` escaped the case\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("1 passed; 2 failed;"), std::string::npos);
}

TEST(RunCases, IgnoredCasesAreReportedWithoutRunning) {
  constexpr auto kRegistry = case_runner::make_registry({
      ignored_case(make_case("a_ignored", &failing_case)),
      ignored_case(make_case("b_ignored", &failing_case), "needs the retail archive"),
      make_case("c_passes", &passing_case),
  });
  Harness harness;
  const auto result = harness.run(kRegistry, {"--test-threads", "1"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(masked(result.out),
            "\nrunning 3 tests\n"
            "test a_ignored ... ignored\n"
            "test b_ignored ... ignored, needs the retail archive\n"
            "test c_passes ... ok\n"
            "\ntest result: ok. 1 passed; 0 failed; 2 ignored; 0 measured; 0 filtered out; "
            "finished in T\n\n");
}

TEST(RunCases, IgnoredOnlyAndIncludeIgnored) {
  constexpr auto kRegistry = case_runner::make_registry({
      ignored_case(make_case("a_ignored", &passing_case)),
      make_case("b_passes", &passing_case),
  });
  Harness harness;
  const auto only = harness.run(kRegistry, {"--ignored", "--test-threads", "1"});
  EXPECT_EQ(masked(only.out),
            "\nrunning 1 test\ntest a_ignored ... ok\n\ntest result: ok. 1 passed; 0 failed; 0 "
            "ignored; 0 measured; 1 filtered out; finished in T\n\n");
  const auto both = harness.run(kRegistry, {"--include-ignored", "--test-threads", "1"});
  EXPECT_NE(both.out.find("test a_ignored ... ok\ntest b_passes ... ok\n"), std::string::npos);
  EXPECT_NE(both.out.find("2 passed; 0 failed; 0 ignored; 0 measured; 0 filtered out"),
            std::string::npos);
}

TEST(RunCases, BenchWithoutTestReportsCasesAsIgnored) {
  Harness harness;
  const auto result = harness.run(kFour, {"--bench", "--test-threads", "1"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("test all_retail_string_tables_parse ... ignored\n"),
            std::string::npos);
  EXPECT_NE(result.out.find("0 passed; 0 failed; 4 ignored;"), std::string::npos);
}

TEST(RunCases, ShowOutputPrintsTheSuccessesBlock) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_prints", &printing_case),
      make_case("b_silent", &passing_case),
  });
  Harness harness;
  const auto hidden = harness.run(kRegistry, {"--test-threads", "1"});
  EXPECT_EQ(hidden.out.find("Skipping"), std::string::npos);
  const auto shown = harness.run(kRegistry, {"--test-threads", "1", "--show-output"});
  EXPECT_EQ(masked(shown.out),
            "\nrunning 2 tests\ntest a_prints ... ok\ntest b_silent ... ok\n"
            "\nsuccesses:\n"
            "\n---- a_prints stdout ----\nSkipping: nothing to read\n\n"
            "\nsuccesses:\n    a_prints\n    b_silent\n"
            "\ntest result: ok. 2 passed; 0 failed; 0 ignored; 0 measured; 0 filtered out; "
            "finished in T\n\n");
}

TEST(RunCases, SuccessesBlockWithoutOutputHasOnlyTheNames) {
  constexpr auto kRegistry = case_runner::make_registry({make_case("a", &passing_case)});
  Harness harness;
  const auto result = harness.run(kRegistry, {"--show-output"});
  EXPECT_NE(result.out.find("test a ... ok\n\nsuccesses:\n\nsuccesses:\n    a\n\ntest result: ok."),
            std::string::npos)
      << result.out;
}

TEST(RunCases, CasesRunOnThreadsNamedAfterThem) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("common::motion_command_names::tests::lookup_known_commands", &thread_name_case),
  });
  Harness harness;
  const auto result = harness.run(kRegistry, {"--show-output"});
  // Linux keeps the first 15 bytes of a name, Windows all of it.
  EXPECT_NE(result.out.find("stdout ----\ncommon::motion_"), std::string::npos) << result.out;
}

TEST(RunCases, SeveralThreadsPrintWholeLinesInCompletionOrder) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_waits", &waiting_case),
      make_case("b_releases", &releasing_case),
  });
  g_release_slow = false;
  Harness harness;
  const auto result = harness.run(kRegistry, {"--test-threads", "2"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(masked(result.out),
            "\nrunning 2 tests\ntest b_releases ... ok\ntest a_waits ... ok\n"
            "\ntest result: ok. 2 passed; 0 failed; 0 ignored; 0 measured; 0 filtered out; "
            "finished in T\n\n");
}

TEST(RunCases, OneThreadPrintsTheNameBeforeTheCaseRuns) {
  constexpr auto kRegistry = case_runner::make_registry({make_case("chatty", &chatty_case)});
  Harness harness;
  const auto serial = harness.run(kRegistry, {"--test-threads", "1", "--no-capture"});
  EXPECT_NE(serial.out.find("\nrunning 1 test\ntest chatty ... hello from the case\nok\n"),
            std::string::npos)
      << serial.out;
  const auto parallel = harness.run(kRegistry, {"--test-threads", "2", "--nocapture"});
  EXPECT_NE(parallel.out.find("\nrunning 1 test\nhello from the case\ntest chatty ... ok\n"),
            std::string::npos)
      << parallel.out;
}

TEST(RunCases, NoCaptureSendsTheFailureReportToStandardError) {
  constexpr auto kRegistry = case_runner::make_registry({make_case("fails", &plain_failing_case)});
  Harness harness;
  const auto result = harness.run(kRegistry, {"--no-capture", "--test-threads", "1"});
  EXPECT_EQ(result.status, 101);
  EXPECT_NE(result.out.find("test fails ... before the failure\nFAILED\n"), std::string::npos)
      << result.out;
  EXPECT_NE(masked(result.err).find("\nthread 'fails' (TID) panicked at "), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(":\ndid not encounter the known table\n"), std::string::npos);
  // Nothing was captured, so the failures block lists only the name.
  EXPECT_NE(result.out.find("FAILED\n\nfailures:\n\nfailures:\n    fails\n"), std::string::npos)
      << result.out;
}

TEST(RunCases, SlowCaseIsAnnouncedOnceWithSeveralThreads) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_slow", &slow_case),
      make_case("b_fast", &passing_case),
  });
  Harness harness;
  harness.notice = 50ms;
  const auto result = harness.run(kRegistry, {"--test-threads", "2"});
  EXPECT_EQ(result.status, 0);
  const std::string notice = "test a_slow has been running for over 0 seconds\n";
  const std::size_t at = result.out.find(notice);
  ASSERT_NE(at, std::string::npos) << result.out;
  EXPECT_EQ(result.out.find(notice, at + 1), std::string::npos) << "announced once";
  EXPECT_LT(at, result.out.find("test a_slow ... ok\n"));
  EXPECT_EQ(result.out.find("b_fast has been running"), std::string::npos);

  const auto serial = harness.run(kRegistry, {"--test-threads", "1"});
  EXPECT_EQ(serial.out.find("has been running"), std::string::npos) << "not with one thread";
}

TEST(RunCases, NoticeShowsTheThresholdInSeconds) {
  constexpr auto kRegistry = case_runner::make_registry({
      make_case("a_slow", &slow_case),
      make_case("b_fast", &passing_case),
  });
  Harness harness;
  harness.notice = 1000ms;
  const auto quick = harness.run(kRegistry, {"--test-threads", "2"});
  EXPECT_EQ(quick.out.find("has been running"), std::string::npos) << "300 ms is under 1 s";
}

// --- Expected failures ----------------------------------------------------------------------

TEST(RunCases, ExpectedFailureSemantics) {
  constexpr auto kRegistry = case_runner::make_registry({
      expecting(make_case("a_any_fails", &failing_case), ExpectedFailure::any()),
      expecting(make_case("b_any_passes", &passing_case, 21), ExpectedFailure::any()),
      expecting(make_case("c_message_matches", &failing_case),
                ExpectedFailure::with_message("sum is off")),
      expecting(make_case("d_message_differs", &plain_failing_case),
                ExpectedFailure::with_message("sum is off")),
      expecting(make_case("e_exception_matches", &throwing_case),
                ExpectedFailure::with_message("on fire")),
      expecting(make_case("f_int_with_message", &throwing_int_case),
                ExpectedFailure::with_message("x")),
  });
  Harness harness;
  const auto result = harness.run(kRegistry, {"--test-threads", "1"});
  EXPECT_EQ(result.status, 101);
  const std::string out = masked(result.out);
  EXPECT_NE(out.find("test a_any_fails ... ok\n"
                     "test b_any_passes ... FAILED\n"
                     "test c_message_matches ... ok\n"
                     "test d_message_differs ... FAILED\n"
                     "test e_exception_matches ... ok\n"
                     "test f_int_with_message ... FAILED\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("---- b_any_passes stdout ----\nnote: test did not panic as expected at " +
                     std::string(kFixtureFile) + ":21:4\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("did not encounter the known table\nnote: panic did not contain expected "
                     "string\n      panic message: `\"did not encounter the known table\"`,\n "
                     "expected substring: `\"sum is off\"`\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("note: expected panic with string value,\n found non-string value: "
                     "`exception of type `int` escaped the case`\n     expected substring: "
                     "`\"x\"`\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("3 passed; 3 failed;"), std::string::npos);
}

}  // namespace
