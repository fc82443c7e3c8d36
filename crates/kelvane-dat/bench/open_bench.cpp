// Opening archives of 10k, 100k and 1M files: the directory walk and the map it fills.

#include <string>

#include "bench_data.hpp"
#include "bench_registry.hpp"
#include "figures.hpp"
#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::bench {

namespace {

void open_archive_of(benchmark::State& state, std::size_t file_count) {
  const std::filesystem::path& path = open_archive(file_count);
  warm_page_cache(path);
  for (auto _ : state) {
    auto database = DatDatabase::open(path);
    // Closing the handle is not part of opening it.
    state.PauseTiming();
    if (!database) return state.SkipWithError(database.error().to_string().c_str());
    if (database->files().size() != file_count) return state.SkipWithError("wrong file count");
    database = std::unexpected(DatError::other("closed"));
    state.ResumeTiming();
  }
  state.counters[kSecondsPerEntry] = item_counter(state, file_count, /*inverted=*/true);
}

}  // namespace

void register_open_benchmarks() {
  struct Size {
    std::size_t files;
    const char* name;
    const char* label;
    int iterations;
  };
  constexpr Size kSizes[] = {{10'000, "open/10k_files", "10k files", 40},
                             {100'000, "open/100k_files", "100k files", 4},
                             {1'000'000, "open/1M_files", "1M files", 1}};
  for (const Size& size : kSizes) {
    benchmark::RegisterBenchmark(size.name, open_archive_of, size.files)
        ->Iterations(size.iterations)
        ->Unit(benchmark::kMillisecond);
    add_figure({std::string("open, ") + size.label, size.name, kSizes[0].name,
                std::string("open, ") + kSizes[0].label, kSecondsPerEntry,
                Unit::NanosecondsPerEntry, Goal{.ratio_at_most = 1.5, .value_at_most = 200}});
  }
}

}  // namespace kelvane_dat::bench
