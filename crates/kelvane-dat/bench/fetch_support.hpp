#pragma once

// What the fetch benchmarks share: open handles on the benchmark archives. They fetch every file
// in storage order (DatDatabase::ids_in_storage_order), as a caller reading many files should.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <span>

#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::bench {

// A handle reading through positioned reads, opened once per archive and kept for the run. Mapped
// handles are opened by each benchmark and closed at its end instead: pages a process keeps
// mapped cannot be evicted from the page cache, which the cold benchmarks must do.
const DatDatabase& opened(const std::filesystem::path& path);

// The timed loop of the get_file benchmarks: every id of `ids` fetched with get_file, once per
// iteration, reported as rates of `content_bytes` an iteration. The clock starts here, after the
// caller has warmed or evicted the page cache.
void time_get_file(benchmark::State& state, const DatDatabase& database,
                   std::span<const std::uint32_t> ids, std::uint64_t content_bytes);

}  // namespace kelvane_dat::bench
