#pragma once

// The case runner: parses the command line, selects cases by name, runs each selected
// case on a thread of its own (at most N at a time) with its output captured, reports
// through a Reporter, and returns the exit status (0, or 101 on any failure).

#include <atomic>
#include <chrono>
#include <cstddef>
#include <expected>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "case_runner/case_descriptor.hpp"
#include "case_runner/options.hpp"
#include "case_runner/output_sink.hpp"
#include "case_runner/reporter.hpp"

namespace case_runner {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 101;

// Everything the runner takes from the process, injectable for tests.
struct RunnerIo {
  std::ostream& out;
  std::ostream& err;
  EnvLookup env{};
  // Whether `out` is a terminal that shows colour (for --color auto).
  bool out_is_terminal = false;
  // Processors available to the process; empty asks the operating system.
  std::function<std::optional<std::size_t>()> available_parallelism{};
  // When a case still running is announced (with more than one thread).
  std::chrono::milliseconds slow_case_notice_after = std::chrono::seconds(60);
  // The one-line backtrace note follows only the first failure of the process; this latch
  // says whether it is still due. nullptr uses the process-wide latch.
  std::atomic<bool>* backtrace_note_pending = nullptr;

  // std::cout, std::cerr, the process environment, isatty(1) and the OS processor count.
  static RunnerIo process();
};

// Runs the program: `args` is the whole command line, program path first.
int run_cases(std::span<const CaseDescriptor> registry, std::span<const std::string_view> args,
              RunnerIo& io);

struct SelectedCase {
  const CaseDescriptor* descriptor = nullptr;
  // Reported as ignored without running.
  bool ignored = false;
};

struct Selection {
  std::vector<SelectedCase> cases;  // registry order
  std::size_t filtered_out = 0;
};

// Filters, then skip filters, then the ignored rule; see --help.
Selection select_cases(std::span<const CaseDescriptor> registry, const Options& options);

// The number of cases run at a time: --test-threads, else KELVANE_TEST_THREADS, else the
// processors available, else 1. The error is the fatal message for a bad variable.
std::expected<std::size_t, std::string> resolve_concurrency(const Options& options,
                                                            const RunnerIo& io);

// Where a run writes: `out` and `err` receive the cases' output under --no-capture, and
// `reporter` the run's events.
struct RunOutput {
  OutputSink& out;
  OutputSink& err;
  Reporter& reporter;
};

// Runs `selection` with `concurrency` cases at a time. Throws OutputError when the report
// cannot be written.
RunSummary run_selection(const Selection& selection, const Options& options,
                         std::size_t concurrency, const RunnerIo& io, RunOutput output);

}  // namespace case_runner
