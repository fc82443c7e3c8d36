#pragma once

// Laying a list of directory entries out as a multi-level tree of directory nodes.

#include <cstddef>
#include <cstdint>
#include <span>

#include "kelvane_dat/dat_file_entry.hpp"
#include "support/archive_builder.hpp"

namespace kelvane_dat::test_support {

struct TreeShape {
  // Entries a node holds before it splits: 1 to 61. Small values give deep trees.
  std::size_t entries_per_node = DatDatabase::kMaxEntries;
  // Children of an inner node: 2 to 62 (and never more than its entries plus one).
  std::size_t max_children = DatDatabase::kBranchCount;
  // Applied to every node; a shuffled layout gets a different seed per node.
  ChainLayout layout;
};

// Stores `entries` as a tree and returns the root's offset, 0 when there are none. The layout is
// B-tree-like: an inner node's entries separate its children, in the order given (pass them
// sorted by id for a layout ordered like the game's). Every entry is stored exactly once, so ids
// repeat in the tree exactly as they repeat in `entries`. Nodes are allocated in pre-order.
std::uint32_t store_tree(ArchiveBuilder& builder, std::span<const DatFileEntry> entries,
                         const TreeShape& shape = {});

}  // namespace kelvane_dat::test_support
