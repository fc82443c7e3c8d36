#include "kelvane_dat/io_error.hpp"

#include <windows.h>

#include <string>

#include "kelvane_platform/wide_text.hpp"

namespace kelvane_dat {

std::string system_error_message(int os_code) {
  wchar_t* message = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(os_code), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (length == 0 || message == nullptr) return "Unknown error " + std::to_string(os_code);
  std::wstring wide(message, length);
  ::LocalFree(message);
  // The system's messages end with a line break, which would split the display text.
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ')) {
    wide.pop_back();
  }
  return kelvane_platform::utf8_from_wide(wide);
}

const char* io_error_kind_name(int os_code) {
  switch (os_code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "NotFound";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "PermissionDenied";
    case ERROR_DIRECTORY:
      return "NotADirectory";
    case ERROR_OPERATION_ABORTED:
      return "Interrupted";
    case ERROR_INVALID_PARAMETER:
      return "InvalidInput";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return "OutOfMemory";
    case ERROR_CANT_RESOLVE_FILENAME:
      return "FilesystemLoop";
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return "InvalidFilename";
    case ERROR_HANDLE_EOF:
      return "UnexpectedEof";
    default:
      return "Uncategorized";
  }
}

}  // namespace kelvane_dat
