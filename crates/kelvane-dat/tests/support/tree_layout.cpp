#include "support/tree_layout.hpp"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace kelvane_dat::test_support {

namespace {

class TreeWriter {
 public:
  TreeWriter(ArchiveBuilder& builder, const TreeShape& shape) : builder_(builder), shape_(shape) {
    if (shape.entries_per_node < 1 || shape.entries_per_node > DatDatabase::kMaxEntries ||
        shape.max_children < 2 || shape.max_children > DatDatabase::kBranchCount) {
      std::abort();
    }
  }

  std::uint32_t write(std::span<const DatFileEntry> entries) {
    const NodeSlot slot = builder_.reserve_node(next_layout());
    DirectoryNode node;
    const std::size_t n = entries.size();
    if (n <= shape_.entries_per_node) {
      node.entries.assign(entries.begin(), entries.end());
      builder_.fill_node(slot, node);
      return slot.offset();
    }
    // c children need c - 1 separators and at least one entry in the first child, or the node
    // would read as a leaf.
    std::size_t children =
        std::min({shape_.max_children, shape_.entries_per_node + 1, (n + 1) / 2});
    children = std::max<std::size_t>(children, 2);
    const std::size_t rest = n - (children - 1);
    const std::size_t base = rest / children;
    const std::size_t extra = rest % children;

    std::size_t next = 0;
    for (std::size_t child = 0; child < children; ++child) {
      const std::size_t group = base + (child < extra ? 1 : 0);
      if (group > 0) node.branches[child] = write(entries.subspan(next, group));
      next += group;
      if (child + 1 < children) node.entries.push_back(entries[next++]);
    }
    builder_.fill_node(slot, node);
    return slot.offset();
  }

 private:
  ChainLayout next_layout() {
    ChainLayout layout = shape_.layout;
    layout.seed += nodes_++;
    return layout;
  }

  ArchiveBuilder& builder_;
  const TreeShape& shape_;
  std::uint64_t nodes_ = 0;
};

}  // namespace

std::uint32_t store_tree(ArchiveBuilder& builder, std::span<const DatFileEntry> entries,
                         const TreeShape& shape) {
  if (entries.empty()) return 0;
  return TreeWriter(builder, shape).write(entries);
}

}  // namespace kelvane_dat::test_support
