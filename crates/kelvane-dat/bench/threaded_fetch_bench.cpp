// Fetching every file of a 512 MiB archive on two threads sharing one handle, against one thread.
// Positioned reads share no file position, so the threads need no lock; the figure shows how far
// the machine lets that scale. CPU time is the whole process's, so a perfect split keeps the CPU
// rate and doubles the wall-clock one.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "bench_data.hpp"
#include "bench_registry.hpp"
#include "fetch_support.hpp"
#include "figures.hpp"
#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::bench {

namespace {

// Threads take the ids in runs of this many, in storage order, from a shared counter: runs long
// enough that the counter is rarely contended, short enough that both finish together.
constexpr std::size_t kRun = 64;

void fetch_on_threads(benchmark::State& state, unsigned threads) {
  const FetchArchive& archive = fetch_archive(1024, Fragmentation::Contiguous, false);
  const DatDatabase& database = opened(archive.path);
  const std::vector<std::uint32_t> ids = database.ids_in_storage_order();
  warm_page_cache(archive.path);
  std::atomic<bool> failed = false;
  const WallClock loop;
  for (auto _ : state) {
    std::atomic<std::size_t> next = 0;
    std::vector<std::jthread> workers;
    for (unsigned t = 0; t < threads; ++t) {
      workers.emplace_back([&] {
        for (std::size_t first = next.fetch_add(kRun); first < ids.size();
             first = next.fetch_add(kRun)) {
          const std::size_t end = std::min(first + kRun, ids.size());
          for (std::size_t i = first; i < end; ++i) {
            const auto data = database.get_file(ids[i]);
            if (!data) failed = true;
            benchmark::DoNotOptimize(data);
          }
        }
      });
    }
  }
  if (failed) return state.SkipWithError("a fetch failed");
  set_rates(state, archive.content_bytes, loop);
}

// The machine's limit: threads that only compute, touching no memory, each doing the same work.
// On an idle machine two do twice the work of one in the same wall-clock time; what they do on a
// busy one is the share of the cores the other processes leave.
void compute_on_threads(benchmark::State& state, unsigned threads) {
  constexpr std::uint64_t kSteps = std::uint64_t{1} << 27;
  const WallClock loop;
  for (auto _ : state) {
    std::vector<std::jthread> workers;
    for (unsigned t = 0; t < threads; ++t) {
      workers.emplace_back([t] {
        std::uint64_t x = t + 1;
        for (std::uint64_t i = 0; i < kSteps; ++i)
          x = x * 6364136223846793005u + 1442695040888963407u;
        benchmark::DoNotOptimize(x);
      });
    }
  }
  // Counted as bytes so the figure reads like the fetch one: one byte per step.
  set_rates(state, kSteps * threads, loop);
}

}  // namespace

void register_threaded_fetch_benchmarks() {
  const std::string one = "threads/1KiB/contiguous/get_file/1_thread";
  const std::string two = "threads/1KiB/contiguous/get_file/2_threads";
  for (const auto& [name, threads] : {std::pair{one, 1u}, std::pair{two, 2u}}) {
    benchmark::RegisterBenchmark(name.c_str(), fetch_on_threads, threads)
        ->Iterations(2)
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond);
  }
  add_figure({"two threads on one handle, 1 KiB contiguous: get_file", two, one, "one thread",
              kBytesPerSecond, Unit::BytesPerSecond,
              Goal{.ratio_at_least = 1.7, .on_wall_clock = true}, /*wall_clock=*/true});

  const std::string compute_one = "threads/compute/1_thread";
  const std::string compute_two = "threads/compute/2_threads";
  for (const auto& [name, threads] : {std::pair{compute_one, 1u}, std::pair{compute_two, 2u}}) {
    benchmark::RegisterBenchmark(name.c_str(), compute_on_threads, threads)
        ->Iterations(2)
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond);
  }
  add_figure({"two threads computing only (the machine's share)", compute_two, compute_one,
              "one thread", kBytesPerSecond, Unit::BytesPerSecond, std::nullopt,
              /*wall_clock=*/true});
}

}  // namespace kelvane_dat::bench
