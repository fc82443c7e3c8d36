#pragma once

// Pieces of report text shared by the reporters.

#include <string>
#include <string_view>
#include <vector>

#include "case_runner/output_sink.hpp"
#include "case_runner/reporter.hpp"

namespace case_runner::internal {

enum class Color { Green, Red, Yellow };

// `word` wrapped in the ANSI colour sequence when `use_color` is set.
std::string colored(std::string_view word, Color color, bool use_color);

// The "successes" or "failures" block printed after the last case.
void write_results_block(OutputSink& out, const std::vector<ReportedCase>& cases,
                         std::string_view title);

// "\ntest result: ok. 1 passed; ...; finished in 0.01s\n\n"
void write_summary_line(OutputSink& out, const RunSummary& summary, bool use_color);

// The listing's closing lines: "\n" (when anything was listed) and "1 test, 0 benchmarks\n".
void write_listing_counts(OutputSink& out, const ListSummary& summary);

// Seconds with `decimals` decimals, e.g. seconds_text(0.123456, 2) == "0.12".
std::string seconds_text(double seconds, int decimals);

}  // namespace case_runner::internal
