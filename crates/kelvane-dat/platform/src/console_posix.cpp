#include "kelvane_platform/console.hpp"

#include <unistd.h>

#include <cerrno>

namespace kelvane_platform {

bool is_terminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

bool terminal_supports_color(std::FILE* stream) { return is_terminal(stream); }

void use_binary_mode(std::FILE* /*stream*/) {}

bool write_to_console(std::FILE* /*stream*/, std::string_view /*utf8*/) { return false; }

bool reader_went_away(int error) { return error == EPIPE; }

}  // namespace kelvane_platform
