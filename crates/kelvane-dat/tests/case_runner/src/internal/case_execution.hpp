#pragma once

// Running one case body on the calling thread, with its output captured.

#include <atomic>
#include <string_view>

#include "case_runner/case_descriptor.hpp"
#include "case_runner/output_sink.hpp"
#include "case_runner/reporter.hpp"

namespace case_runner::internal {

struct ExecutionSettings {
  // Capture the case's output into its result; otherwise it goes to `out` (and the
  // failure report to `err`) as it is written.
  bool capture = true;
  // Print the stack of each failed check instead of the one-line backtrace note.
  bool backtrace = false;
  OutputSink* out = nullptr;
  OutputSink* err = nullptr;
  // Whether the backtrace note is still due in this process.
  std::atomic<bool>* backtrace_note_pending = nullptr;
};

// Runs the case body and judges the outcome against the case's expected failure. Every
// exception the body throws is caught here, so a failure ends only this case.
CaseResult execute_case(const CaseDescriptor& descriptor, const ExecutionSettings& settings);

// The result of a case that is reported as ignored without running.
CaseResult ignored_result(const CaseDescriptor& descriptor);

}  // namespace case_runner::internal
