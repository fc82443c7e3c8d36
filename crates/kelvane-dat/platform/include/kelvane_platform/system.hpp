#pragma once

namespace kelvane_platform {

// Whether the system's error numbers are the C library's errno values, with its texts ("No such
// file or directory"). On Windows they are GetLastError() codes with the system's own messages.
#if defined(_WIN32)
inline constexpr bool kOsErrorsAreErrno = false;
#else
inline constexpr bool kOsErrorsAreErrno = true;
#endif

}  // namespace kelvane_platform
