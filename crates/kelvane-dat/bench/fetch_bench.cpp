// Fetching every file of a 512 MiB archive, against reading the archive file front to back.

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "bench_data.hpp"
#include "bench_registry.hpp"
#include "detail/block_chain_reference.hpp"
#include "detail/decompress_reference.hpp"
#include "detail/file_descriptor.hpp"
#include "detail/mapped_file.hpp"
#include "fetch_support.hpp"
#include "figures.hpp"
#include "kelvane_dat/dat_database.hpp"

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

// The bytes a file's chain spans when its blocks follow each other.
std::uint64_t contiguous_span(const DatFileEntry& entry, std::uint32_t block_size) {
  const std::uint64_t per_block = block_size - 4;
  return entry.size + 4 * ((entry.size + per_block - 1) / per_block);
}

void fetch_with_get_file(benchmark::State& state, const Layout& layout) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, layout.fragmentation, layout.compressed);
  const DatDatabase& database = opened(archive.path);
  const std::vector<std::uint32_t> ids = database.ids_in_storage_order();
  warm_page_cache(archive.path);
  time_get_file(state, database, ids, archive.content_bytes);
}

enum class Handle {
  Positioned,
  // A mapping in steady state: every page already faulted in by an untimed pass, as in a
  // long-lived handle, just as every baseline starts with the archive in the page cache.
  Mapped,
  // The first pass over a fresh mapping, which faults its pages in.
  MappedFirstPass,
};

// get_file_into in storage order, with one buffer reused for every file.
void fetch_into_reused_buffer(benchmark::State& state, const Layout& layout, Handle handle) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, layout.fragmentation, layout.compressed);
  std::vector<std::uint8_t> buffer;
  warm_page_cache(archive.path);
  // Opened here and closed at the end, so no mapping outlives the repetition (see opened()).
  auto database =
      DatDatabase::open(archive.path, OpenOptions{.mapped = handle != Handle::Positioned});
  if (!database) return state.SkipWithError(database.error().to_string().c_str());
  const std::vector<std::uint32_t> ids = database->ids_in_storage_order();
  auto fetch_all = [&]() -> bool {
    for (const std::uint32_t id : ids) {
      if (const auto fetched = database->get_file_into(id, buffer); !fetched) {
        state.SkipWithError(fetched.error().to_string().c_str());
        return false;
      }
      benchmark::DoNotOptimize(buffer.data());
    }
    return true;
  };
  if (handle == Handle::Mapped && !fetch_all()) return;
  const WallClock loop;
  for (auto _ : state) {
    if (!fetch_all()) return;
  }
  set_rates(state, archive.content_bytes, loop);
}

// What get_file did before the read-ahead walk and the chunked expansion.
void fetch_with_reference(benchmark::State& state, const Layout& layout) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, layout.fragmentation, layout.compressed);
  const DatDatabase& database = opened(archive.path);
  const std::vector<std::uint32_t> ids = database.ids_in_storage_order();
  auto file = FileDescriptor::open_read_only(archive.path);
  if (!file) return state.SkipWithError("cannot open the archive");
  const ChainGeometry geometry{database.header().block_size, file->size().value()};
  warm_page_cache(archive.path);
  const WallClock loop;
  for (auto _ : state) {
    for (const std::uint32_t id : ids) {
      const DatFileEntry& entry = *database.find(id);
      auto data = detail::read_block_chain_reference(PositionedReader(*file), geometry,
                                                     entry.offset, entry.size);
      if (!data) return state.SkipWithError(data.error().to_string().c_str());
      if (entry.is_compressed()) data = detail::decompress_lrs_reference(*data);
      benchmark::DoNotOptimize(data->data());
    }
  }
  set_rates(state, archive.content_bytes, loop);
}

// The machine's limit: the archive file through read() with a 1 MiB buffer.
void read_whole_file(benchmark::State& state, const Layout& layout) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, layout.fragmentation, layout.compressed);
  auto file = FileDescriptor::open_read_only(archive.path);
  if (!file) return state.SkipWithError("cannot open the archive");
  warm_page_cache(archive.path);
  const WallClock loop;
  for (auto _ : state) {
    if (read_front_to_back(*file) != file->size().value()) {
      return state.SkipWithError("read failed");
    }
  }
  set_rates(state, file->size().value(), loop);
}

// The floor for any walk over a mapping: one memcpy per file of the bytes its chain spans when
// contiguous, from the mapping into a buffer reused throughout, with no lookup and no walk.
void memcpy_per_file_from_mapping(benchmark::State& state, const Layout& layout) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, layout.fragmentation, layout.compressed);
  auto file = FileDescriptor::open_read_only(archive.path);
  if (!file) return state.SkipWithError("cannot open the archive");
  const auto mapping = MappedFile::map_read_only(*file, file->size().value());
  if (!mapping) return state.SkipWithError(mapping.error().to_string().c_str());
  const std::span<const std::uint8_t> image = mapping->bytes();
  const DatDatabase& database = opened(archive.path);
  std::vector<std::pair<std::uint32_t, std::uint64_t>> spans;
  for (const std::uint32_t id : database.ids_in_storage_order()) {
    const DatFileEntry& entry = *database.find(id);
    spans.emplace_back(entry.offset, contiguous_span(entry, layout.block_size));
  }
  std::vector<std::uint8_t> buffer(std::size_t{8} << 20);
  auto copy_all = [&] {
    for (const auto& [offset, span] : spans) {
      std::memcpy(buffer.data(), image.data() + offset, span);
      benchmark::DoNotOptimize(buffer.data());
    }
  };
  warm_page_cache(archive.path);
  copy_all();  // faults the mapping in, as for the steady-state fetch
  const WallClock loop;
  for (auto _ : state) copy_all();
  set_rates(state, archive.content_bytes, loop);
}

// What a positioned read per file leaves the bytes as.
enum class PreadThen {
  // Nothing more: the floor for any walk built on positioned reads.
  Stop,
  // Each block's payload copied out past its pointer into a fresh vector of the file's size: what
  // the format leaves any positioned fetch into a vector. No one read can land the payloads in
  // place, since a pointer separates every two of them, and a read per payload costs the kernel
  // more than the copy (see docs/performance.md).
  CopyPayloads,
};

// One read per file of the bytes its chain spans when contiguous, into a buffer reused
// throughout, in the same order as the fetches.
void pread_per_file(benchmark::State& state, const Layout& layout, PreadThen then) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, layout.fragmentation, layout.compressed);
  const DatDatabase& database = opened(archive.path);
  const std::vector<std::uint32_t> ids = database.ids_in_storage_order();
  auto file = FileDescriptor::open_read_only(archive.path);
  if (!file) return state.SkipWithError("cannot open the archive");
  const int fd = file->get();
  const std::uint32_t payload = layout.block_size - 4;
  std::vector<std::uint8_t> buffer(std::size_t{8} << 20);
  warm_page_cache(archive.path);
  const WallClock loop;
  for (auto _ : state) {
    for (const std::uint32_t id : ids) {
      const DatFileEntry& entry = *database.find(id);
      if (::pread(fd, buffer.data(), contiguous_span(entry, layout.block_size), entry.offset) < 0) {
        return state.SkipWithError("pread failed");
      }
      benchmark::DoNotOptimize(buffer.data());
      if (then == PreadThen::Stop) continue;
      std::vector<std::uint8_t> data;
      data.reserve(entry.size);
      const std::uint8_t* block = buffer.data();
      for (std::uint32_t left = entry.size; left > 0; block += layout.block_size) {
        const std::uint32_t share = std::min(left, payload);
        data.insert(data.end(), block + 4, block + 4 + share);
        left -= share;
      }
      benchmark::DoNotOptimize(data.data());
    }
  }
  set_rates(state, archive.content_bytes, loop);
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
    const std::string label = std::string("fetch, ") + layout.label;
    auto figure = [&](std::string what, const std::string& benchmark, const std::string& base,
                      std::string base_label, std::optional<Goal> goal = std::nullopt) {
      add_figure({label + ": " + std::move(what), benchmark, base, std::move(base_label),
                  kBytesPerSecond, Unit::BytesPerSecond, goal, /*wall_clock=*/true});
    };
    figure("get_file", fast, baseline, "read(), 1 MiB buffer");
    std::optional<Goal> against_reference;
    if (!contiguous) against_reference = Goal{.ratio_at_least = 1.2};
    figure("get_file", fast, reference, "before: 2 reads per block", against_reference);
    figure("before", reference, baseline, "read(), 1 MiB buffer");
    if (!contiguous || layout.compressed) continue;

    const std::string floor = prefix + "/pread_per_file";
    const std::string format_floor = prefix + "/pread_then_copy_payloads";
    const std::string into = prefix + "/get_file_into";
    const std::string mapped = prefix + "/mapped/get_file_into";
    const std::string mapped_floor = prefix + "/mapped/memcpy_per_file";
    const std::string first_pass = prefix + "/mapped/get_file_into_first_pass";
    benchmark::RegisterBenchmark(floor.c_str(), pread_per_file, layout, PreadThen::Stop)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(format_floor.c_str(), pread_per_file, layout,
                                 PreadThen::CopyPayloads)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(into.c_str(), fetch_into_reused_buffer, layout, Handle::Positioned)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(mapped.c_str(), fetch_into_reused_buffer, layout, Handle::Mapped)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(first_pass.c_str(), fetch_into_reused_buffer, layout,
                                 Handle::MappedFirstPass)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(mapped_floor.c_str(), memcpy_per_file_from_mapping, layout)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    figure("get_file", fast, floor, "one pread per file", Goal{.ratio_at_least = 0.85});
    figure("get_file", fast, format_floor, "one pread per file, payloads copied out");
    figure("one pread per file, payloads copied out", format_floor, floor, "one pread per file");
    figure("get_file_into, reused buffer", into, floor, "one pread per file");
    figure("one pread per file", floor, baseline, "read(), 1 MiB buffer");
    figure("mapped, get_file_into, reused buffer", mapped, baseline, "read(), 1 MiB buffer",
           Goal{.ratio_at_least = 0.85});
    figure("mapped, get_file_into, reused buffer", mapped, mapped_floor,
           "one memcpy per file, mapped");
    figure("one memcpy per file, mapped", mapped_floor, baseline, "read(), 1 MiB buffer");
    figure("mapped, first pass of a fresh mapping", first_pass, baseline, "read(), 1 MiB buffer");
  }
}

}  // namespace kelvane_dat::bench
