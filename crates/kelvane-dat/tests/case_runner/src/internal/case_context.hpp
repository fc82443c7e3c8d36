#pragma once

// Per-thread state of the case running on the current thread. The runner installs it for
// the duration of a case body; the check functions and case_output() consult it.

#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace case_runner::internal {

struct CaseContext {
  // What case_output() returns on this thread.
  std::ostream* output = nullptr;
  // Whether a failing check records the call stack that raised it.
  bool record_backtrace = false;
  // Return addresses of the latest failed check on this thread (innermost first).
  std::vector<void*> backtrace;
};

// The context of the case running on this thread, or nullptr outside any case.
CaseContext* current_case_context();

// Installs `context` on this thread for the lifetime of the guard.
class ScopedCaseContext {
 public:
  explicit ScopedCaseContext(CaseContext& context);
  ~ScopedCaseContext();
  ScopedCaseContext(const ScopedCaseContext&) = delete;
  ScopedCaseContext& operator=(const ScopedCaseContext&) = delete;

 private:
  CaseContext* previous_;
};

// Renders return addresses as "stack backtrace:" followed by one numbered, demangled
// frame per line.
std::string render_backtrace(std::span<void* const> frames);

}  // namespace case_runner::internal
