#pragma once

// What the fetch benchmarks share: open handles on the benchmark archives. They fetch every file
// in storage order (DatDatabase::ids_in_storage_order), as a caller reading many files should.

#include <cstdint>
#include <filesystem>

#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::bench {

// A handle reading through positioned reads, opened once per archive and kept for the run. Mapped
// handles are opened by each benchmark and closed at its end instead: pages a process keeps
// mapped cannot be evicted from the page cache, which the cold benchmarks must do.
const DatDatabase& opened(const std::filesystem::path& path);

}  // namespace kelvane_dat::bench
