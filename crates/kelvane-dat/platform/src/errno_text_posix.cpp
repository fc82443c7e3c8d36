#include "kelvane_platform/errno_text.hpp"

#include "kelvane_dat/io_error.hpp"

namespace kelvane_platform {

// On POSIX the C library's errno is the system's error number.
std::string errno_text(int code) { return kelvane_dat::IoError::from_errno(code).to_string(); }

}  // namespace kelvane_platform
