#pragma once

// The C library's message for an errno value, thread-safe: the one wrapper of strerror_r (POSIX)
// and strerror_s (Windows C runtime). Header-only, so the archive library takes its OS error texts
// from here without the system layer depending on the library.

#include <string.h>
#include <string>

namespace kelvane_platform {

namespace errno_text_detail {

// strerror_r comes in two flavours; overloads pick whichever the C library declared.
[[maybe_unused]] inline const char* strerror_result(int /*status*/, const char* buffer) {
  return buffer;
}
[[maybe_unused]] inline const char* strerror_result(const char* message, const char* /*buffer*/) {
  return message;
}

}  // namespace errno_text_detail

// "No such file or directory" for 2.
inline std::string c_library_message(int code) {
  char buffer[256] = {};
#if defined(_WIN32)
  ::strerror_s(buffer, sizeof buffer, code);
  return buffer;
#else
  return errno_text_detail::strerror_result(::strerror_r(code, buffer, sizeof buffer), buffer);
#endif
}

// The message plus its number, as the library's I/O errors print an errno: "No such file or
// directory (os error 2)".
inline std::string errno_text(int code) {
  return c_library_message(code) + " (os error " + std::to_string(code) + ")";
}

}  // namespace kelvane_platform
