#include "case_runner/runner.hpp"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "internal/reporters.hpp"
#include "kelvane_platform/command_line.hpp"
#include "kelvane_platform/console.hpp"

namespace case_runner {
namespace {

// The single place where colour is decided.
bool should_use_color(const Options& options, const RunnerIo& io) {
  switch (options.color) {
    case ColorChoice::Auto:
      return !options.no_capture && io.out_is_terminal;
    case ColorChoice::Always:
      return true;
    case ColorChoice::Never:
      return false;
  }
  return false;
}

void list_cases(const Selection& selection, Reporter& reporter) {
  ListSummary summary;
  reporter.listing_started();
  for (const SelectedCase& selected : selection.cases) {
    ++summary.tests;
    if (selected.ignored) ++summary.ignored;
    reporter.case_listed(*selected.descriptor);
  }
  reporter.listing_finished(summary);
}

int run_parsed(std::span<const CaseDescriptor> registry, const Options& options, RunnerIo& io,
               OutputSink& out, OutputSink& err) {
  if (options.help) {
    out.write(usage_text(options.program));
    return kExitSuccess;
  }
  const Selection selection = select_cases(registry, options);
  ReporterGroup listeners;
  std::unique_ptr<Reporter> logfile;
  if (options.logfile) {
    logfile = internal::make_logfile_reporter(*options.logfile);
    listeners.add(*logfile);
  }
  if (options.list) {
    const auto reporter = make_reporter(options.format, out, ReporterSettings{});
    listeners.add(*reporter);
    list_cases(selection, listeners);
    return kExitSuccess;
  }
  const auto concurrency = resolve_concurrency(options, io);
  if (!concurrency) {
    err.write("error: " + concurrency.error() + "\n");
    return kExitFailure;
  }
  ReporterSettings settings;
  settings.use_color = should_use_color(options, io);
  settings.multithreaded = *concurrency > 1;
  settings.show_output = options.show_output;
  settings.report_time = options.report_time || options.ensure_time;
  const auto reporter = make_reporter(options.format, out, settings);
  listeners.add(*reporter);
  const RunSummary summary =
      run_selection(selection, options, *concurrency, io, RunOutput{out, err, listeners});
  return summary.success() ? kExitSuccess : kExitFailure;
}

}  // namespace

RunnerIo RunnerIo::process() {
  // Reports end lines with "\n" on every system, so the output matches byte for byte.
  kelvane_platform::use_binary_mode(stdout);
  kelvane_platform::use_binary_mode(stderr);
  return RunnerIo{
      .out = std::cout,
      .err = std::cerr,
      .env = kelvane_platform::utf8_environment_variable,
      .out_is_terminal = kelvane_platform::terminal_supports_color(stdout),
  };
}

int run_cases(std::span<const CaseDescriptor> registry, std::span<const std::string_view> args,
              RunnerIo& io) {
  OutputSink out(io.out);
  OutputSink err(io.err);
  const auto options = parse_options(args, io.env);
  if (!options) {
    err.write_quietly("error: " + options.error() + "\n");
    return kExitFailure;
  }
  try {
    return run_parsed(registry, *options, io, out, err);
  } catch (const OutputError& error) {
    err.write_quietly("error: io error when listing tests: " + error.message + "\n");
    return kExitFailure;
  }
}

}  // namespace case_runner
