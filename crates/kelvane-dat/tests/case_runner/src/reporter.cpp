#include "case_runner/reporter.hpp"

#include <cerrno>
#include <fstream>

#include "internal/reporters.hpp"
#include "kelvane_platform/errno_text.hpp"

namespace case_runner {
namespace internal {
namespace {

class LogfileReporter final : public Reporter {
 public:
  explicit LogfileReporter(const std::string& path) : path_(path), file_(path, std::ios::trunc) {
    if (!file_) fail();
  }

  void case_finished(const CaseResult& result) override {
    std::string status;
    switch (result.outcome) {
      case CaseOutcome::Passed:
        status = "ok";
        break;
      case CaseOutcome::Failed:
        status = result.note ? "failed: " + *result.note : "failed";
        break;
      case CaseOutcome::Ignored:
        status = result.descriptor->ignore_message
                     ? "ignored: " + std::string(*result.descriptor->ignore_message)
                     : "ignored";
        break;
      case CaseOutcome::TimeLimitExceeded:
        status = "failed (time limit exceeded)";
        break;
    }
    write(status + " " + std::string(result.descriptor->name) + "\n");
  }

  void case_listed(const CaseDescriptor& descriptor) override {
    write("test " + std::string(descriptor.name) + "\n");
  }

 private:
  void write(const std::string& line) {
    errno = 0;
    file_ << line << std::flush;
    if (!file_) fail();
  }

  [[noreturn]] void fail() const {
    const int code = errno;
    throw OutputError{path_ + ": " +
                      (code != 0 ? kelvane_platform::errno_text(code)
                                 : std::string("cannot write the log file"))};
  }

  std::string path_;
  std::ofstream file_;
};

}  // namespace

std::unique_ptr<Reporter> make_logfile_reporter(const std::string& path) {
  return std::make_unique<LogfileReporter>(path);
}

}  // namespace internal

std::unique_ptr<Reporter> make_reporter(OutputFormat format, OutputSink& out,
                                        const ReporterSettings& settings) {
  switch (format) {
    case OutputFormat::Pretty:
      return internal::make_pretty_reporter(out, settings);
    case OutputFormat::Terse:
      return internal::make_terse_reporter(out, settings);
    case OutputFormat::Json:
      return internal::make_json_reporter(out, settings);
    case OutputFormat::Junit:
      return internal::make_junit_reporter(out, settings);
  }
  return internal::make_pretty_reporter(out, settings);
}

void ReporterGroup::run_started(std::size_t case_count, std::optional<std::uint64_t> shuffle_seed) {
  for (Reporter* listener : listeners_) listener->run_started(case_count, shuffle_seed);
}

void ReporterGroup::case_started(const CaseDescriptor& descriptor) {
  for (Reporter* listener : listeners_) listener->case_started(descriptor);
}

void ReporterGroup::case_still_running(const CaseDescriptor& descriptor,
                                       std::chrono::seconds running_for) {
  for (Reporter* listener : listeners_) listener->case_still_running(descriptor, running_for);
}

void ReporterGroup::case_finished(const CaseResult& result) {
  for (Reporter* listener : listeners_) listener->case_finished(result);
}

void ReporterGroup::run_finished(const RunSummary& summary) {
  for (Reporter* listener : listeners_) listener->run_finished(summary);
}

void ReporterGroup::listing_started() {
  for (Reporter* listener : listeners_) listener->listing_started();
}

void ReporterGroup::case_listed(const CaseDescriptor& descriptor) {
  for (Reporter* listener : listeners_) listener->case_listed(descriptor);
}

void ReporterGroup::listing_finished(const ListSummary& summary) {
  for (Reporter* listener : listeners_) listener->listing_finished(summary);
}

}  // namespace case_runner
