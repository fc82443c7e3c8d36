#include "kelvane_dat/io_error.hpp"

#include <cerrno>
#include <cstring>

#include "kelvane_platform/errno_text.hpp"

namespace kelvane_dat {

std::string system_error_message(int os_code) {
  return kelvane_platform::c_library_message(os_code);
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
