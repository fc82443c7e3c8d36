#pragma once

// The figures the benchmark command prints: each one a benchmark's median set against the median
// of a baseline measured in the same run, so a noisy shared machine shifts both alike.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kelvane_dat::bench {

// Counters every benchmark of the suite reports, so figures can name them.
inline constexpr const char* kBytesPerSecond = "bytes_per_second";
// The same bytes per wall-clock second, for benchmarks that wait on the disk or run threads.
inline constexpr const char* kWallBytesPerSecond = "wall_bytes_per_second";
inline constexpr const char* kEntriesPerSecond = "entries_per_second";
inline constexpr const char* kSecondsPerEntry = "seconds_per_entry";
inline constexpr const char* kSecondsPerRun = "seconds_per_run";

enum class Unit { BytesPerSecond, EntriesPerSecond, NanosecondsPerEntry, Milliseconds };

// What a figure must reach; values in the figure's printed unit.
struct Goal {
  std::optional<double> ratio_at_least = std::nullopt;
  std::optional<double> ratio_at_most = std::nullopt;
  std::optional<double> value_at_least = std::nullopt;
  std::optional<double> value_at_most = std::nullopt;
  // Judged on the wall-clock rates rather than the CPU-time ones.
  bool on_wall_clock = false;
};

struct Figure {
  std::string label;
  // Benchmark names, as registered; no baseline prints the value alone.
  std::string benchmark;
  std::string baseline;
  std::string baseline_label;
  std::string counter;
  Unit unit = Unit::BytesPerSecond;
  std::optional<Goal> goal;
  // Both benchmarks also report kWallBytesPerSecond, shown beside the CPU-time rates.
  bool wall_clock = false;
};

// Wall-clock time from construction, started just before a benchmark's timed loop.
class WallClock {
 public:
  double seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Sets the bytes_per_second counter from the bytes one iteration handles.
inline void set_bytes_per_iteration(benchmark::State& state, std::uint64_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
}

// Sets bytes_per_second (per CPU-second) and wall_bytes_per_second from the bytes one iteration
// handles and the wall-clock time of the timed loop.
inline void set_rates(benchmark::State& state, std::uint64_t bytes, const WallClock& loop) {
  set_bytes_per_iteration(state, bytes);
  const double total = static_cast<double>(state.iterations()) * static_cast<double>(bytes);
  state.counters[kWallBytesPerSecond] = benchmark::Counter(total / loop.seconds());
}

// `per_iteration` items each iteration, as items per second or, inverted, seconds per item.
inline benchmark::Counter item_counter(const benchmark::State& state, std::uint64_t per_iteration,
                                       bool inverted = false) {
  const double items = static_cast<double>(state.iterations()) * static_cast<double>(per_iteration);
  return benchmark::Counter(items, inverted
                                       ? benchmark::Counter::kIsRate | benchmark::Counter::kInvert
                                       : benchmark::Counter::kIsRate);
}

// Figures print in the order they are added.
void add_figure(Figure figure);

// The console output of Google Benchmark, followed by the table of figures.
class FigureReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  // In the figure's printed unit; nothing when the benchmark did not run.
  std::optional<double> median(const std::string& benchmark, const std::string& counter,
                               Unit unit) const;

  // Median counters by benchmark name.
  std::map<std::string, benchmark::UserCounters> medians_;
  int repetitions_ = 0;
};

}  // namespace kelvane_dat::bench
