#pragma once

// A stream shared between the main thread, which prints the report, and the case threads,
// which print straight to it under --no-capture. Every write takes a lock.

#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace case_runner {

// A write to the report's stream failed. `message` describes the operating-system error.
struct OutputError {
  std::string message;
};

class OutputSink {
 public:
  explicit OutputSink(std::ostream& stream) : stream_(stream) {}
  OutputSink(const OutputSink&) = delete;
  OutputSink& operator=(const OutputSink&) = delete;

  // Writes `text` and flushes it; throws OutputError when the stream fails.
  void write(std::string_view text);
  // Writes for a case thread: a failure is left for the main thread's next write to find.
  void write_quietly(std::string_view text) noexcept;

 private:
  std::mutex mutex_;
  std::ostream& stream_;
};

}  // namespace case_runner
