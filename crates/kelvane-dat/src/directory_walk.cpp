#include "detail/directory_walk.hpp"

#include <algorithm>
#include <optional>
#include <string>

#include "detail/debug_format.hpp"
#include "detail/directory_node.hpp"

namespace kelvane_dat::detail {

namespace {

// A sound tree reads each node once, and its nodes share no bytes: each takes its 1716 bytes plus
// at least one block pointer. So a walk never needs more node reads than the file has runs of
// kNodeFootprint bytes. A walk that does is a directory whose branches share nodes to blow up the
// work, and is refused before it gets there. Counting bytes rather than blocks keeps the work
// proportional to the file whatever the block size: with tiny blocks one node read walks hundreds
// of them. The floor lets a small archive share a node or two (a branch leading to a node already
// read reads it again) at a cost that stays small.
constexpr std::uint64_t kNodeFootprint = DatDatabase::kNodeSize + 4;
constexpr std::uint64_t kMinNodeReadBudget = 64;

std::uint64_t node_read_budget(std::uint64_t file_length) {
  return std::max(file_length / kNodeFootprint, kMinNodeReadBudget);
}

DatError loops_back(std::uint32_t parent, std::uint32_t child) {
  return DatError::corruption("directory node at offset " + hex0x8(parent) +
                              " leads back to node " + hex0x8(child) + " on its own path");
}

DatError nests_too_deep(std::uint32_t child) {
  return DatError::corruption("directory node at offset " + hex0x8(child) + " nests deeper than " +
                              std::to_string(DatDatabase::kMaxDirectoryDepth) + " levels");
}

DatError exceeds_read_budget(std::uint32_t child, std::uint64_t budget) {
  return DatError::corruption("directory node at offset " + hex0x8(child) +
                              " would exceed the walk's budget of " + std::to_string(budget) +
                              " node reads, one per " + std::to_string(kNodeFootprint) +
                              " bytes of the file");
}

// An explicit stack of the nodes from the root to the one being read, rather than recursion, so no
// directory can exhaust the thread's stack.
class DirectoryWalk {
 public:
  explicit DirectoryWalk(OpenArchive& archive)
      : archive_(archive), budget_(node_read_budget(archive.geometry.file_length)) {
    path_.reserve(DatDatabase::kMaxDirectoryDepth);
  }

  Result<std::vector<DatFileEntry>> run(std::uint32_t root) && {
    if (root == 0) return std::move(found_);
    if (const auto visited = visit(root); !visited) return std::unexpected(visited.error());
    while (const auto step = next_child()) {
      const auto [parent, child] = *step;
      if (const auto allowed = may_descend(parent, child); !allowed) {
        return std::unexpected(allowed.error());
      }
      if (const auto visited = visit(child); !visited) return std::unexpected(visited.error());
    }
    return std::move(found_);
  }

 private:
  // A node on the path with the children still to visit.
  struct PathFrame {
    std::uint32_t offset = 0;
    DirectoryNode node;
    std::size_t next_slot = 0;
  };
  struct Descent {
    std::uint32_t parent;
    std::uint32_t child;
  };

  // Reads one node, collects its entries and, for an inner node, pushes it so its children are
  // visited next.
  Result<void> visit(std::uint32_t offset) {
    std::vector<std::uint8_t> bytes;
    if (const auto read = archive_.read_chain_into(offset, DatDatabase::kNodeSize, bytes); !read) {
      return read;
    }
    ++node_reads_;
    archive_.directory_nodes.push_back(offset);
    auto node = DirectoryNode::decode(bytes);
    if (!node) return std::unexpected(node.error());
    found_.insert(found_.end(), node->entries.begin(), node->entries.end());
    if (!node->is_leaf()) path_.push_back(PathFrame{offset, std::move(*node), 0});
    return {};
  }

  // The next non-zero child slot of the deepest node with slots left, popping finished nodes.
  std::optional<Descent> next_child() {
    while (!path_.empty()) {
      PathFrame& top = path_.back();
      if (top.next_slot == top.node.child_slots()) {
        path_.pop_back();
        continue;
      }
      const std::uint32_t child = top.node.branches[top.next_slot++];
      if (child != 0) return Descent{top.offset, child};
    }
    return std::nullopt;
  }

  Result<void> may_descend(std::uint32_t parent, std::uint32_t child) const {
    const bool on_path = std::any_of(path_.begin(), path_.end(),
                                     [&](const PathFrame& frame) { return frame.offset == child; });
    if (on_path) return std::unexpected(loops_back(parent, child));
    if (path_.size() >= DatDatabase::kMaxDirectoryDepth) {
      return std::unexpected(nests_too_deep(child));
    }
    if (node_reads_ >= budget_) return std::unexpected(exceeds_read_budget(child, budget_));
    return {};
  }

  OpenArchive& archive_;
  const std::uint64_t budget_;
  std::uint64_t node_reads_ = 0;
  std::vector<PathFrame> path_;
  std::vector<DatFileEntry> found_;
};

}  // namespace

Result<std::vector<DatFileEntry>> walk_directory(OpenArchive& archive, std::uint32_t root) {
  return DirectoryWalk(archive).run(root);
}

}  // namespace kelvane_dat::detail
