// Fetching every file of a 512 MiB archive that is not in the page cache, in the order the chains
// lie in the file and in id order, against reading the cold file front to back. Each repetition
// starts with the archive evicted; the rates that count are per wall-clock second, since the time
// goes to waiting for the disk.

#include <string>
#include <vector>

#include "bench_data.hpp"
#include "bench_registry.hpp"
#include "fetch_support.hpp"
#include "figures.hpp"
#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::bench {

namespace {

constexpr std::uint32_t kBlockSize = 1024;
// More than this fraction of the archive left in memory would make the run warm, not cold.
constexpr double kMostResident = 0.01;

const FetchArchive& cold_archive() {
  return fetch_archive(kBlockSize, Fragmentation::Contiguous, /*compressed=*/false);
}

// Evicts the archive; false (and the benchmark skipped) when too much of it stays in memory.
bool evicted(benchmark::State& state, const FetchArchive& archive) {
  const double resident = evict_from_page_cache(archive.path);
  if (resident <= kMostResident) return true;
  const std::string message =
      "the archive stays " + std::to_string(resident * 100) + " % in the page cache after eviction";
  state.SkipWithError(message.c_str());
  return false;
}

enum class Order { Storage, Id };

void fetch_cold(benchmark::State& state, Order order) {
  const FetchArchive& archive = cold_archive();
  const DatDatabase& database = opened(archive.path);
  std::vector<std::uint32_t> ids = database.ids_in_storage_order();
  if (order == Order::Id) std::sort(ids.begin(), ids.end());
  if (!evicted(state, archive)) return;
  time_get_file(state, database, ids, archive.content_bytes);
}

void read_cold(benchmark::State& state) {
  const FetchArchive& archive = cold_archive();
  auto file = FileDescriptor::open_read_only(archive.path);
  if (!file) return state.SkipWithError("cannot open the archive");
  if (!evicted(state, archive)) return;
  const WallClock loop;
  for (auto _ : state) {
    if (read_front_to_back(*file) != file->size().value()) {
      return state.SkipWithError("read failed");
    }
  }
  set_rates(state, file->size().value(), loop);
}

}  // namespace

void register_cold_fetch_benchmarks() {
  const std::string prefix = "cold/1KiB/contiguous/";
  const std::string storage = prefix + "get_file/storage_order";
  const std::string by_id = prefix + "get_file/id_order";
  const std::string baseline = prefix + "read_1MiB";
  // One iteration per repetition: the eviction before it is what makes it cold.
  for (const auto& [name, order] :
       {std::pair{storage, Order::Storage}, std::pair{by_id, Order::Id}}) {
    benchmark::RegisterBenchmark(name.c_str(), fetch_cold, order)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark(baseline.c_str(), read_cold)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  const std::string label = "cold archive, 1 KiB contiguous: get_file, ";
  add_figure({label + "storage order", storage, baseline, "cold read(), 1 MiB buffer",
              kBytesPerSecond, Unit::BytesPerSecond,
              Goal{.ratio_at_least = 0.8, .on_wall_clock = true}, /*wall_clock=*/true});
  add_figure({label + "id order", by_id, baseline, "cold read(), 1 MiB buffer", kBytesPerSecond,
              Unit::BytesPerSecond, std::nullopt, /*wall_clock=*/true});
}

}  // namespace kelvane_dat::bench
