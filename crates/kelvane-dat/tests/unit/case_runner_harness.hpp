#pragma once

// Shared fixtures of the case runner's tests: small case bodies, descriptors built around
// them, and a harness that runs the runner against in-memory streams and environment.

#include <atomic>
#include <cctype>
#include <chrono>
#include <map>
#include <optional>
#include <source_location>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "case_runner/case_descriptor.hpp"
#include "case_runner/check.hpp"
#include "case_runner/runner.hpp"
#include "kelvane_platform/backtrace.hpp"
#include "kelvane_platform/threads.hpp"

namespace case_runner_testing {

using case_runner::CaseDescriptor;
using case_runner::ExpectedFailure;

inline constexpr std::string_view kFixtureFile = "crates/kelvane-dat/tests/unit/fixture_cases";

constexpr CaseDescriptor make_case(std::string_view name, case_runner::CaseEntry entry,
                                   std::uint32_t line = 10) {
  return {.name = name,
          .source_file = kFixtureFile,
          .start_line = line,
          .start_col = 4,
          .end_line = line,
          .end_col = 4 + static_cast<std::uint32_t>(name.size()),
          .entry = entry};
}

constexpr CaseDescriptor ignored_case(CaseDescriptor descriptor,
                                      std::optional<std::string_view> message = std::nullopt) {
  descriptor.ignored = true;
  descriptor.ignore_message = message;
  return descriptor;
}

constexpr CaseDescriptor expecting(CaseDescriptor descriptor, ExpectedFailure expected) {
  descriptor.expected_failure = expected;
  return descriptor;
}

// --- Case bodies ------------------------------------------------------------------------

inline std::source_location g_check_location;  // where failing_case's check sits

inline void passing_case() {}

inline void printing_case() { case_runner::case_output() << "Skipping: nothing to read\n"; }

inline void failing_case() {
  const auto here = std::source_location::current();
  g_check_location = here;
  case_runner::check_eq(1 + 1, 3, "sum is off", here);
}

inline void plain_failing_case() {
  case_runner::case_output() << "before the failure\n";
  case_runner::fail("did not encounter the known table");
}

inline void throwing_case() { throw std::runtime_error("disk on fire"); }

inline void throwing_int_case() { throw 42; }

inline void thread_name_case() {
  case_runner::case_output() << kelvane_platform::current_thread_name() << "\n";
}

inline std::atomic<bool> g_release_slow{false};

// Waits for the other case to release it, so it finishes last whatever the scheduling.
inline void waiting_case() {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!g_release_slow.load() && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

inline void releasing_case() { g_release_slow.store(true); }

inline void slow_case() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }

inline void chatty_case() { case_runner::case_output() << "hello from the case\n"; }

// --- Harness ------------------------------------------------------------------------------

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

struct Harness {
  std::map<std::string, std::string, std::less<>> env;
  std::optional<std::size_t> processors = 2;
  bool terminal = false;
  std::chrono::milliseconds notice = std::chrono::seconds(60);
  std::atomic<bool> note_pending{true};
  bool break_stdout = false;

  RunResult run(std::span<const CaseDescriptor> registry, std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    if (break_stdout) out.setstate(std::ios::badbit);
    case_runner::RunnerIo io{
        .out = out,
        .err = err,
        .env = [this](std::string_view name) -> std::optional<std::string> {
          const auto found = env.find(name);
          if (found == env.end()) return std::nullopt;
          return found->second;
        },
        .out_is_terminal = terminal,
        .available_parallelism = [this] { return processors; },
        .slow_case_notice_after = notice,
        .backtrace_note_pending = &note_pending,
    };
    std::vector<std::string_view> views{"string_table_parity"};
    for (const std::string& arg : args) views.push_back(arg);
    RunResult result;
    result.status = case_runner::run_cases(registry, views, io);
    result.out = out.str();
    result.err = err.str();
    return result;
  }
};

// Replaces every `prefix` DIGITS `suffix` in `text` with `prefix` `placeholder` `suffix`,
// where DIGITS is a run of digits and dots.
inline std::string mask_numbers(std::string text, std::string_view prefix, std::string_view suffix,
                                std::string_view placeholder) {
  std::size_t from = 0;
  while ((from = text.find(prefix, from)) != std::string::npos) {
    const std::size_t start = from + prefix.size();
    std::size_t end = start;
    while (end < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[end])) != 0 || text[end] == '.')) {
      ++end;
    }
    if (end > start && text.compare(end, suffix.size(), suffix) == 0) {
      text.replace(start, end - start, placeholder);
      end = start + placeholder.size();
    }
    from = end;
  }
  return text;
}

// Replaces what changes from run to run: the elapsed time and thread ids.
inline std::string masked(const std::string& text) {
  std::string result = mask_numbers(text, "' (", ") panicked", "TID");
  result = mask_numbers(result, "finished in ", "s\n", "T");
  for (std::size_t at = 0; (at = result.find("finished in Ts\n", at)) != std::string::npos;) {
    result.erase(at + 13, 1);  // "finished in T" + "s"
  }
  return result;
}

// The digits of the thread id in the first failure report of `out`, or "".
inline std::string first_thread_id(const std::string& out) {
  const std::size_t open = out.find("' (");
  const std::size_t close = out.find(") panicked at ", open);
  if (open == std::string::npos || close == std::string::npos) return "";
  return out.substr(open + 3, close - open - 3);
}

inline std::string location_of_check() {
  return std::string(g_check_location.file_name()) + ":" + std::to_string(g_check_location.line()) +
         ":" + std::to_string(g_check_location.column());
}

// The note after the first failure; it says so where backtraces cannot be captured (Windows).
inline const std::string_view kNote =
    kelvane_platform::backtraces_available()
        ? "note: run with `KELVANE_BACKTRACE=1` environment variable to display a backtrace\n"
        : "note: stack backtraces are not available in this build; `KELVANE_BACKTRACE` has no "
          "effect\n";

// The parity program's registry shape: four cases, three sharing a module path.
inline constexpr auto kFour = case_runner::make_registry({
    make_case("all_retail_string_tables_parse", &passing_case, 17),
    make_case("common::motion_command_names::tests::classify_known_commands", &passing_case),
    make_case("common::motion_command_names::tests::lookup_known_commands", &passing_case),
    make_case("common::motion_command_names::tests::table_is_strictly_sorted_for_binary_search",
              &passing_case),
});

}  // namespace case_runner_testing
