#pragma once

// The directory walk of DatDatabase::open: from the root node, depth first in pre-order, children
// in slot order, bounded against hostile trees (loops, depth, node reads per byte of the file).

#include <cstdint>
#include <vector>

#include "detail/open_archive.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

// Every entry of the tree at `root` (0: no tree) in the order the walk meets them, so that where an
// id repeats the entry met last can win. Notes each node read in archive.directory_nodes.
[[nodiscard]] Result<std::vector<DatFileEntry>> walk_directory(OpenArchive& archive,
                                                               std::uint32_t root);

}  // namespace kelvane_dat::detail
