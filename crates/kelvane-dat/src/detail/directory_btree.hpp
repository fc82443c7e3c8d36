#pragma once

// The directory as a B-tree in memory, for the writers: bulk-loaded for a new archive, or read
// from one and changed copy-on-write.
//
// Nodes hold at most 61 entries and at least 30 (but the root), ids ascending, child i holding
// the ids between entries i-1 and i, every leaf at the same depth. A node changed since it was
// read forgets its offset: its old version stays on disk, untouched, for the header on disk that
// still reaches it, and its offset is listed as released, to be freed once a new header is
// durable. So a change rewrites the nodes on one root-to-leaf path, and the siblings a removal
// borrows from or merges with.

#include <cstdint>
#include <optional>
#include <vector>

#include "detail/archive_file.hpp"
#include "detail/block_allocator.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

class DirectoryBTree {
 public:
  static constexpr std::size_t kMaxEntries = 61;
  static constexpr std::size_t kMinEntries = 30;

  // A full tree over `entries`, which must be sorted by id without repeats: as few levels and
  // nodes as hold them, entries spread evenly, every node at least half full.
  static DirectoryBTree bulk_load(std::vector<DatFileEntry> entries);
  // The tree whose root is at `root_offset` (0 for none), or nullopt when what is there is not a
  // B-tree as above; a writer then replaces it with a bulk-loaded one.
  [[nodiscard]] static Result<std::optional<DirectoryBTree>> read(const ArchiveFile& file,
                                                                  std::uint32_t block_size,
                                                                  std::uint64_t file_length,
                                                                  std::uint32_t root_offset);

  const DatFileEntry* find(std::uint32_t id) const;
  // Inserts `entry`, or replaces the entry of its id, which is returned.
  std::optional<DatFileEntry> put(const DatFileEntry& entry);
  // The removed entry, nullopt (and no change) when the id is absent.
  std::optional<DatFileEntry> remove(std::uint32_t id);

  // Writes every node without an offset, children before parents, and returns the root's
  // offset (0 for an empty tree).
  [[nodiscard]] Result<std::uint32_t> store(BlockAllocator& allocator);
  // The offsets of the node versions replaced or dropped since the tree was read.
  const std::vector<std::uint32_t>& released() const { return released_; }
  // Every node's offset, for a tree read from a file that is being replaced whole.
  std::vector<std::uint32_t> stored_offsets() const;
  std::size_t size() const;

 private:
  struct Node {
    std::vector<DatFileEntry> entries;
    std::vector<std::uint32_t> children;  // indices into nodes_; empty in a leaf
    std::uint32_t offset = 0;             // 0 while the node must be written
  };
  static constexpr std::uint32_t kNoNode = 0xFFFFFFFF;

  std::uint32_t build(std::span<const DatFileEntry> entries, unsigned height);
  std::uint32_t add_node(Node node);
  // The node is about to change: its stored version is released.
  Node& touch(std::uint32_t node);
  void rebalance(std::vector<std::pair<std::uint32_t, std::size_t>>& path, std::uint32_t node);
  Result<std::uint32_t> store_node(std::uint32_t node, BlockAllocator& allocator);

  std::vector<Node> nodes_;
  std::uint32_t root_ = kNoNode;
  std::vector<std::uint32_t> released_;
};

}  // namespace kelvane_dat::detail
