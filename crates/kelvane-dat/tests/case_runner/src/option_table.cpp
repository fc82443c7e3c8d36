#include "internal/option_table.hpp"

namespace case_runner::internal {
namespace {

using enum TakesArgument;
using enum Occurrence;

constexpr OptionSpec kOptions[] = {
    {'\0', "include-ignored", No, AtMostOnce, "", "Run ignored and not ignored tests"},
    {'\0', "ignored", No, AtMostOnce, "", "Run only ignored tests"},
    {'\0', "force-run-in-process", No, AtMostOnce, "",
     "Forces tests to run in-process (they always do here)"},
    {'\0', "exclude-should-panic", No, AtMostOnce, "", "Excludes tests that are expected to fail"},
    {'\0', "test", No, AtMostOnce, "", "Run tests and not benchmarks"},
    {'\0', "bench", No, AtMostOnce, "", "Run benchmarks instead of tests"},
    {'\0', "list", No, AtMostOnce, "", "List all tests and benchmarks"},
    {'h', "help", No, AtMostOnce, "", "Display this message"},
    {'\0', "logfile", Yes, AtMostOnce, "PATH", "Write logs to the specified file (deprecated)"},
    {'\0', "no-capture", No, AtMostOnce, "",
     "don't capture stdout/stderr of each task, allow\nprinting directly"},
    {'\0', "nocapture", No, AtMostOnce, "", "Same as --no-capture"},
    {'\0', "test-threads", Yes, AtMostOnce, "n_threads",
     "Number of threads used for running tests in parallel"},
    {'\0', "skip", Yes, Repeatable, "FILTER",
     "Skip tests whose names contain FILTER (this flag can\nbe used multiple times)"},
    {'q', "quiet", No, AtMostOnce, "",
     "Display one character per test instead of one line.\nAlias to --format=terse"},
    {'\0', "exact", No, AtMostOnce, "", "Exactly match filters rather than by substring"},
    {'\0', "color", Yes, AtMostOnce, "auto|always|never",
     "Configure coloring of output:\n"
     "auto = colorize if stdout is a tty and output is\ncaptured (default);\n"
     "always = always colorize output;\n"
     "never = never colorize output;"},
    {'\0', "format", Yes, AtMostOnce, "pretty|terse|json|junit",
     "Configure formatting of output:\n"
     "pretty = Print verbose output;\n"
     "terse = Display one character per test;\n"
     "json = Output a json document;\n"
     "junit = Output a JUnit document"},
    {'\0', "show-output", No, AtMostOnce, "", "Show captured stdout of successful tests"},
    {'Z', "", Yes, AtMostOnce, "unstable-options",
     "Enable experimental flags (needs\nKELVANE_UNSTABLE_OPTIONS=1):\n"
     "unstable-options = Allow use of experimental features"},
    {'\0', "report-time", No, AtMostOnce, "", "Show execution time of each test."},
    {'\0', "ensure-time", No, AtMostOnce, "",
     "Treat excess of the test execution time limit as\nerror (the limit is the 60-second "
     "notice time)."},
    {'\0', "shuffle", No, AtMostOnce, "", "Run tests in random order"},
    {'\0', "shuffle-seed", Yes, AtMostOnce, "SEED",
     "Run tests in random order; seed the random number\ngenerator with SEED"},
    {'\0', "fail-fast", No, AtMostOnce, "", "Don't start new tests after the first failure"},
};

}  // namespace

std::span<const OptionSpec> option_table() { return kOptions; }

std::string_view option_display_name(const OptionSpec& option) {
  if (!option.long_name.empty()) return option.long_name;
  return std::string_view(&option.short_name, 1);
}

}  // namespace case_runner::internal
