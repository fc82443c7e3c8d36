#pragma once

#include <string>

namespace kelvane_platform {

// The C library's message for an errno value plus its number: "No such file or directory (os
// error 2)". Thread-safe.
std::string errno_text(int code);

}  // namespace kelvane_platform
