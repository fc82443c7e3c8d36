#include "case_runner/output_sink.hpp"

#include <cerrno>
#include <cstring>
#include <string>

#include "internal/os_error.hpp"

namespace case_runner {
namespace internal {

std::string os_error_text(int code) {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = ::strerror_r(code, buffer, sizeof buffer);
  return std::string(text) + " (os error " + std::to_string(code) + ")";
}

}  // namespace internal

namespace {

std::string describe_errno(int code) {
  if (code == 0) return "failed to write the report";
  return internal::os_error_text(code);
}

}  // namespace

void OutputSink::write(std::string_view text) {
  const std::lock_guard lock(mutex_);
  errno = 0;
  stream_.write(text.data(), static_cast<std::streamsize>(text.size()));
  stream_.flush();
  if (!stream_) throw OutputError{describe_errno(errno)};
}

void OutputSink::write_quietly(std::string_view text) noexcept {
  const std::lock_guard lock(mutex_);
  try {
    stream_.write(text.data(), static_cast<std::streamsize>(text.size()));
    stream_.flush();
  } catch (...) {
    // A stream configured to throw: the main thread reports the failure on its next write.
  }
}

}  // namespace case_runner
