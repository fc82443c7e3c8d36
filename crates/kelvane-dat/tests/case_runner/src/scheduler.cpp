#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <numeric>
#include <random>
#include <system_error>
#include <thread>
#include <utility>

#include "case_runner/runner.hpp"
#include "internal/case_execution.hpp"
#include "internal/completion_queue.hpp"
#include "internal/integer_parse.hpp"
#include "kelvane_platform/threads.hpp"

namespace case_runner {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool>& process_backtrace_note_pending() {
  static std::atomic<bool> pending{true};
  return pending;
}

std::uint64_t splitmix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// Fisher-Yates driven by splitmix64, so a seed always gives the same order.
void shuffle_order(std::vector<std::size_t>& order, std::uint64_t seed) {
  std::uint64_t state = seed;
  for (std::size_t i = order.size(); i > 1; --i) {
    const std::size_t j = static_cast<std::size_t>(splitmix64(state) % i);
    std::swap(order[i - 1], order[j]);
  }
}

std::uint64_t fresh_seed() {
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device() ^
         static_cast<std::uint64_t>(Clock::now().time_since_epoch().count());
}

void record(RunSummary& summary, const CaseResult& result) {
  switch (result.outcome) {
    case CaseOutcome::Passed:
      ++summary.passed;
      summary.successes.push_back({result.descriptor, result.output});
      return;
    case CaseOutcome::Failed:
      ++summary.failed;
      summary.failures.push_back({result.descriptor, result.output});
      return;
    case CaseOutcome::Ignored:
      ++summary.ignored;
      return;
    case CaseOutcome::TimeLimitExceeded:
      ++summary.failed;
      summary.time_failures.push_back({result.descriptor, result.output});
      return;
  }
}

}  // namespace

std::expected<std::size_t, std::string> resolve_concurrency(const Options& options,
                                                            const RunnerIo& io) {
  if (options.test_threads) return *options.test_threads;
  if (io.env) {
    if (const auto value = io.env(kThreadsVariable)) {
      const auto parsed = internal::parse_unsigned(*value);
      if (!parsed || *parsed == 0) {
        return std::unexpected(std::string(kThreadsVariable) + " is `" + *value +
                               "`, should be a positive integer.");
      }
      return static_cast<std::size_t>(*parsed);
    }
  }
  const auto available = io.available_parallelism ? io.available_parallelism()
                                                  : kelvane_platform::available_parallelism();
  return available && *available > 0 ? *available : 1;
}

RunSummary run_selection(const Selection& selection, const Options& options,
                         std::size_t concurrency, RunnerIo& io, OutputSink& out, OutputSink& err,
                         Reporter& reporter) {
  const auto run_start = Clock::now();
  const std::size_t count = selection.cases.size();
  RunSummary summary;
  summary.total = count;
  summary.filtered_out = selection.filtered_out;

  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::optional<std::uint64_t> seed;
  if (options.shuffle || options.shuffle_seed) {
    seed = options.shuffle_seed ? *options.shuffle_seed : fresh_seed();
    shuffle_order(order, *seed);
  }
  reporter.run_started(count, seed);

  internal::ExecutionSettings settings;
  settings.capture = !options.no_capture;
  const auto backtrace = io.env ? io.env(kBacktraceVariable) : std::nullopt;
  settings.backtrace = backtrace.has_value() && *backtrace != "0";
  settings.out = &out;
  settings.err = &err;
  settings.backtrace_note_pending = io.backtrace_note_pending != nullptr
                                        ? io.backtrace_note_pending
                                        : &process_backtrace_note_pending();

  const bool announce_slow = concurrency > 1;
  const auto notice_seconds =
      std::chrono::duration_cast<std::chrono::seconds>(io.slow_case_notice_after);
  // Declared before the threads: they push into it until they are joined.
  internal::CompletionQueue queue;
  std::map<std::size_t, std::jthread> running;
  std::deque<std::pair<std::size_t, Clock::time_point>> notices;

  const auto start_case = [&](std::size_t slot) {
    const CaseDescriptor& descriptor = *selection.cases[slot].descriptor;
    reporter.case_started(descriptor);
    if (selection.cases[slot].ignored || !options.run_cases) {
      queue.push({slot, internal::ignored_result(descriptor)});
      return;
    }
    try {
      running.emplace(slot, std::jthread([&queue, &settings, &descriptor, slot] {
                        kelvane_platform::name_current_thread(descriptor.name);
                        queue.push({slot, internal::execute_case(descriptor, settings)});
                      }));
    } catch (const std::system_error&) {
      // No thread to be had: run the case on this one rather than not at all.
      queue.push({slot, internal::execute_case(descriptor, settings)});
      return;
    }
    if (announce_slow) notices.emplace_back(slot, Clock::now() + io.slow_case_notice_after);
  };

  std::size_t next = 0;
  std::size_t pending = 0;
  bool stop_starting = false;
  while (pending > 0 || (next < count && !stop_starting)) {
    while (pending < concurrency && next < count && !stop_starting) {
      start_case(order[next++]);
      ++pending;
    }
    std::optional<internal::Completion> done;
    while (!done) {
      std::optional<Clock::time_point> deadline;
      if (!notices.empty()) deadline = notices.front().second;
      done = queue.pop(deadline);
      const auto now = Clock::now();
      while (!notices.empty() && notices.front().second <= now) {
        const std::size_t slot = notices.front().first;
        notices.pop_front();
        if (running.contains(slot)) {
          reporter.case_still_running(*selection.cases[slot].descriptor, notice_seconds);
        }
      }
    }
    if (const auto thread = running.find(done->slot); thread != running.end()) {
      thread->second.join();
      running.erase(thread);
    }
    --pending;
    // After --fail-fast stopped the run, cases still running are waited for, not reported.
    if (stop_starting) continue;
    CaseResult& result = done->result;
    if (options.ensure_time && result.outcome == CaseOutcome::Passed && result.exec_time &&
        *result.exec_time > io.slow_case_notice_after) {
      result.outcome = CaseOutcome::TimeLimitExceeded;
    }
    reporter.case_finished(result);
    record(summary, result);
    const bool failed =
        result.outcome == CaseOutcome::Failed || result.outcome == CaseOutcome::TimeLimitExceeded;
    if (options.fail_fast && failed) stop_starting = true;
  }
  summary.elapsed = Clock::now() - run_start;
  reporter.run_finished(summary);
  return summary;
}

}  // namespace case_runner
