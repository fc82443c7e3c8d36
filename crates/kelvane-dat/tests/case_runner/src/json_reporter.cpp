#include <charconv>
#include <cstdio>
#include <string>

#include "internal/reporters.hpp"

namespace case_runner::internal {
namespace {

// The report format the check program's JSON output follows prescribes this escaping (lower-case
// \u00xx, DEL escaped too, every other byte as it is), so it stays its own and does not share the
// tool's JSON serializer, whose output is meant to agree with no report.
std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string json_seconds(std::chrono::nanoseconds duration) {
  char buffer[64];
  const double seconds = std::chrono::duration<double>(duration).count();
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed);
  return std::string(buffer, end.ptr);
}

// One JSON object per line (experimental, with -Z unstable-options): suite and test events
// with "type" and "event" members, in the style of other test harnesses' json output.
class JsonReporter final : public Reporter {
 public:
  JsonReporter(OutputSink& out, const ReporterSettings& settings)
      : out_(out), settings_(settings) {}

  void run_started(std::size_t case_count, std::optional<std::uint64_t> shuffle_seed) override {
    std::string line =
        R"({ "type": "suite", "event": "started", "test_count": )" + std::to_string(case_count);
    if (shuffle_seed) line += R"(, "shuffle_seed": )" + std::to_string(*shuffle_seed);
    out_.write(line + " }\n");
  }

  void case_started(const CaseDescriptor& descriptor) override {
    out_.write(R"({ "type": "test", "event": "started", "name": )" + json_string(descriptor.name) +
               " }\n");
  }

  void case_still_running(const CaseDescriptor& descriptor, std::chrono::seconds) override {
    out_.write(R"({ "type": "test", "event": "timeout", "name": )" + json_string(descriptor.name) +
               " }\n");
  }

  void case_finished(const CaseResult& result) override {
    const CaseDescriptor& descriptor = *result.descriptor;
    std::string line =
        R"({ "type": "test", "name": )" + json_string(descriptor.name) + R"(, "event": ")";
    line += result.outcome == CaseOutcome::Passed    ? "ok"
            : result.outcome == CaseOutcome::Ignored ? "ignored"
                                                     : "failed";
    line += '"';
    if (settings_.report_time && result.exec_time) {
      line += R"(, "exec_time": )" + json_seconds(*result.exec_time);
    }
    const bool show_stdout = result.outcome != CaseOutcome::Passed || settings_.show_output;
    if (result.outcome != CaseOutcome::Ignored && show_stdout && !result.output.empty()) {
      line += R"(, "stdout": )" + json_string(result.output);
    }
    if (result.outcome == CaseOutcome::TimeLimitExceeded) {
      line += R"(, "reason": "time limit exceeded")";
    } else if (result.note) {
      line += R"(, "message": )" + json_string(*result.note);
    } else if (result.outcome == CaseOutcome::Ignored && descriptor.ignore_message) {
      line += R"(, "message": )" + json_string(*descriptor.ignore_message);
    }
    out_.write(line + " }\n");
  }

  void run_finished(const RunSummary& summary) override {
    std::string line = R"({ "type": "suite", "event": ")";
    line += summary.success() ? "ok" : "failed";
    line += R"(", "passed": )" + std::to_string(summary.passed) + R"(, "failed": )" +
            std::to_string(summary.failed) + R"(, "ignored": )" + std::to_string(summary.ignored) +
            R"(, "measured": )" + std::to_string(summary.measured) + R"(, "filtered_out": )" +
            std::to_string(summary.filtered_out) + R"(, "exec_time": )" +
            json_seconds(std::chrono::duration_cast<std::chrono::nanoseconds>(summary.elapsed));
    out_.write(line + " }\n");
  }

  void listing_started() override {
    out_.write("{ \"type\": \"suite\", \"event\": \"discovery\" }\n");
  }

  void case_listed(const CaseDescriptor& descriptor) override {
    std::string line =
        R"({ "type": "test", "event": "discovered", "name": )" + json_string(descriptor.name);
    line += R"(, "ignore": )";
    line += descriptor.ignored ? "true" : "false";
    line += R"(, "ignore_message": )" + json_string(descriptor.ignore_message.value_or(""));
    line += R"(, "source_path": )" + json_string(descriptor.source_file);
    line += R"(, "start_line": )" + std::to_string(descriptor.start_line);
    line += R"(, "start_col": )" + std::to_string(descriptor.start_col);
    line += R"(, "end_line": )" + std::to_string(descriptor.end_line);
    line += R"(, "end_col": )" + std::to_string(descriptor.end_col);
    out_.write(line + " }\n");
  }

  void listing_finished(const ListSummary& summary) override {
    out_.write(R"({ "type": "suite", "event": "completed", "tests": )" +
               std::to_string(summary.tests) + R"(, "benchmarks": )" +
               std::to_string(summary.benchmarks) + R"(, "total": )" +
               std::to_string(summary.tests + summary.benchmarks) + R"(, "ignored": )" +
               std::to_string(summary.ignored) + " }\n");
  }

 private:
  OutputSink& out_;
  ReporterSettings settings_;
};

}  // namespace

std::unique_ptr<Reporter> make_json_reporter(OutputSink& out, const ReporterSettings& settings) {
  return std::make_unique<JsonReporter>(out, settings);
}

}  // namespace case_runner::internal
