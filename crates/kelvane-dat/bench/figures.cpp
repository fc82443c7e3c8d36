#include "figures.hpp"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string_view>
#include <utility>

namespace kelvane_dat::bench {

namespace {

std::vector<Figure>& figures() {
  static std::vector<Figure> all;
  return all;
}

// The value as printed, in the figure's unit.
double printed(double counter, Unit unit) {
  switch (unit) {
    case Unit::BytesPerSecond:
      return counter / 1e9;
    case Unit::EntriesPerSecond:
      return counter / 1e6;
    case Unit::NanosecondsPerEntry:
      return counter * 1e9;
    case Unit::Milliseconds:
      return counter * 1e3;
  }
  std::unreachable();
}

const char* unit_name(Unit unit) {
  switch (unit) {
    case Unit::BytesPerSecond:
      return "GB/s";
    case Unit::EntriesPerSecond:
      return "M/s";
    case Unit::NanosecondsPerEntry:
      return "ns/entry";
    case Unit::Milliseconds:
      return "ms";
  }
  std::unreachable();
}

std::string machine_description() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  std::string model = "unknown CPU";
  while (std::getline(cpuinfo, line)) {
    constexpr std::string_view kKey = "model name";
    if (line.starts_with(kKey)) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  }
  return model + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " CPUs";
}

// Whether the goal is met, and the goal as text.
std::pair<bool, std::string> judge(const Goal& goal, double ratio, double value) {
  bool met = true;
  std::string text;
  auto bound = [&](const std::optional<double>& limit, const char* what, bool at_least,
                   double actual) {
    if (!limit) return;
    char part[64];
    std::snprintf(part, sizeof part, "%s%s %s %.2f", text.empty() ? "" : ", ", what,
                  at_least ? ">=" : "<=", *limit);
    text += part;
    met = met && (at_least ? actual >= *limit : actual <= *limit);
  };
  bound(goal.ratio_at_least, "ratio", true, ratio);
  bound(goal.ratio_at_most, "ratio", false, ratio);
  bound(goal.value_at_least, "value", true, value);
  bound(goal.value_at_most, "value", false, value);
  return {met, text};
}

}  // namespace

void add_figure(Figure figure) { figures().push_back(std::move(figure)); }

void FigureReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred) continue;
    repetitions_ = std::max(repetitions_, static_cast<int>(run.repetitions));
    // A single repetition has no aggregates: its only run is its median.
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (median || (run.run_type == Run::RT_Iteration && run.repetitions <= 1)) {
      // Keyed by the name as registered, without the "/iterations:N" Google Benchmark appends.
      medians_[run.run_name.function_name] = run.counters;
    }
  }
  ConsoleReporter::ReportRuns(runs);
}

std::optional<double> FigureReporter::median(const std::string& benchmark,
                                             const std::string& counter, Unit unit) const {
  const auto run = medians_.find(benchmark);
  if (run == medians_.end()) return std::nullopt;
  const auto found = run->second.find(counter);
  if (found == run->second.end()) return std::nullopt;
  return printed(found->second.value, unit);
}

void FigureReporter::Finalize() {
  ConsoleReporter::Finalize();
  std::FILE* out = stdout;
  std::fflush(out);
  std::fprintf(out,
               "\nFigures: medians of %d repetitions, rates per CPU-second, each against its\n"
               "baseline measured in the same run. Machine: %s.\n\n",
               std::max(repetitions_, 1), machine_description().c_str());
  std::fprintf(out, "%-46s %17s  %-26s %17s %8s  %s\n", "figure", "median", "baseline", "median",
               "ratio", "goal");
  bool all_met = true;
  for (const Figure& figure : figures()) {
    const auto value = median(figure.benchmark, figure.counter, figure.unit);
    if (!value) continue;
    if (figure.baseline.empty()) {
      std::fprintf(out, "%-46s %8.3f %-8s\n", figure.label.c_str(), *value, unit_name(figure.unit));
      continue;
    }
    const auto base_value = median(figure.baseline, figure.counter, figure.unit);
    if (!base_value) continue;
    const double ratio = *value / *base_value;

    std::string goal_text;
    if (figure.goal) {
      const auto [met, text] = judge(*figure.goal, ratio, *value);
      goal_text = text + (met ? "  met" : "  MISSED");
      all_met = all_met && met;
    }
    std::fprintf(out, "%-46s %8.3f %-8s  %-26s %8.3f %-8s %7.2fx  %s\n", figure.label.c_str(),
                 *value, unit_name(figure.unit), figure.baseline_label.c_str(), *base_value,
                 unit_name(figure.unit), ratio, goal_text.c_str());
  }
  std::fprintf(out, "\n%s\n", all_met ? "Every goal met." : "Some goals MISSED.");
  std::fflush(out);
}

}  // namespace kelvane_dat::bench
