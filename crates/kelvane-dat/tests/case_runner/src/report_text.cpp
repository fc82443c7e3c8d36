#include "internal/report_text.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

namespace case_runner::internal {
namespace {

std::string_view color_code(Color color) {
  switch (color) {
    case Color::Green:
      return "\x1b[32m";
    case Color::Red:
      return "\x1b[31m";
    case Color::Yellow:
      return "\x1b[33m";
  }
  return "";
}

std::string plural(std::size_t count, std::string_view noun) {
  std::string text = std::to_string(count) + " " + std::string(noun);
  if (count != 1) text += 's';
  return text;
}

}  // namespace

std::string colored(std::string_view word, Color color, bool use_color) {
  if (!use_color) return std::string(word);
  return std::string(color_code(color)) + std::string(word) + "\x1b[0m";
}

void write_results_block(OutputSink& out, const std::vector<ReportedCase>& cases,
                         std::string_view title) {
  const std::string heading = "\n" + std::string(title) + ":\n";
  std::string text = heading;
  std::string outputs;
  std::vector<std::string_view> names;
  for (const ReportedCase& reported : cases) {
    names.push_back(reported.descriptor->name);
    if (reported.output.empty()) continue;
    outputs += "---- ";
    outputs += reported.descriptor->name;
    outputs += " stdout ----\n";
    outputs += reported.output;
    outputs += '\n';
  }
  if (!outputs.empty()) {
    text += '\n';
    text += outputs;
  }
  text += heading;
  std::sort(names.begin(), names.end());
  for (const std::string_view name : names) {
    text += "    ";
    text += name;
    text += '\n';
  }
  out.write(text);
}

void write_summary_line(OutputSink& out, const RunSummary& summary, bool use_color) {
  std::string text = "\ntest result: ";
  text += summary.success() ? colored("ok", Color::Green, use_color)
                            : colored("FAILED", Color::Red, use_color);
  text += ". " + std::to_string(summary.passed) + " passed; " + std::to_string(summary.failed) +
          " failed; " + std::to_string(summary.ignored) + " ignored; " +
          std::to_string(summary.measured) + " measured; " + std::to_string(summary.filtered_out) +
          " filtered out";
  text += "; finished in " + seconds_text(summary.elapsed.count(), 2) + "s";
  text += "\n\n";
  out.write(text);
}

void write_listing_counts(OutputSink& out, const ListSummary& summary) {
  std::string text;
  if (summary.tests != 0 || summary.benchmarks != 0) text += '\n';
  text += plural(summary.tests, "test") + ", " + plural(summary.benchmarks, "benchmark") + "\n";
  out.write(text);
}

std::string seconds_text(double seconds, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, seconds);
  return buffer;
}

}  // namespace case_runner::internal
