#include "case_runner/check.hpp"

#include <cstdio>
#include <iostream>
#include <utility>

#include "internal/case_context.hpp"
#include "kelvane_platform/backtrace.hpp"
#include "kelvane_platform/compiler.hpp"

namespace case_runner {
namespace internal {
namespace {

thread_local CaseContext* tls_context = nullptr;

// Not inlined, so that exactly one frame (its own) is skipped.
KELVANE_NOINLINE void record_backtrace_if_wanted() {
  CaseContext* context = tls_context;
  if (context == nullptr || !context->record_backtrace) return;
  context->backtrace = kelvane_platform::capture_backtrace(0);
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
  const std::vector<std::string> lines = kelvane_platform::describe_frames(frames);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "%4zu: ", i);
    out += number;
    out += lines[i];
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
