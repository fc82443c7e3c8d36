#pragma once

// The events of a run. The runner emits them; reporters (the pretty, terse, json and junit
// formats, and the log file) listen. Every event arrives on the main thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "case_runner/case_descriptor.hpp"
#include "case_runner/options.hpp"
#include "case_runner/output_sink.hpp"

namespace case_runner {

enum class CaseOutcome {
  Passed,
  Failed,
  Ignored,
  // Passed, but ran longer than the time limit under --ensure-time.
  TimeLimitExceeded,
};

struct CaseResult {
  const CaseDescriptor* descriptor = nullptr;
  CaseOutcome outcome = CaseOutcome::Passed;
  // Why a case failed beyond its own failure report (an expected failure that did not
  // come); it is also appended to `output` as "note: {note}".
  std::optional<std::string> note;
  // Everything the case printed while captured, its failure report included.
  std::string output;
  // How long the body ran; absent for a case that did not run.
  std::optional<std::chrono::nanoseconds> exec_time;
};

struct ReportedCase {
  const CaseDescriptor* descriptor = nullptr;
  std::string output;
};

struct RunSummary {
  std::size_t total = 0;  // cases selected
  std::size_t passed = 0;
  std::size_t failed = 0;
  std::size_t ignored = 0;
  std::size_t measured = 0;
  std::size_t filtered_out = 0;
  // In order of completion.
  std::vector<ReportedCase> failures;
  std::vector<ReportedCase> time_failures;
  std::vector<ReportedCase> successes;
  std::chrono::duration<double> elapsed{};

  bool success() const { return failed == 0; }
};

struct ListSummary {
  std::size_t tests = 0;
  std::size_t benchmarks = 0;
  std::size_t ignored = 0;
};

class Reporter {
 public:
  virtual ~Reporter() = default;

  virtual void run_started(std::size_t /*case_count*/,
                           std::optional<std::uint64_t> /*shuffle_seed*/) {}
  // A case is about to start (or, if ignored, to be reported).
  virtual void case_started(const CaseDescriptor& /*descriptor*/) {}
  // A case has been running longer than the notice time.
  virtual void case_still_running(const CaseDescriptor& /*descriptor*/,
                                  std::chrono::seconds /*running_for*/) {}
  virtual void case_finished(const CaseResult& /*result*/) {}
  virtual void run_finished(const RunSummary& /*summary*/) {}

  virtual void listing_started() {}
  virtual void case_listed(const CaseDescriptor& /*descriptor*/) {}
  virtual void listing_finished(const ListSummary& /*summary*/) {}
};

struct ReporterSettings {
  bool use_color = false;
  // More than one case may run at a time: pretty prints each result line whole.
  bool multithreaded = false;
  bool show_output = false;
  // Append each case's execution time to its result line.
  bool report_time = false;
};

// The reporter of an output format, writing to `out`.
std::unique_ptr<Reporter> make_reporter(OutputFormat format, OutputSink& out,
                                        const ReporterSettings& settings);

// Forwards every event to each listener in turn.
class ReporterGroup final : public Reporter {
 public:
  void add(Reporter& listener) { listeners_.push_back(&listener); }

  void run_started(std::size_t case_count, std::optional<std::uint64_t> shuffle_seed) override;
  void case_started(const CaseDescriptor& descriptor) override;
  void case_still_running(const CaseDescriptor& descriptor,
                          std::chrono::seconds running_for) override;
  void case_finished(const CaseResult& result) override;
  void run_finished(const RunSummary& summary) override;
  void listing_started() override;
  void case_listed(const CaseDescriptor& descriptor) override;
  void listing_finished(const ListSummary& summary) override;

 private:
  std::vector<Reporter*> listeners_;
};

}  // namespace case_runner
