#include <string>

#include "internal/report_text.hpp"
#include "internal/reporters.hpp"

namespace case_runner::internal {
namespace {

// One line per case: "test NAME ... ok". With one thread the name is printed when the case
// starts, so a hanging case can be seen; with several, the whole line when it ends.
class PrettyReporter final : public Reporter {
 public:
  PrettyReporter(OutputSink& out, const ReporterSettings& settings)
      : out_(out), settings_(settings) {}

  void run_started(std::size_t case_count, std::optional<std::uint64_t> shuffle_seed) override {
    std::string text =
        "\nrunning " + std::to_string(case_count) + (case_count == 1 ? " test" : " tests");
    if (shuffle_seed) text += " (shuffle seed: " + std::to_string(*shuffle_seed) + ")";
    out_.write(text + "\n");
  }

  void case_started(const CaseDescriptor& descriptor) override {
    if (!settings_.multithreaded) out_.write(name_part(descriptor));
  }

  void case_still_running(const CaseDescriptor& descriptor,
                          std::chrono::seconds running_for) override {
    out_.write("test " + std::string(descriptor.name) + " has been running for over " +
               std::to_string(running_for.count()) + " seconds\n");
  }

  void case_finished(const CaseResult& result) override {
    std::string text = settings_.multithreaded ? name_part(*result.descriptor) : std::string();
    const bool color = settings_.use_color;
    switch (result.outcome) {
      case CaseOutcome::Passed:
        text += colored("ok", Color::Green, color);
        break;
      case CaseOutcome::Failed:
        text += colored("FAILED", Color::Red, color);
        break;
      case CaseOutcome::Ignored:
        text += colored(result.descriptor->ignore_message
                            ? "ignored, " + std::string(*result.descriptor->ignore_message)
                            : std::string("ignored"),
                        Color::Yellow, color);
        break;
      case CaseOutcome::TimeLimitExceeded:
        text += colored("FAILED (time limit exceeded)", Color::Red, color);
        break;
    }
    if (settings_.report_time && result.exec_time) {
      const double seconds = std::chrono::duration<double>(*result.exec_time).count();
      text += " <" + seconds_text(seconds, 3) + "s>";
    }
    out_.write(text + "\n");
  }

  void run_finished(const RunSummary& summary) override {
    if (settings_.show_output) write_results_block(out_, summary.successes, "successes");
    if (!summary.success()) {
      if (!summary.failures.empty()) write_results_block(out_, summary.failures, "failures");
      if (!summary.time_failures.empty()) {
        write_results_block(out_, summary.time_failures, "failures (time limit exceeded)");
      }
    }
    write_summary_line(out_, summary, settings_.use_color);
  }

  void case_listed(const CaseDescriptor& descriptor) override {
    out_.write(std::string(descriptor.name) + ": test\n");
  }

  void listing_finished(const ListSummary& summary) override {
    write_listing_counts(out_, summary);
  }

 private:
  static std::string name_part(const CaseDescriptor& descriptor) {
    return "test " + std::string(descriptor.name) + " ... ";
  }

  OutputSink& out_;
  ReporterSettings settings_;
};

}  // namespace

std::unique_ptr<Reporter> make_pretty_reporter(OutputSink& out, const ReporterSettings& settings) {
  return std::make_unique<PrettyReporter>(out, settings);
}

}  // namespace case_runner::internal
