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
               "\nFigures: medians of %d repetitions, each against its baseline measured in the\n"
               "same run; rates per CPU-second, and per wall-clock second where shown. Machine:\n"
               "%s.\n\n",
               std::max(repetitions_, 1), machine_description().c_str());
  std::fprintf(out, "%-64s %-28s %19s %19s %7s  %9s %9s %7s  %s\n", "figure", "baseline",
               "CPU: median", "baseline", "ratio", "wall: med", "baseline", "ratio", "goal");
  std::size_t shown = 0;
  std::size_t judged = 0;
  std::size_t missed = 0;
  for (const Figure& figure : figures()) {
    // A filtered run shows and judges only the figures whose benchmark and baseline it measured.
    const auto value = median(figure.benchmark, figure.counter, figure.unit);
    if (!value) continue;
    if (figure.baseline.empty()) {
      std::fprintf(out, "%-64s %-28s %10.3f %-8s\n", figure.label.c_str(), "", *value,
                   unit_name(figure.unit));
      ++shown;
      continue;
    }
    const auto base_value = median(figure.baseline, figure.counter, figure.unit);
    if (!base_value) continue;
    ++shown;
    const double ratio = *value / *base_value;

    std::string wall_text;
    std::optional<double> wall_ratio;
    if (figure.wall_clock) {
      const auto wall = median(figure.benchmark, kWallBytesPerSecond, figure.unit);
      const auto wall_base = median(figure.baseline, kWallBytesPerSecond, figure.unit);
      if (wall && wall_base) {
        wall_ratio = *wall / *wall_base;
        char part[64];
        std::snprintf(part, sizeof part, "%9.3f %9.3f %6.2fx", *wall, *wall_base, *wall_ratio);
        wall_text = part;
      }
    }

    std::string goal_text;
    if (figure.goal) {
      const bool on_wall = figure.goal->on_wall_clock;
      if (on_wall && !wall_ratio) {
        goal_text = "no wall-clock rate to judge";
      } else {
        const auto [met, text] = judge(*figure.goal, on_wall ? *wall_ratio : ratio, *value);
        goal_text = text + (on_wall ? " (wall)" : "") + (met ? "  met" : "  MISSED");
        ++judged;
        if (!met) ++missed;
      }
    }
    std::fprintf(out, "%-64s %-28s %10.3f %-8s %10.3f %-8s %6.2fx  %-27s  %s\n",
                 figure.label.c_str(), figure.baseline_label.c_str(), *value,
                 unit_name(figure.unit), *base_value, unit_name(figure.unit), ratio,
                 wall_text.c_str(), goal_text.c_str());
  }
  if (shown == 0) {
    std::fprintf(out, "\nNo figures: no benchmark this run measured has its baseline in it.\n");
  } else if (judged == 0) {
    std::fprintf(out, "\nNo goal among these figures.\n");
  } else if (missed == 0) {
    std::fprintf(out, "\nEvery goal met (%zu judged).\n", judged);
  } else {
    std::fprintf(out, "\nSome goals MISSED (%zu of %zu judged).\n", missed, judged);
  }
  std::fflush(out);
}

}  // namespace kelvane_dat::bench
