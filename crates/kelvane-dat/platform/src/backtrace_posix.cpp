#include "kelvane_platform/backtrace.hpp"

#include <execinfo.h>

#include <algorithm>
#include <cstdio>

#include <cstdlib>
#include <memory>

#include "kelvane_platform/compiler.hpp"

namespace kelvane_platform {
namespace {

constexpr int kMaxFrames = 64;

// "binary(mangled+0x1f) [0x4011d6]" -> "demangled+0x1f at binary [0x4011d6]"
std::string describe_frame(const char* symbol) {
  const std::string text(symbol);
  const std::size_t open = text.find('(');
  const std::size_t plus = text.find('+', open == std::string::npos ? 0 : open);
  const std::size_t close = text.find(')', open == std::string::npos ? 0 : open);
  if (open == std::string::npos || plus == std::string::npos || close == std::string::npos ||
      plus > close || plus == open + 1) {
    return text;
  }
  const std::string mangled = text.substr(open + 1, plus - open - 1);
  return demangle(mangled.c_str()) + text.substr(plus, close - plus) + " at " +
         text.substr(0, open) + text.substr(close + 1);
}

}  // namespace

bool backtraces_available() { return true; }

// Out of line, so that exactly its own frame and its caller's are dropped.
KELVANE_NOINLINE std::vector<void*> capture_backtrace(int skip) {
  void* frames[kMaxFrames];
  const int count = ::backtrace(frames, kMaxFrames);
  const int first = std::min(count, 2 + skip);
  return std::vector<void*>(frames + first, frames + count);
}

std::vector<std::string> describe_frames(std::span<void* const> frames) {
  std::vector<std::string> lines;
  const std::unique_ptr<char*, void (*)(void*)> symbols(
      ::backtrace_symbols(frames.data(), static_cast<int>(frames.size())), std::free);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (symbols) {
      lines.push_back(describe_frame(symbols.get()[i]));
    } else {
      char address[32];
      std::snprintf(address, sizeof address, "%p", frames[i]);
      lines.emplace_back(address);
    }
  }
  return lines;
}

}  // namespace kelvane_platform
