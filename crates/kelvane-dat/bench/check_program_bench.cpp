// The check program end to end, as a user runs it: on the sample archive and on one 100 times its
// size, against the program's start-up with no archive to check.

#include <string>

#include "bench_data.hpp"
#include "bench_registry.hpp"
#include "child_process.hpp"
#include "figures.hpp"

namespace kelvane_dat::bench {

namespace {

// Runs the check program with `archive` as KELVANE_LOCAL_DAT (none when empty), its output
// discarded, and returns the CPU seconds it used, or a negative value when it failed.
double run_check_program(const std::filesystem::path& archive) {
  ChildRun run{
      .program = KELVANE_CHECK_PROGRAM, .args = {}, .environment = {}, .accepted_statuses = {0}};
  if (!archive.empty()) run.environment.push_back("KELVANE_LOCAL_DAT=" + archive.string());
  return cpu_seconds_of(run).value_or(-1);
}

// `scale` 0 runs without an archive.
void check_program(benchmark::State& state, unsigned scale) {
  const std::filesystem::path archive =
      scale == 0 ? std::filesystem::path() : sample_archive(scale);
  if (!archive.empty()) warm_page_cache(archive);
  for (auto _ : state) {
    const double seconds = run_check_program(archive);
    if (seconds < 0) return state.SkipWithError("the check program failed");
    state.SetIterationTime(seconds);
  }
  state.counters[kSecondsPerRun] = item_counter(state, 1, /*inverted=*/true);
}

}  // namespace

void register_check_program_benchmarks() {
  struct Run {
    unsigned scale;
    const char* name;
    int iterations;
  };
  constexpr Run kRuns[] = {{0, "check_program/no_archive", 20},
                           {1, "check_program/sample", 20},
                           {100, "check_program/sample_x100", 2}};
  for (const Run& run : kRuns) {
    benchmark::RegisterBenchmark(run.name, check_program, run.scale)
        ->UseManualTime()
        ->Iterations(run.iterations)
        ->Unit(benchmark::kMillisecond);
  }
  add_figure({"check program, sample archive", kRuns[1].name, kRuns[0].name,
              "check program, no archive", kSecondsPerRun, Unit::Milliseconds, std::nullopt});
  add_figure({"check program, 100x sample archive", kRuns[2].name, kRuns[1].name,
              "check program, sample", kSecondsPerRun, Unit::Milliseconds, std::nullopt});
}

}  // namespace kelvane_dat::bench
