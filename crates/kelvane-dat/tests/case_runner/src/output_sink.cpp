#include "case_runner/output_sink.hpp"

#include <cerrno>
#include <string>

#include "kelvane_platform/errno_text.hpp"

namespace case_runner {
namespace {

std::string describe_errno(int code) {
  if (code == 0) return "failed to write the report";
  return kelvane_platform::errno_text(code);
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
