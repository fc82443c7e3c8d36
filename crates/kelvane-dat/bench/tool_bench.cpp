// kelvane-dat end to end: diff comparing two large archives by content against verify of both,
// which reads every file of each archive once too; and a translation's round trip (strings export
// then strings import) of a large archive against verify of it.

#include <filesystem>
#include <string>

#include "bench_data.hpp"
#include "bench_registry.hpp"
#include "child_process.hpp"
#include "figures.hpp"

namespace kelvane_dat::bench {

namespace {

// Two versions of the sample archive, 100 and 99 times its content: the first tables are the same
// in both, the other files changed, the larger one has files the other lacks.
constexpr unsigned kOldScale = 99;
constexpr unsigned kNewScale = 100;

// The time is the tool's CPU time, so warming the page cache in the loop does not count.
void tool_diff(benchmark::State& state) {
  const std::string old_archive = sample_archive(kOldScale).string();
  const std::string new_archive = sample_archive(kNewScale).string();
  const ChildRun run{.program = KELVANE_DAT_TOOL,
                     .args = {"diff", old_archive, new_archive},
                     .environment = {},
                     .accepted_statuses = {1}};
  for (auto _ : state) {
    warm_page_cache(old_archive);
    warm_page_cache(new_archive);
    const std::optional<double> seconds = cpu_seconds_of(run);
    if (!seconds) return state.SkipWithError("kelvane-dat diff failed");
    state.SetIterationTime(*seconds);
  }
  state.counters[kSecondsPerRun] = item_counter(state, 1, /*inverted=*/true);
}

void tool_verify_both(benchmark::State& state) {
  const std::string archives[] = {sample_archive(kOldScale).string(),
                                  sample_archive(kNewScale).string()};
  for (auto _ : state) {
    double total = 0;
    for (const std::string& archive : archives) {
      warm_page_cache(archive);
      const std::optional<double> seconds = cpu_seconds_of({.program = KELVANE_DAT_TOOL,
                                                            .args = {"verify", archive},
                                                            .environment = {},
                                                            .accepted_statuses = {0}});
      if (!seconds) return state.SkipWithError("kelvane-dat verify failed");
      total += *seconds;
    }
    state.SetIterationTime(total);
  }
  state.counters[kSecondsPerRun] = item_counter(state, 1, /*inverted=*/true);
}

// Export to `format`, then import that file into a new archive: every table decoded twice,
// re-encoding nothing (the translation is empty) and copying every file into the new archive.
void tool_strings_round_trip(benchmark::State& state, const std::string& format) {
  const std::filesystem::path archive = sample_archive(kNewScale);
  const std::string translation =
      (archive.parent_path() / ("strings_round_trip." + format)).string();
  const std::string copy = (archive.parent_path() / "strings_round_trip.dat").string();
  const ChildRun steps[] = {
      {.program = KELVANE_DAT_TOOL,
       .args = {"strings", "export", archive.string(), "-f", format, "-o", translation},
       .environment = {},
       .accepted_statuses = {0}},
      {.program = KELVANE_DAT_TOOL,
       .args = {"strings", "import", archive.string(), translation, "-o", copy},
       .environment = {},
       .accepted_statuses = {0}}};
  for (auto _ : state) {
    warm_page_cache(archive);
    double total = 0;
    for (const ChildRun& step : steps) {
      const std::optional<double> seconds = cpu_seconds_of(step);
      if (!seconds) return state.SkipWithError("kelvane-dat strings export or import failed");
      total += *seconds;
    }
    state.SetIterationTime(total);
  }
  std::filesystem::remove(translation);
  std::filesystem::remove(copy);
  state.counters[kSecondsPerRun] = item_counter(state, 1, /*inverted=*/true);
}

void tool_verify(benchmark::State& state) {
  const std::string archive = sample_archive(kNewScale).string();
  const ChildRun run{.program = KELVANE_DAT_TOOL,
                     .args = {"verify", archive},
                     .environment = {},
                     .accepted_statuses = {0}};
  for (auto _ : state) {
    warm_page_cache(archive);
    const std::optional<double> seconds = cpu_seconds_of(run);
    if (!seconds) return state.SkipWithError("kelvane-dat verify failed");
    state.SetIterationTime(*seconds);
  }
  state.counters[kSecondsPerRun] = item_counter(state, 1, /*inverted=*/true);
}

}  // namespace

void register_tool_benchmarks() {
  constexpr const char* kDiff = "tool/diff_x99_x100";
  constexpr const char* kVerifyBoth = "tool/verify_x99_and_x100";
  constexpr const char* kVerify = "tool/verify_x100";
  for (const auto& [name, function] :
       {std::pair{kDiff, &tool_diff}, std::pair{kVerifyBoth, &tool_verify_both},
        std::pair{kVerify, &tool_verify}}) {
    benchmark::RegisterBenchmark(name, function)
        ->UseManualTime()
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
  }
  // Diff reads what verify reads of both archives and compares instead of checking.
  add_figure({"kelvane-dat diff, 99x against 100x sample archive", kDiff, kVerifyBoth,
              "verify of both", kSecondsPerRun, Unit::Milliseconds, Goal{.ratio_at_most = 1.2}});
  // A translation's round trip reads every table twice and writes the whole archive anew, in each
  // format translators get (the extension tells import the format).
  for (const std::string format : {"po", "xliff", "csv", "json"}) {
    const std::string name = "tool/strings_export_import_x100/" + format;
    benchmark::RegisterBenchmark(name.c_str(), tool_strings_round_trip, format)
        ->UseManualTime()
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    add_figure({"kelvane-dat strings export + import (" + format + "), 100x sample archive", name,
                kVerify, "verify of it", kSecondsPerRun, Unit::Milliseconds,
                Goal{.ratio_at_most = 3.0}});
  }
}

}  // namespace kelvane_dat::bench
