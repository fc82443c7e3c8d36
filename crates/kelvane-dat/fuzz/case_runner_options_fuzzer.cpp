// Parses the input as the check program's command line, then selects cases with the result.
//
// Input: one byte saying which of the runner's environment variables are set, then the arguments
// separated by NUL bytes, program path first. Bits 0x10 and 0x20 take the value of their variable
// from the last argument, which then is not an argument.
//
// Properties: parsing returns options or a non-empty message; the program path is kept; a thread
// count is never 0; experimental options only come with -Z unstable-options; selection keeps the
// registry's order and accounts for every case; the thread count resolves to a positive number
// or a message.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "case_runner/case_descriptor.hpp"
#include "case_runner/options.hpp"
#include "case_runner/runner.hpp"
#include "fuzz_check.hpp"

namespace {

using case_runner::CaseDescriptor;
using case_runner::ExpectedFailure;
using kelvane_dat::fuzz::require;

void passes() {}

constexpr CaseDescriptor kRegistry[] = {
    {.name = "alpha::first", .entry = passes},
    {.name = "alpha::second", .ignored = true, .ignore_message = "slow", .entry = passes},
    {.name = "beta::fails", .expected_failure = ExpectedFailure::any(), .entry = passes},
    {.name = "gamma", .entry = passes},
};

struct CommandLine {
  std::vector<std::string> arguments;
  std::vector<std::pair<std::string_view, std::string>> environment;
};

CommandLine split(std::span<const std::uint8_t> bytes) {
  CommandLine line;
  if (bytes.empty()) return line;
  const std::uint8_t variables = bytes[0];
  const std::string_view rest(reinterpret_cast<const char*>(bytes.data() + 1), bytes.size() - 1);
  for (std::size_t start = 0; start <= rest.size();) {
    const std::size_t end = std::min(rest.find('\0', start), rest.size());
    line.arguments.emplace_back(rest.substr(start, end - start));
    start = end + 1;
  }
  auto take_last = [&line]() -> std::string {
    if (line.arguments.size() < 2) return "";
    std::string value = std::move(line.arguments.back());
    line.arguments.pop_back();
    return value;
  };
  if (variables & 0x01) line.environment.emplace_back(case_runner::kUnstableVariable, "1");
  if (variables & 0x02) line.environment.emplace_back(case_runner::kNoCaptureVariable, "1");
  if (variables & 0x04) line.environment.emplace_back(case_runner::kShuffleVariable, "1");
  if (variables & 0x08) line.environment.emplace_back(case_runner::kBacktraceVariable, "0");
  if (variables & 0x10)
    line.environment.emplace_back(case_runner::kShuffleSeedVariable, take_last());
  if (variables & 0x20) line.environment.emplace_back(case_runner::kThreadsVariable, take_last());
  return line;
}

void check_selection(const case_runner::Options& options) {
  const case_runner::Selection selection = case_runner::select_cases(kRegistry, options);
  require(selection.cases.size() + selection.filtered_out == std::size(kRegistry),
          "every case is either selected or filtered out");
  const CaseDescriptor* previous = nullptr;
  for (const case_runner::SelectedCase& selected : selection.cases) {
    require(selected.descriptor >= std::begin(kRegistry) &&
                selected.descriptor < std::end(kRegistry) && selected.descriptor > previous,
            "selected cases come from the registry, in its order, once each");
    previous = selected.descriptor;
    require(!selected.ignored || selected.descriptor->ignored, "only ignored cases are ignored");
    if (options.run_ignored == case_runner::RunIgnored::Only) {
      require(selected.descriptor->ignored, "--ignored selects only ignored cases");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CommandLine line = split(kelvane_dat::fuzz::input_bytes(data, size));
  const std::vector<std::string_view> arguments(line.arguments.begin(), line.arguments.end());
  const case_runner::EnvLookup env = [&line](std::string_view name) -> std::optional<std::string> {
    for (const auto& [variable, value] : line.environment) {
      if (variable == name) return value;
    }
    return std::nullopt;
  };

  const auto options = case_runner::parse_options(arguments, env);
  if (!options) {
    require(!options.error().empty(), "a refused command line says why");
    return 0;
  }
  require(options->program == (arguments.empty() ? "..." : arguments.front()),
          "the program path is kept");
  if (options->help) {
    require(case_runner::usage_text(options->program).find("Usage: ") != std::string::npos,
            "help has a usage line");
    return 0;
  }
  require(!options->test_threads || *options->test_threads > 0, "a thread count is never 0");
  const bool experimental = options->fail_fast || options->report_time || options->ensure_time ||
                            options->force_run_in_process || options->exclude_expected_failures ||
                            options->shuffle_seed.has_value() ||
                            options->format == case_runner::OutputFormat::Json ||
                            options->format == case_runner::OutputFormat::Junit;
  require(!experimental || options->unstable, "experimental options need -Z unstable-options");
  check_selection(*options);

  std::ostringstream out;
  std::ostringstream err;
  case_runner::RunnerIo io{.out = out, .err = err, .env = env};
  io.available_parallelism = [] { return std::optional<std::size_t>(2); };
  const auto concurrency = case_runner::resolve_concurrency(*options, io);
  require(concurrency ? *concurrency > 0 : !concurrency.error().empty(),
          "the thread count is positive, or a message says why not");
  return 0;
}
