#include "case_runner/check.hpp"

#include <cxxabi.h>
#include <execinfo.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <utility>

#include "internal/case_context.hpp"

namespace case_runner {
namespace internal {
namespace {

thread_local CaseContext* tls_context = nullptr;

constexpr int kMaxFrames = 64;

// Not inlined, so that exactly one frame (its own) is skipped.
[[gnu::noinline]] void record_backtrace_if_wanted() {
  CaseContext* context = tls_context;
  if (context == nullptr || !context->record_backtrace) return;
  void* frames[kMaxFrames];
  const int count = ::backtrace(frames, kMaxFrames);
  const int skip = count > 1 ? 1 : 0;
  context->backtrace.assign(frames + skip, frames + count);
}

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
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status), std::free);
  const std::string name = status == 0 && demangled ? std::string(demangled.get()) : mangled;
  return name + text.substr(plus, close - plus) + " at " + text.substr(0, open) +
         text.substr(close + 1);
}

}  // namespace

CaseContext* current_case_context() { return tls_context; }

ScopedCaseContext::ScopedCaseContext(CaseContext& context) : previous_(tls_context) {
  tls_context = &context;
}

ScopedCaseContext::~ScopedCaseContext() { tls_context = previous_; }

std::string render_backtrace(std::span<void* const> frames) {
  std::string out = "stack backtrace:\n";
  if (frames.empty()) {
    out += "     (no frames recorded: the failure was not raised by a check)\n";
    return out;
  }
  std::unique_ptr<char*, void (*)(void*)> symbols(
      ::backtrace_symbols(frames.data(), static_cast<int>(frames.size())), std::free);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "%4zu: ", i);
    out += number;
    if (symbols) {
      out += describe_frame(symbols.get()[i]);
    } else {
      char address[32];
      std::snprintf(address, sizeof address, "%p", frames[i]);
      out += address;
    }
    out += '\n';
  }
  return out;
}

}  // namespace internal

void fail(std::string message, std::source_location where) {
  internal::record_backtrace_if_wanted();
  throw CheckFailure{std::move(message), where};
}

std::ostream& case_output() {
  const internal::CaseContext* context = internal::tls_context;
  if (context != nullptr && context->output != nullptr) return *context->output;
  return std::cout;
}

namespace detail {

void fail_comparison(std::string_view op, const std::string* message, const std::string& left,
                     const std::string& right, std::source_location where) {
  std::string text = "assertion `left ";
  text += op;
  text += " right` failed";
  if (message != nullptr) {
    text += ": ";
    text += *message;
  }
  text += "\n  left: ";
  text += left;
  text += "\n right: ";
  text += right;
  fail(std::move(text), where);
}

}  // namespace detail
}  // namespace case_runner
