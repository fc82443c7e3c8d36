#include "kelvane_platform/console.hpp"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "kelvane_platform/wide_text.hpp"

namespace kelvane_platform {
namespace {

// The console behind the stream, or nullptr when it goes to a file or a pipe.
HANDLE console_of(std::FILE* stream) {
  if (::_isatty(::_fileno(stream)) == 0) return nullptr;
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || ::GetConsoleMode(handle, &mode) == 0) return nullptr;
  return handle;
}

}  // namespace

bool is_terminal(std::FILE* stream) { return console_of(stream) != nullptr; }

bool terminal_supports_color(std::FILE* stream) {
  const HANDLE console = console_of(stream);
  if (console == nullptr) return false;
  DWORD mode = 0;
  if (::GetConsoleMode(console, &mode) == 0) return false;
  // Consoles older than Windows 10 refuse the flag and would print the escapes literally.
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void use_binary_mode(std::FILE* stream) { ::_setmode(::_fileno(stream), _O_BINARY); }

bool write_to_console(std::FILE* stream, std::string_view utf8) {
  const HANDLE console = console_of(stream);
  if (console == nullptr) return false;
  // Bytes written before through the stream's buffer come out first.
  std::fflush(stream);
  const std::wstring wide = wide_from_utf8(utf8);
  DWORD written = 0;
  for (std::size_t start = 0; start < wide.size(); start += written) {
    const auto count = static_cast<DWORD>(wide.size() - start);
    if (::WriteConsoleW(console, wide.data() + start, count, &written, nullptr) == 0) break;
  }
  return true;
}

bool reader_went_away(int error) {
  const DWORD last = ::GetLastError();
  return error == EPIPE || last == ERROR_NO_DATA || last == ERROR_BROKEN_PIPE;
}

}  // namespace kelvane_platform
