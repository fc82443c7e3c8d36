#pragma once

// Standard streams and terminals.

#include <cstdio>
#include <string_view>

namespace kelvane_platform {

// The stream writes to an interactive terminal (a console on Windows).
bool is_terminal(std::FILE* stream);

// The stream is a terminal that understands ANSI colour escapes. On Windows this turns on the
// console's escape processing, and is false where the console cannot do it.
bool terminal_supports_color(std::FILE* stream);

// Bytes written to the stream reach it unchanged: no "\n" to "\r\n" translation on Windows, so
// binary data and the reports' LF line ends come out as on Linux. Nothing to do on POSIX.
void use_binary_mode(std::FILE* stream);

// Writes UTF-8 text to the console behind the stream as characters, false when the stream is not
// a console (write the bytes then). A Windows console would decode bytes in its code page, the OEM
// one by default, and the C runtime hands them over a few at a time, splitting characters. Always
// false on POSIX, where terminals take the bytes.
bool write_to_console(std::FILE* stream, std::string_view utf8);

// Whether a write to standard output that failed with `error` (errno) failed because its reader
// went away, as a pipe into "head" does: EPIPE where SIGPIPE is ignored on POSIX; on Windows the
// pipe's ERROR_NO_DATA or ERROR_BROKEN_PIPE, whatever errno the C runtime made of them.
bool reader_went_away(int error);

}  // namespace kelvane_platform
