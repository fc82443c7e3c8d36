#include <string>

#include "internal/report_text.hpp"
#include "internal/reporters.hpp"

namespace case_runner::internal {
namespace {

// Results per line before the progress count " DONE/TOTAL" ends the line.
constexpr std::size_t kResultsPerLine = 88;

// One character per case ('.' passed, 'F' failed, 'i' ignored), then the same failures
// block and summary as the pretty format.
class TerseReporter final : public Reporter {
 public:
  TerseReporter(OutputSink& out, const ReporterSettings& settings)
      : out_(out), settings_(settings) {}

  void run_started(std::size_t case_count, std::optional<std::uint64_t> shuffle_seed) override {
    total_ = case_count;
    std::string text =
        "\nrunning " + std::to_string(case_count) + (case_count == 1 ? " test" : " tests");
    if (shuffle_seed) text += " (shuffle seed: " + std::to_string(*shuffle_seed) + ")";
    out_.write(text + "\n");
  }

  void case_still_running(const CaseDescriptor& descriptor,
                          std::chrono::seconds running_for) override {
    out_.write("test " + std::string(descriptor.name) + " has been running for over " +
               std::to_string(running_for.count()) + " seconds\n");
  }

  void case_finished(const CaseResult& result) override {
    switch (result.outcome) {
      case CaseOutcome::Passed:
        write_short_result(".", Color::Green);
        return;
      case CaseOutcome::Failed:
      case CaseOutcome::TimeLimitExceeded:
        write_short_result("F", Color::Red);
        return;
      case CaseOutcome::Ignored:
        write_short_result("i", Color::Yellow);
        return;
    }
  }

  void run_finished(const RunSummary& summary) override {
    if (settings_.show_output) write_results_block(out_, summary.successes, "successes");
    if (!summary.success()) {
      std::vector<ReportedCase> all = summary.failures;
      all.insert(all.end(), summary.time_failures.begin(), summary.time_failures.end());
      write_results_block(out_, all, "failures");
    }
    write_summary_line(out_, summary, settings_.use_color);
  }

  void case_listed(const CaseDescriptor& descriptor) override {
    out_.write(std::string(descriptor.name) + ": test\n");
  }

 private:
  void write_short_result(std::string_view mark, Color color) {
    std::string text = colored(mark, color, settings_.use_color);
    ++done_;
    if (++column_ == kResultsPerLine) {
      text += " " + std::to_string(done_) + "/" + std::to_string(total_) + "\n";
      column_ = 0;
    }
    out_.write(text);
  }

  OutputSink& out_;
  ReporterSettings settings_;
  std::size_t total_ = 0;
  std::size_t done_ = 0;
  std::size_t column_ = 0;
};

}  // namespace

std::unique_ptr<Reporter> make_terse_reporter(OutputSink& out, const ReporterSettings& settings) {
  return std::make_unique<TerseReporter>(out, settings);
}

}  // namespace case_runner::internal
