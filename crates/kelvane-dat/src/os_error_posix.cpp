#include "kelvane_dat/io_error.hpp"

#include <cerrno>
#include <cstring>

namespace kelvane_dat {
namespace {

// strerror_r comes in two flavours; overloads pick whichever the C library declared.
[[maybe_unused]] const char* strerror_result(int /*status*/, const char* buffer) { return buffer; }
[[maybe_unused]] const char* strerror_result(const char* message, const char* /*buffer*/) {
  return message;
}

}  // namespace

std::string system_error_message(int os_code) {
  char buffer[256] = {};
  return strerror_result(strerror_r(os_code, buffer, sizeof buffer), buffer);
}

const char* io_error_kind_name(int os_code) {
  switch (os_code) {
    case ENOENT:
      return "NotFound";
    case EACCES:
    case EPERM:
      return "PermissionDenied";
    case EISDIR:
      return "IsADirectory";
    case ENOTDIR:
      return "NotADirectory";
    case EINTR:
      return "Interrupted";
    case EINVAL:
      return "InvalidInput";
    case ENOMEM:
      return "OutOfMemory";
    case ESPIPE:
      return "NotSeekable";
    case ELOOP:
      return "FilesystemLoop";
    case ENAMETOOLONG:
      return "InvalidFilename";
    case EAGAIN:
      return "WouldBlock";
    default:
      return "Uncategorized";
  }
}

}  // namespace kelvane_dat
