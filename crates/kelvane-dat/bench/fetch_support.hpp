#pragma once

// What the fetch benchmarks share: open handles on the benchmark archives, and the order in which
// they fetch every file.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::bench {

// A handle reading through positioned reads, opened once per archive and kept for the run. Mapped
// handles are opened by each benchmark and closed at its end instead: pages a process keeps
// mapped cannot be evicted from the page cache, which the cold benchmarks must do.
const DatDatabase& opened(const std::filesystem::path& path);

// Every id of the archive in the order its chains lie in the file, as a caller reading many files
// should fetch them.
std::vector<std::uint32_t> fetch_order(const DatDatabase& database);

}  // namespace kelvane_dat::bench
