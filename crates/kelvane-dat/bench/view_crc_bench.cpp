// CRC-32 of every file through DatDatabase::view_file on a mapped archive, against CRC-32 of the
// archive file read front to back: what a caller that only checks bytes pays for the walk, when it
// copies none of them. Needs zlib (its crc32 is the work both sides do).

#include "bench_registry.hpp"

#ifdef KELVANE_BENCH_HAVE_ZLIB

#include <unistd.h>
#include <zlib.h>

#include <span>
#include <string>
#include <vector>

#include "bench_data.hpp"
#include "detail/file_descriptor.hpp"
#include "figures.hpp"
#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::bench {

namespace {

struct Layout {
  std::uint32_t block_size;
  const char* name;
  const char* label;
};

constexpr Layout kLayouts[] = {
    {1024, "1KiB/contiguous", "1 KiB contiguous"},
    {256, "256B/contiguous", "256 B contiguous"},
};

// zlib takes lengths as uInt; slices and buffers here are far below 4 GiB.
uLong crc_of(uLong crc, std::span<const std::uint8_t> bytes) {
  return crc32(crc, bytes.data(), static_cast<uInt>(bytes.size()));
}

void crc_through_views(benchmark::State& state, const Layout& layout) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, Fragmentation::Contiguous, /*compressed=*/false);
  warm_page_cache(archive.path);
  // Opened here and closed at the end, so no mapping outlives the repetition (see opened()).
  auto database = DatDatabase::open(archive.path, OpenOptions{.mapped = true});
  if (!database) return state.SkipWithError(database.error().to_string().c_str());
  const std::vector<std::uint32_t> ids = database->ids_in_storage_order();
  auto crc_all = [&]() -> bool {
    for (const std::uint32_t id : ids) {
      const Result<FileView> view = database->view_file(id);
      if (!view) {
        state.SkipWithError(view.error().to_string().c_str());
        return false;
      }
      uLong crc = crc32(0, nullptr, 0);
      for (const FileView::Slice slice : *view) crc = crc_of(crc, slice);
      benchmark::DoNotOptimize(crc);
    }
    return true;
  };
  // Faults the mapping in, as a long-lived handle has it (see the mapped fetch benchmarks).
  if (!crc_all()) return;
  const WallClock loop;
  for (auto _ : state) {
    if (!crc_all()) return;
  }
  set_rates(state, archive.content_bytes, loop);
}

// How CRC-32 of the archive file read front to back takes each 1 MiB chunk.
enum class CrcCalls {
  // One call per chunk, as it arrives.
  PerChunk,
  // One call per block payload, as the views hand them out: zlib's cost per call, which one call
  // per MiB hides, paid once per payload as any caller taking the payloads where they lie must
  // pay it. Hashes every block's bytes past its pointer.
  PerPayload,
};

void crc_of_read_file(benchmark::State& state, const Layout& layout, CrcCalls calls) {
  const FetchArchive& archive =
      fetch_archive(layout.block_size, Fragmentation::Contiguous, /*compressed=*/false);
  auto file = FileDescriptor::open_read_only(archive.path);
  if (!file) return state.SkipWithError("cannot open the archive");
  std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
  warm_page_cache(archive.path);
  const std::size_t payload = layout.block_size - 4;
  std::uint64_t hashed = 0;
  const WallClock loop;
  for (auto _ : state) {
    if (!file->seek(0)) return state.SkipWithError("seek failed");
    uLong crc = crc32(0, nullptr, 0);
    hashed = 0;
    ssize_t got;
    while ((got = ::read(file->get(), buffer.data(), buffer.size())) > 0) {
      const std::span<const std::uint8_t> chunk =
          std::span(buffer).first(static_cast<std::size_t>(got));
      if (calls == CrcCalls::PerChunk) {
        crc = crc_of(crc, chunk);
        hashed += chunk.size();
        continue;
      }
      for (std::size_t block = 0; block + layout.block_size <= chunk.size();
           block += layout.block_size) {
        crc = crc_of(crc, chunk.subspan(block + 4, payload));
        hashed += payload;
      }
    }
    if (got < 0) return state.SkipWithError("read failed");
    benchmark::DoNotOptimize(crc);
  }
  set_rates(state, hashed, loop);
}

}  // namespace

void register_view_crc_benchmarks() {
  for (const Layout& layout : kLayouts) {
    const std::string prefix = std::string("view_crc32/") + layout.name;
    const std::string views = prefix + "/mapped/view_file";
    const std::string baseline = prefix + "/read_1MiB";
    const std::string per_payload = prefix + "/read_1MiB_per_payload";
    benchmark::RegisterBenchmark(views.c_str(), crc_through_views, layout)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(baseline.c_str(), crc_of_read_file, layout, CrcCalls::PerChunk)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    add_figure({std::string("CRC-32 of every file, ") + layout.label + ": mapped, view_file", views,
                baseline, "CRC-32 of read(), 1 MiB buffer", kBytesPerSecond, Unit::BytesPerSecond,
                Goal{.ratio_at_least = 0.9}, /*wall_clock=*/true});
    benchmark::RegisterBenchmark(per_payload.c_str(), crc_of_read_file, layout,
                                 CrcCalls::PerPayload)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
    add_figure({std::string("CRC-32 of every file, ") + layout.label + ": mapped, view_file", views,
                per_payload, "CRC-32 of read(), one call per payload", kBytesPerSecond,
                Unit::BytesPerSecond, std::nullopt, /*wall_clock=*/true});
  }
}

}  // namespace kelvane_dat::bench

#else

namespace kelvane_dat::bench {

void register_view_crc_benchmarks() {}

}  // namespace kelvane_dat::bench

#endif
