#include "internal/case_execution.hpp"

#include <chrono>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "case_runner/check.hpp"
#include "case_runner/debug_repr.hpp"
#include "internal/case_context.hpp"
#include "kelvane_platform/backtrace.hpp"
#include "kelvane_platform/compiler.hpp"
#include "kelvane_platform/threads.hpp"

namespace case_runner::internal {
namespace {

constexpr std::string_view kBacktraceNote =
    "note: run with `KELVANE_BACKTRACE=1` environment variable to display a backtrace\n";
constexpr std::string_view kNoBacktraceNote =
    "note: stack backtraces are not available in this build; `KELVANE_BACKTRACE` has no effect\n";

// Under --no-capture: collects what a case writes and hands it to the shared sink a line
// at a time, so lines of concurrent cases do not interleave mid-line.
class LineForwardingBuffer final : public std::streambuf {
 public:
  explicit LineForwardingBuffer(OutputSink& sink) : sink_(sink) {}
  ~LineForwardingBuffer() override { forward(); }

  LineForwardingBuffer(const LineForwardingBuffer&) = delete;
  LineForwardingBuffer& operator=(const LineForwardingBuffer&) = delete;

 protected:
  int_type overflow(int_type ch) override {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    pending_ += traits_type::to_char_type(ch);
    if (ch == '\n') forward();
    return ch;
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<std::size_t>(count));
    if (std::string_view(text, static_cast<std::size_t>(count)).find('\n') !=
        std::string_view::npos) {
      forward();
    }
    return count;
  }

  int sync() override {
    forward();
    return 0;
  }

 private:
  void forward() {
    if (pending_.empty()) return;
    sink_.write_quietly(pending_);
    pending_.clear();
  }

  OutputSink& sink_;
  std::string pending_;
};

class ForwardingStream final : public std::ostream {
 public:
  explicit ForwardingStream(OutputSink& sink) : std::ostream(nullptr), buffer_(sink) {
    rdbuf(&buffer_);
  }

 private:
  LineForwardingBuffer buffer_;
};

struct Failure {
  std::string message;
  // False when the exception carried no text (not a check, not a std::exception).
  bool has_text = true;
  std::string location;
  std::vector<void*> backtrace;
};

std::string describe_location(std::string_view file, std::uint_least32_t line,
                              std::uint_least32_t column) {
  return std::string(file) + ":" + std::to_string(line) + ":" + std::to_string(column);
}

std::string current_exception_type_name() {
  const std::type_info* type = kelvane_platform::current_exception_type();
  if (type == nullptr) return "unknown";
  return kelvane_platform::demangle(type->name());
}

std::optional<Failure> run_body(const CaseDescriptor& descriptor, CaseContext& context) {
  // An exception from outside the checks has no location of its own: use the case's name.
  const std::string case_location =
      describe_location(descriptor.source_file, descriptor.start_line, descriptor.start_col);
  const ScopedCaseContext scope(context);
  try {
    if (descriptor.entry == nullptr) {
      return Failure{"case has no entry function", true, case_location, {}};
    }
    descriptor.entry();
    return std::nullopt;
  } catch (const CheckFailure& failure) {
    return Failure{failure.message, true,
                   describe_location(failure.location.file_name(), failure.location.line(),
                                     failure.location.column()),
                   std::move(context.backtrace)};
  } catch (const kelvane_platform::ForcedUnwind&) {
    throw;  // thread cancellation must unwind
  } catch (const std::exception& error) {
    return Failure{error.what(), true, case_location, {}};
  } catch (...) {
    return Failure{"exception of type `" + current_exception_type_name() + "` escaped the case",
                   false,
                   case_location,
                   {}};
  }
}

std::string failure_report(const CaseDescriptor& descriptor, const Failure& failure,
                           const ExecutionSettings& settings) {
  std::string report = "\nthread '" + std::string(descriptor.name) + "' (" +
                       std::to_string(kelvane_platform::current_thread_id()) + ") panicked at " +
                       failure.location + ":\n" + failure.message + "\n";
  const bool available = kelvane_platform::backtraces_available();
  if (settings.backtrace && available) {
    report += render_backtrace(failure.backtrace);
  } else if (settings.backtrace_note_pending != nullptr &&
             settings.backtrace_note_pending->exchange(false)) {
    report += available ? kBacktraceNote : kNoBacktraceNote;
  }
  return report;
}

// Why the outcome contradicts the expected failure, or nullopt when it matches.
std::optional<std::string> judge(const CaseDescriptor& descriptor,
                                 const std::optional<Failure>& failure) {
  const ExpectedFailure& expected = descriptor.expected_failure;
  switch (expected.kind) {
    case ExpectedFailureKind::None:
      return std::nullopt;
    case ExpectedFailureKind::Any:
    case ExpectedFailureKind::WithMessage:
      break;
  }
  if (!failure) {
    return "test did not panic as expected at " +
           describe_location(descriptor.source_file, descriptor.start_line, descriptor.start_col);
  }
  if (expected.kind == ExpectedFailureKind::Any) return std::nullopt;
  if (!failure->has_text) {
    return "expected panic with string value,\n found non-string value: `" + failure->message +
           "`\n     expected substring: `" + debug_repr(expected.required_message) + "`";
  }
  if (failure->message.find(expected.required_message) != std::string::npos) return std::nullopt;
  return "panic did not contain expected string\n      panic message: `" +
         debug_repr(failure->message) + "`,\n expected substring: `" +
         debug_repr(expected.required_message) + "`";
}

}  // namespace

CaseResult execute_case(const CaseDescriptor& descriptor, const ExecutionSettings& settings) {
  std::ostringstream captured;
  std::optional<ForwardingStream> out_stream;
  std::optional<ForwardingStream> err_stream;
  std::ostream* case_stream = &captured;
  std::ostream* report_stream = &captured;
  if (!settings.capture) {
    case_stream = &out_stream.emplace(*settings.out);
    report_stream = &err_stream.emplace(*settings.err);
  }
  CaseContext context;
  context.output = case_stream;
  context.record_backtrace = settings.backtrace;

  const auto start = std::chrono::steady_clock::now();
  const std::optional<Failure> failure = run_body(descriptor, context);
  const auto exec_time = std::chrono::steady_clock::now() - start;

  if (failure) *report_stream << failure_report(descriptor, *failure, settings) << std::flush;
  case_stream->flush();

  CaseResult result;
  result.descriptor = &descriptor;
  result.exec_time = std::chrono::duration_cast<std::chrono::nanoseconds>(exec_time);
  result.note = judge(descriptor, failure);
  const bool expected_to_fail = descriptor.expected_failure.kind != ExpectedFailureKind::None;
  const bool passed = result.note ? false : (expected_to_fail || !failure);
  result.outcome = passed ? CaseOutcome::Passed : CaseOutcome::Failed;
  result.output = std::move(captured).str();
  if (result.note) result.output += "note: " + *result.note;
  return result;
}

CaseResult ignored_result(const CaseDescriptor& descriptor) {
  CaseResult result;
  result.descriptor = &descriptor;
  result.outcome = CaseOutcome::Ignored;
  return result;
}

}  // namespace case_runner::internal
