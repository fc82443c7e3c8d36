#pragma once

// The runner's command line.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace case_runner {

// Reads one environment variable; nullopt when it is not set.
using EnvLookup = std::function<std::optional<std::string>(std::string_view name)>;

// Environment variables read by the runner.
inline constexpr std::string_view kThreadsVariable = "KELVANE_TEST_THREADS";
inline constexpr std::string_view kNoCaptureVariable = "KELVANE_TEST_NOCAPTURE";
inline constexpr std::string_view kBacktraceVariable = "KELVANE_BACKTRACE";
inline constexpr std::string_view kUnstableVariable = "KELVANE_UNSTABLE_OPTIONS";
inline constexpr std::string_view kShuffleVariable = "KELVANE_TEST_SHUFFLE";
inline constexpr std::string_view kShuffleSeedVariable = "KELVANE_TEST_SHUFFLE_SEED";

enum class OutputFormat { Pretty, Terse, Json, Junit };
enum class ColorChoice { Auto, Always, Never };
enum class RunIgnored {
  No,    // ignored cases are reported as ignored without running
  Yes,   // --include-ignored: every selected case runs
  Only,  // --ignored: only ignored cases are selected, and they run
};

struct Options {
  // The program path (first argument), for the usage line.
  std::string program;
  bool help = false;

  std::vector<std::string> filters;
  std::vector<std::string> skip;
  bool exact = false;
  RunIgnored run_ignored = RunIgnored::No;
  bool list = false;

  std::optional<std::size_t> test_threads;
  // --no-capture, --nocapture, or KELVANE_TEST_NOCAPTURE set to anything but "0".
  bool no_capture = false;
  bool show_output = false;
  OutputFormat format = OutputFormat::Pretty;
  ColorChoice color = ColorChoice::Auto;

  // --bench without --test: there are no benchmarks, and cases are reported as ignored.
  bool run_cases = true;
  bool bench = false;
  std::optional<std::string> logfile;

  // Experimental; only with -Z unstable-options and KELVANE_UNSTABLE_OPTIONS=1.
  bool unstable = false;
  bool fail_fast = false;
  bool report_time = false;
  bool ensure_time = false;
  bool shuffle = false;
  std::optional<std::uint64_t> shuffle_seed;
  bool exclude_expected_failures = false;
  bool force_run_in_process = false;
};

// Parses the full argument list (program path first). On error the value is the message
// that follows "error: " on standard error.
std::expected<Options, std::string> parse_options(std::span<const std::string_view> args,
                                                  const EnvLookup& env);

// The text printed by -h/--help: the usage line, the option list and the help text.
std::string usage_text(std::string_view program);

}  // namespace case_runner
