#pragma once

// The concrete reporters behind make_reporter(), and the log file listener.

#include <memory>
#include <string>

#include "case_runner/output_sink.hpp"
#include "case_runner/reporter.hpp"

namespace case_runner::internal {

std::unique_ptr<Reporter> make_pretty_reporter(OutputSink& out, const ReporterSettings& settings);
std::unique_ptr<Reporter> make_terse_reporter(OutputSink& out, const ReporterSettings& settings);
std::unique_ptr<Reporter> make_json_reporter(OutputSink& out, const ReporterSettings& settings);
std::unique_ptr<Reporter> make_junit_reporter(OutputSink& out, const ReporterSettings& settings);

// --logfile: one line per result ("ok NAME", "failed NAME", "ignored NAME"...) or, while
// listing, "test NAME". Throws OutputError when the file cannot be created.
std::unique_ptr<Reporter> make_logfile_reporter(const std::string& path);

}  // namespace case_runner::internal
