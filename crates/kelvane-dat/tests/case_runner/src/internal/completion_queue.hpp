#pragma once

// Hands finished cases from their threads to the main thread, one at a time.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "case_runner/reporter.hpp"

namespace case_runner::internal {

struct Completion {
  std::size_t slot = 0;  // position in the run order
  CaseResult result;
};

class CompletionQueue {
 public:
  using Clock = std::chrono::steady_clock;

  void push(Completion completion) {
    {
      const std::lock_guard lock(mutex_);
      items_.push_back(std::move(completion));
    }
    ready_.notify_one();
  }

  // The next completion; nullopt if `deadline` passes first. No deadline waits forever.
  std::optional<Completion> pop(std::optional<Clock::time_point> deadline) {
    std::unique_lock lock(mutex_);
    const auto has_item = [this] { return !items_.empty(); };
    if (deadline) {
      if (!ready_.wait_until(lock, *deadline, has_item)) return std::nullopt;
    } else {
      ready_.wait(lock, has_item);
    }
    Completion completion = std::move(items_.front());
    items_.pop_front();
    return completion;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Completion> items_;
};

}  // namespace case_runner::internal
