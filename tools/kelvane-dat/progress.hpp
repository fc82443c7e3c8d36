#pragma once

// A progress line on standard error, redrawn in place ("verifying 1200/5000 files").
//
// It shows only when standard error is a terminal and the work has already taken more than a
// moment, so quick runs, pipes and log files never see it.

#include <chrono>
#include <cstddef>
#include <string>

namespace kelvane_dat::cli {

class ProgressLine {
 public:
  ProgressLine(std::string label, std::size_t total);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() { clear(); }

  // Whether the line can appear at all; callers may skip counting when it cannot.
  bool enabled() const { return enabled_; }
  // Redraws the line with `done` when it is due; cheap enough to call after every item.
  void update(std::size_t done);
  // Erases the line if it was drawn, so what follows starts on a clean line.
  void clear();

 private:
  using Clock = std::chrono::steady_clock;

  std::string label_;
  std::size_t total_;
  bool enabled_;
  bool drawn_ = false;
  Clock::time_point start_;
  Clock::time_point last_draw_;
};

}  // namespace kelvane_dat::cli
