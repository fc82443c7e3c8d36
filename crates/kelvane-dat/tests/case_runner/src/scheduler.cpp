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

// The order cases start in: registry order, or shuffled by a seed the run reports.
struct StartOrder {
  std::vector<std::size_t> slots;
  std::optional<std::uint64_t> seed;
};

StartOrder start_order(std::size_t count, const Options& options) {
  StartOrder order;
  order.slots.resize(count);
  std::iota(order.slots.begin(), order.slots.end(), std::size_t{0});
  if (options.shuffle || options.shuffle_seed) {
    order.seed = options.shuffle_seed ? *options.shuffle_seed : fresh_seed();
    shuffle_order(order.slots, *order.seed);
  }
  return order;
}

internal::ExecutionSettings execution_settings(const Options& options, const RunnerIo& io,
                                               const RunOutput& output) {
  internal::ExecutionSettings settings;
  settings.capture = !options.no_capture;
  const auto backtrace = io.env ? io.env(kBacktraceVariable) : std::nullopt;
  settings.backtrace = backtrace.has_value() && *backtrace != "0";
  settings.out = &output.out;
  settings.err = &output.err;
  settings.backtrace_note_pending = io.backtrace_note_pending != nullptr
                                        ? io.backtrace_note_pending
                                        : &process_backtrace_note_pending();
  return settings;
}

// One run of a selection: the threads still running, the slow-case notices still due and the
// summary so far. run() keeps up to `concurrency` cases running, reports each as it completes,
// and after --fail-fast starts no more.
class SelectionRun {
 public:
  SelectionRun(const Selection& selection, const Options& options, std::size_t concurrency,
               const RunnerIo& io, RunOutput output)
      : selection_(selection),
        options_(options),
        concurrency_(concurrency),
        io_(io),
        output_(output) {}

  // Called once.
  RunSummary run() {
    const auto run_start = Clock::now();
    const std::size_t count = selection_.cases.size();
    summary_.total = count;
    summary_.filtered_out = selection_.filtered_out;
    const StartOrder order = start_order(count, options_);
    output_.reporter.run_started(count, order.seed);
    settings_ = execution_settings(options_, io_, output_);

    std::size_t next = 0;
    std::size_t pending = 0;
    while (pending > 0 || (next < count && !stop_starting_)) {
      while (pending < concurrency_ && next < count && !stop_starting_) {
        start_case(order.slots[next++]);
        ++pending;
      }
      internal::Completion done = next_completion();
      join(done.slot);
      --pending;
      // After --fail-fast stopped the run, cases still running are waited for, not reported.
      if (!stop_starting_) finish_case(done.result);
    }
    summary_.elapsed = Clock::now() - run_start;
    output_.reporter.run_finished(summary_);
    return std::move(summary_);
  }

 private:
  void start_case(std::size_t slot) {
    const CaseDescriptor& descriptor = *selection_.cases[slot].descriptor;
    output_.reporter.case_started(descriptor);
    if (selection_.cases[slot].ignored || !options_.run_cases) {
      queue_.push({slot, internal::ignored_result(descriptor)});
      return;
    }
    try {
      running_.emplace(slot, std::jthread([this, &descriptor, slot] {
                         kelvane_platform::name_current_thread(descriptor.name);
                         queue_.push({slot, internal::execute_case(descriptor, settings_)});
                       }));
    } catch (const std::system_error&) {
      // No thread to be had: run the case on this one rather than not at all.
      queue_.push({slot, internal::execute_case(descriptor, settings_)});
      return;
    }
    if (concurrency_ > 1) notices_.emplace_back(slot, Clock::now() + io_.slow_case_notice_after);
  }

  // Waits for a case to complete, announcing on the way each case still running at its notice.
  internal::Completion next_completion() {
    while (true) {
      std::optional<Clock::time_point> deadline;
      if (!notices_.empty()) deadline = notices_.front().second;
      std::optional<internal::Completion> done = queue_.pop(deadline);
      announce_slow_cases();
      if (done) return std::move(*done);
    }
  }

  void announce_slow_cases() {
    const auto notice_seconds =
        std::chrono::duration_cast<std::chrono::seconds>(io_.slow_case_notice_after);
    const auto now = Clock::now();
    while (!notices_.empty() && notices_.front().second <= now) {
      const std::size_t slot = notices_.front().first;
      notices_.pop_front();
      if (running_.contains(slot)) {
        output_.reporter.case_still_running(*selection_.cases[slot].descriptor, notice_seconds);
      }
    }
  }

  void join(std::size_t slot) {
    const auto thread = running_.find(slot);
    if (thread == running_.end()) return;
    thread->second.join();
    running_.erase(thread);
  }

  void finish_case(CaseResult& result) {
    if (options_.ensure_time && result.outcome == CaseOutcome::Passed && result.exec_time &&
        *result.exec_time > io_.slow_case_notice_after) {
      result.outcome = CaseOutcome::TimeLimitExceeded;
    }
    output_.reporter.case_finished(result);
    record(summary_, result);
    const bool failed =
        result.outcome == CaseOutcome::Failed || result.outcome == CaseOutcome::TimeLimitExceeded;
    if (options_.fail_fast && failed) stop_starting_ = true;
  }

  const Selection& selection_;
  const Options& options_;
  const std::size_t concurrency_;
  const RunnerIo& io_;
  RunOutput output_;
  // Set before the first case starts; the case threads read it.
  internal::ExecutionSettings settings_;
  // Declared before the threads: they push into it until they are joined.
  internal::CompletionQueue queue_;
  std::map<std::size_t, std::jthread> running_;
  std::deque<std::pair<std::size_t, Clock::time_point>> notices_;
  RunSummary summary_;
  bool stop_starting_ = false;
};

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
                         std::size_t concurrency, const RunnerIo& io, RunOutput output) {
  return SelectionRun(selection, options, concurrency, io, output).run();
}

}  // namespace case_runner
