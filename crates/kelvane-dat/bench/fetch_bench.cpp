// Fetching every file of a 512 MiB archive, against reading the archive file front to back.

#include <unistd.h>

#include <map>
#include <string>

#include "bench_data.hpp"
#include "bench_registry.hpp"
#include "detail/block_chain_reference.hpp"
#include "detail/decompress_reference.hpp"
#include "figures.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/file_descriptor.hpp"

namespace kelvane_dat::bench {

namespace {

struct Layout {
  std::uint32_t block_size;
  Fragmentation fragmentation;
  bool compressed;
  const char* name;
  const char* label;
};

constexpr Layout kLayouts[] = {
    {1024, Fragmentation::Contiguous, false, "1KiB/contiguous", "1 KiB contiguous"},
    {256, Fragmentation::Contiguous, false, "256B/contiguous", "256 B contiguous"},
    {1024, Fragmentation::Scattered, false, "1KiB/scattered", "1 KiB scattered"},
    {256, Fragmentation::Scattered, false, "256B/scattered", "256 B scattered"},
    {1024, Fragmentation::Contiguous, true, "1KiB/contiguous/compressed",
     "1 KiB contiguous, compressed"},
};

const DatDatabase& opened(const std::filesystem::path& path) {
  static std::map<std::filesystem::path, DatDatabase> databases;
  if (const auto found = databases.find(path); found != databases.end()) return found->second;
  auto database = DatDatabase::open(path);
  if (!database) fail("cannot open " + path.string() + ": " + database.error().to_string());
  return databases.emplace(path, std::move(*database)).first->second;
}

void fetch_with_get_file(benchmark::State& state, const Layout& layout) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, layout.fragmentation, layout.compressed);
  const DatDatabase& database = opened(archive.path);
  warm_page_cache(archive.path);
  for (auto _ : state) {
    for (const auto& [id, entry] : database.files()) {
      const auto data = database.get_file(id);
      if (!data) return state.SkipWithError(data.error().to_string().c_str());
      benchmark::DoNotOptimize(data->data());
    }
  }
  set_bytes_per_iteration(state, archive.content_bytes);
}

// What get_file did before the read-ahead walk and the chunked expansion.
void fetch_with_reference(benchmark::State& state, const Layout& layout) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, layout.fragmentation, layout.compressed);
  const DatDatabase& database = opened(archive.path);
  auto file = FileDescriptor::open_read_only(archive.path);
  if (!file) return state.SkipWithError("cannot open the archive");
  const ChainGeometry geometry{database.header().block_size, file->size().value()};
  warm_page_cache(archive.path);
  for (auto _ : state) {
    for (const auto& [id, entry] : database.files()) {
      auto data = detail::read_block_chain_reference(PositionedReader(*file), geometry,
                                                     entry.offset, entry.size);
      if (!data) return state.SkipWithError(data.error().to_string().c_str());
      if (entry.is_compressed()) data = detail::decompress_lrs_reference(*data);
      benchmark::DoNotOptimize(data->data());
    }
  }
  set_bytes_per_iteration(state, archive.content_bytes);
}

// The machine's limit: the archive file through read() with a 1 MiB buffer.
void read_whole_file(benchmark::State& state, const Layout& layout) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, layout.fragmentation, layout.compressed);
  const auto file = FileDescriptor::open_read_only(archive.path);
  if (!file) return state.SkipWithError("cannot open the archive");
  const int fd = file->get();
  std::vector<char> buffer(std::size_t{1} << 20);
  std::uint64_t total = 0;
  warm_page_cache(archive.path);
  for (auto _ : state) {
    ::lseek(fd, 0, SEEK_SET);
    ssize_t got;
    while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
      total += static_cast<std::uint64_t>(got);
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(total));
}

// The floor for any walk built on positioned reads: one read per file of the bytes its chain
// spans when contiguous, into a buffer reused throughout, in the same order as the fetches.
void pread_per_file(benchmark::State& state, const Layout& layout) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, layout.fragmentation, layout.compressed);
  const DatDatabase& database = opened(archive.path);
  const auto file = FileDescriptor::open_read_only(archive.path);
  if (!file) return state.SkipWithError("cannot open the archive");
  const int fd = file->get();
  const std::uint64_t per_block = layout.block_size - 4;
  std::vector<std::uint8_t> buffer(std::size_t{8} << 20);
  warm_page_cache(archive.path);
  for (auto _ : state) {
    for (const auto& [id, entry] : database.files()) {
      const std::uint64_t span = entry.size + 4 * ((entry.size + per_block - 1) / per_block);
      if (::pread(fd, buffer.data(), span, entry.offset) < 0) {
        return state.SkipWithError("pread failed");
      }
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  set_bytes_per_iteration(state, archive.content_bytes);
}

}  // namespace

void register_fetch_benchmarks() {
  for (const Layout& layout : kLayouts) {
    const std::string prefix = std::string("fetch/") + layout.name;
    const std::string fast = prefix + "/get_file";
    const std::string reference = prefix + "/reference";
    const std::string baseline = prefix + "/read_1MiB";
    benchmark::RegisterBenchmark(fast.c_str(), fetch_with_get_file, layout)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(reference.c_str(), fetch_with_reference, layout)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(baseline.c_str(), read_whole_file, layout)
        ->Iterations(4)
        ->Unit(benchmark::kMillisecond);

    const bool contiguous = layout.fragmentation == Fragmentation::Contiguous;
    const bool plain_contiguous = contiguous && !layout.compressed;
    const std::string label = std::string("fetch, ") + layout.label;
    std::optional<Goal> against_read;
    if (plain_contiguous) against_read = Goal{.ratio_at_least = 0.5};
    add_figure({label + ": get_file", fast, baseline, "read(), 1 MiB buffer", kBytesPerSecond,
                Unit::BytesPerSecond, against_read});
    std::optional<Goal> against_reference;
    if (!contiguous) against_reference = Goal{.ratio_at_least = 1.2};
    add_figure({label + ": get_file", fast, reference, "before: 2 reads per block", kBytesPerSecond,
                Unit::BytesPerSecond, against_reference});
    add_figure({label + ": before", reference, baseline, "read(), 1 MiB buffer", kBytesPerSecond,
                Unit::BytesPerSecond, std::nullopt});
    if (plain_contiguous) {
      const std::string floor = prefix + "/pread_per_file";
      benchmark::RegisterBenchmark(floor.c_str(), pread_per_file, layout)
          ->Iterations(2)
          ->Unit(benchmark::kMillisecond);
      add_figure({label + ": get_file", fast, floor, "one pread per file", kBytesPerSecond,
                  Unit::BytesPerSecond, std::nullopt});
      add_figure({label + ": one pread per file", floor, baseline, "read(), 1 MiB buffer",
                  kBytesPerSecond, Unit::BytesPerSecond, std::nullopt});
    }
  }
}

}  // namespace kelvane_dat::bench
