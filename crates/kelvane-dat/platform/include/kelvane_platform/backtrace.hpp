#pragma once

#include <span>
#include <string>
#include <vector>

namespace kelvane_platform {

// Whether this build can capture stack traces; Windows builds cannot.
bool backtraces_available();

// The return addresses of the caller's stack, innermost first, without the caller's own frame
// and the `skip` frames above it. Empty where backtraces are not available.
std::vector<void*> capture_backtrace(int skip);

// One line per frame, as "function+0x1f at binary [0x4011d6]" where symbols are known,
// without the line ends or numbering.
std::vector<std::string> describe_frames(std::span<void* const> frames);

}  // namespace kelvane_platform
