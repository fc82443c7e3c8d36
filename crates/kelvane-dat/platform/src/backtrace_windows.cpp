#include "kelvane_platform/backtrace.hpp"

namespace kelvane_platform {

// The MinGW build's debug information is DWARF, which the system's symbol handler cannot read, so
// addresses could not be named; the check program says that traces are unavailable instead.
bool backtraces_available() { return false; }

std::vector<void*> capture_backtrace(int /*skip*/) { return {}; }

std::vector<std::string> describe_frames(std::span<void* const> /*frames*/) { return {}; }

}  // namespace kelvane_platform
