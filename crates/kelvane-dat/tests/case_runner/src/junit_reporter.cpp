#include <charconv>
#include <string>
#include <vector>

#include "internal/report_text.hpp"
#include "internal/reporters.hpp"

namespace case_runner::internal {
namespace {

std::string xml_escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// "a::b::c" -> class "a::b", name "c"; a name without a module path gets the class "crate".
std::pair<std::string, std::string> class_and_name(std::string_view full_name) {
  const std::size_t separator = full_name.rfind("::");
  if (separator == std::string_view::npos) return {"crate", std::string(full_name)};
  return {std::string(full_name.substr(0, separator)),
          std::string(full_name.substr(separator + 2))};
}

// A JUnit XML document written in one piece when the run ends (experimental, with
// -Z unstable-options). Listing prints the pretty listing.
class JunitReporter final : public Reporter {
 public:
  JunitReporter(OutputSink& out, const ReporterSettings& settings)
      : out_(out), settings_(settings) {}

  void case_finished(const CaseResult& result) override { results_.push_back(result); }

  void run_finished(const RunSummary& summary) override {
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?><testsuites>)";
    xml += R"(<testsuite name="test" package="test" id="0" errors="0" failures=")" +
           std::to_string(summary.failed) + R"(" tests=")" + std::to_string(summary.total) +
           R"(" skipped=")" +
           std::to_string(summary.ignored + summary.filtered_out + summary.measured) + R"(" >)";
    for (const CaseResult& result : results_) {
      if (result.outcome == CaseOutcome::Ignored) continue;
      const auto [class_name, name] = class_and_name(result.descriptor->name);
      const double seconds =
          std::chrono::duration<double>(result.exec_time.value_or(std::chrono::nanoseconds{}))
              .count();
      char time[64];
      const auto end = std::to_chars(time, time + sizeof time, seconds);
      xml += R"(<testcase classname=")" + xml_escaped(class_name) + R"(" name=")" +
             xml_escaped(name) + R"(" time=")" + std::string(time, end.ptr) + '"';
      const bool passed = result.outcome == CaseOutcome::Passed;
      if (passed && (result.output.empty() || !settings_.show_output)) {
        xml += "/>";
        continue;
      }
      xml += '>';
      if (result.outcome == CaseOutcome::TimeLimitExceeded) {
        xml += R"(<failure type="timeout"/>)";
      } else if (result.note) {
        xml += R"(<failure message=")" + xml_escaped(*result.note) + R"(" type="assert"/>)";
      } else if (!passed) {
        xml += R"(<failure type="assert"/>)";
      }
      if (!result.output.empty()) {
        xml += "<system-out>" + xml_escaped(result.output) + "</system-out>";
      }
      xml += "</testcase>";
    }
    xml += "<system-out/><system-err/></testsuite></testsuites>\n";
    out_.write(xml);
  }

  void case_listed(const CaseDescriptor& descriptor) override {
    out_.write(std::string(descriptor.name) + ": test\n");
  }

  void listing_finished(const ListSummary& summary) override {
    write_listing_counts(out_, summary);
  }

 private:
  OutputSink& out_;
  ReporterSettings settings_;
  std::vector<CaseResult> results_;
};

}  // namespace

std::unique_ptr<Reporter> make_junit_reporter(OutputSink& out, const ReporterSettings& settings) {
  return std::make_unique<JunitReporter>(out, settings);
}

}  // namespace case_runner::internal
