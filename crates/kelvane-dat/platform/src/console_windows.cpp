#include "kelvane_platform/console.hpp"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

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

}  // namespace kelvane_platform
