#include "progress.hpp"

#include <cstdio>

#include "report.hpp"

namespace kelvane_dat::cli {

namespace {

// Work that finishes within this never shows a line at all.
constexpr auto kMoment = std::chrono::milliseconds(500);
// Often enough to look alive, rarely enough to cost nothing.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressLine::ProgressLine(std::string label, std::size_t total)
    : label_(std::move(label)),
      total_(total),
      enabled_(is_terminal(stderr)),
      start_(Clock::now()),
      last_draw_(start_) {}

void ProgressLine::update(std::size_t done) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < kMoment || (drawn_ && now - last_draw_ < kRedrawInterval)) return;
  const unsigned percent = total_ == 0 ? 100u : static_cast<unsigned>(done * 100 / total_);
  // \r returns to the start of the line, \033[K erases what a longer earlier draw left behind.
  std::fprintf(stderr, "\r%s %zu/%zu (%u%%)\033[K", label_.c_str(), done, total_, percent);
  std::fflush(stderr);
  drawn_ = true;
  last_draw_ = now;
}

void ProgressLine::clear() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace kelvane_dat::cli
