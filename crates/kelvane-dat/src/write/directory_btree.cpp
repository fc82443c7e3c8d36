#include "detail/directory_btree.hpp"

#include <algorithm>
#include <cassert>
#include <span>

#include "detail/archive_records.hpp"
#include "detail/block_chain.hpp"
#include "detail/directory_node.hpp"
#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat::detail {

namespace {

constexpr std::uint64_t kFanOut = DatDatabase::kBranchCount;

// The most entries a tree of `height` levels holds: 62^height - 1.
std::uint64_t capacity(unsigned height) {
  std::uint64_t nodes = 1;
  for (unsigned level = 0; level < height; ++level) nodes *= kFanOut;
  return nodes - 1;
}

bool id_below(const DatFileEntry& entry, std::uint32_t id) { return entry.id < id; }

}  // namespace

DirectoryBTree DirectoryBTree::bulk_load(std::vector<DatFileEntry> entries) {
  DirectoryBTree tree;
  if (entries.empty()) return tree;
  unsigned height = 1;
  while (capacity(height) < entries.size()) ++height;
  tree.root_ = tree.build(entries, height);
  return tree;
}

std::uint32_t DirectoryBTree::build(std::span<const DatFileEntry> entries, unsigned height) {
  Node node;
  if (height == 1) {
    node.entries.assign(entries.begin(), entries.end());
    return add_node(std::move(node));
  }
  // As few children as hold the entries: then each one, given an even share, is at least half
  // full, since a subtree of height h holds 62^h - 1 entries and a half-full one 31^h - 1.
  const std::uint64_t child_capacity = capacity(height - 1);
  const std::uint64_t children =
      std::max<std::uint64_t>(2, (entries.size() + 1 + child_capacity) / (child_capacity + 1));
  const std::uint64_t below = entries.size() - (children - 1);
  std::size_t at = 0;
  for (std::uint64_t child = 0; child < children; ++child) {
    const auto share =
        static_cast<std::size_t>(below / children + (child < below % children ? 1 : 0));
    node.children.push_back(build(entries.subspan(at, share), height - 1));
    at += share;
    if (child + 1 < children) node.entries.push_back(entries[at++]);
  }
  return add_node(std::move(node));
}

std::uint32_t DirectoryBTree::add_node(Node node) {
  nodes_.push_back(std::move(node));
  return static_cast<std::uint32_t>(nodes_.size() - 1);
}

Result<std::optional<DirectoryBTree>> DirectoryBTree::read(const ArchiveFile& file,
                                                           std::uint32_t block_size,
                                                           std::uint64_t file_length,
                                                           std::uint32_t root_offset) {
  DirectoryBTree tree;
  if (root_offset == 0) return tree;
  // Nodes share no bytes in an archive the layout check passed, so the file bounds their number;
  // the bound only guards against being handed anything else.
  const std::uint64_t max_nodes = file_length / DatDatabase::kNodeSize + 1;
  std::optional<unsigned> leaf_depth;
  bool sound = true;

  // Reads the node at `offset` and its subtree, whose ids must lie strictly between `low` and
  // `high` (exclusive; -1 and 2^32 for no bound). Returns its index.
  auto visit = [&](auto& self, std::uint32_t offset, std::int64_t low, std::int64_t high,
                   unsigned depth) -> Result<std::uint32_t> {
    if (tree.nodes_.size() >= max_nodes || depth > DatDatabase::kMaxDirectoryDepth) {
      sound = false;
      return kNoNode;
    }
    auto bytes = read_block_chain(PositionedReader(file), {block_size, file_length}, offset,
                                  DatDatabase::kNodeSize);
    if (!bytes) return std::unexpected(bytes.error());
    auto record = DirectoryNode::decode(*bytes);
    if (!record) return std::unexpected(DatError(std::move(record.error())));
    const bool is_root = depth == 0;
    std::int64_t previous = low;
    for (const DatFileEntry& entry : record->entries) {
      if (entry.id <= previous || entry.id >= high) sound = false;
      previous = entry.id;
    }
    const bool leaf = record->is_leaf();
    // The children an inner node uses; a decoded node holds at most 61 entries, so they fit.
    const std::span<const std::uint32_t> branches =
        leaf ? std::span<const std::uint32_t>()
             : std::span<const std::uint32_t>(record->branches).first(record->child_slots());
    if ((!is_root && record->entries.size() < kMinEntries) || (!leaf && record->entries.empty()) ||
        std::find(branches.begin(), branches.end(), 0u) != branches.end()) {
      sound = false;
    }
    if (leaf) {
      if (leaf_depth && *leaf_depth != depth) sound = false;
      leaf_depth = depth;
    }
    if (!sound) return kNoNode;
    Node node;
    node.entries = std::move(record->entries);
    node.offset = offset;
    for (std::size_t i = 0; i < branches.size() && sound; ++i) {
      const std::int64_t child_low = i == 0 ? low : node.entries[i - 1].id;
      const std::int64_t child_high = i < node.entries.size() ? node.entries[i].id : high;
      auto child = self(self, branches[i], child_low, child_high, depth + 1);
      if (!child) return child;
      node.children.push_back(*child);
    }
    return tree.add_node(std::move(node));
  };
  auto root = visit(visit, root_offset, -1, std::int64_t{1} << 32, 0);
  if (!root) return std::unexpected(root.error());
  if (!sound) return std::optional<DirectoryBTree>();
  tree.root_ = *root;
  return std::optional<DirectoryBTree>(std::move(tree));
}

const DatFileEntry* DirectoryBTree::find(std::uint32_t id) const {
  std::uint32_t node = root_;
  while (node != kNoNode) {
    const Node& n = nodes_[node];
    const auto at = std::lower_bound(n.entries.begin(), n.entries.end(), id, id_below);
    if (at != n.entries.end() && at->id == id) return &*at;
    if (n.children.empty()) return nullptr;
    node = n.children[static_cast<std::size_t>(at - n.entries.begin())];
  }
  return nullptr;
}

DirectoryBTree::Node& DirectoryBTree::touch(std::uint32_t node) {
  Node& n = nodes_[node];
  if (n.offset != 0) released_.push_back(n.offset);
  n.offset = 0;
  return n;
}

std::optional<DatFileEntry> DirectoryBTree::put(const DatFileEntry& entry) {
  if (root_ == kNoNode) {
    root_ = add_node(Node{{entry}, {}, 0});
    return std::nullopt;
  }
  // The path: each inner node with the slot of the child descended into.
  std::vector<std::pair<std::uint32_t, std::size_t>> path;
  std::uint32_t node = root_;
  while (true) {
    Node& n = nodes_[node];
    const auto at = std::lower_bound(n.entries.begin(), n.entries.end(), entry.id, id_below);
    const auto slot = static_cast<std::size_t>(at - n.entries.begin());
    if (at != n.entries.end() && at->id == entry.id) {
      for (const auto& [parent, ignored] : path) touch(parent);
      Node& changed = touch(node);
      const DatFileEntry old = changed.entries[slot];
      changed.entries[slot] = entry;
      return old;
    }
    if (n.children.empty()) {
      for (const auto& [parent, ignored] : path) touch(parent);
      Node& leaf = touch(node);
      leaf.entries.insert(leaf.entries.begin() + static_cast<std::ptrdiff_t>(slot), entry);
      break;
    }
    path.emplace_back(node, slot);
    node = n.children[slot];
  }
  // Splits up the path while a node overflows: 62 entries make halves of 31 and 30 around the
  // median, which moves up.
  while (nodes_[node].entries.size() > kMaxEntries) {
    Node& full = nodes_[node];
    const std::size_t middle = full.entries.size() / 2;
    Node right;
    right.entries.assign(full.entries.begin() + static_cast<std::ptrdiff_t>(middle + 1),
                         full.entries.end());
    const DatFileEntry median = full.entries[middle];
    full.entries.resize(middle);
    if (!full.children.empty()) {
      right.children.assign(full.children.begin() + static_cast<std::ptrdiff_t>(middle + 1),
                            full.children.end());
      full.children.resize(middle + 1);
    }
    const std::uint32_t right_index = add_node(std::move(right));
    if (path.empty()) {
      root_ = add_node(Node{{median}, {node, right_index}, 0});
      break;
    }
    const auto [parent, slot] = path.back();
    path.pop_back();
    Node& p = nodes_[parent];
    p.entries.insert(p.entries.begin() + static_cast<std::ptrdiff_t>(slot), median);
    p.children.insert(p.children.begin() + static_cast<std::ptrdiff_t>(slot + 1), right_index);
    node = parent;
  }
  return std::nullopt;
}

std::optional<DatFileEntry> DirectoryBTree::remove(std::uint32_t id) {
  std::vector<std::pair<std::uint32_t, std::size_t>> path;
  std::uint32_t node = root_;
  std::size_t slot = 0;
  while (true) {
    if (node == kNoNode) return std::nullopt;
    const Node& n = nodes_[node];
    const auto at = std::lower_bound(n.entries.begin(), n.entries.end(), id, id_below);
    slot = static_cast<std::size_t>(at - n.entries.begin());
    if (at != n.entries.end() && at->id == id) break;
    if (n.children.empty()) return std::nullopt;
    path.emplace_back(node, slot);
    node = n.children[slot];
  }
  for (const auto& [parent, ignored] : path) touch(parent);
  const DatFileEntry removed = touch(node).entries[slot];
  if (nodes_[node].children.empty()) {
    nodes_[node].entries.erase(nodes_[node].entries.begin() + static_cast<std::ptrdiff_t>(slot));
  } else {
    // An inner node keeps its shape: the entry just before the removed one (the rightmost of the
    // left subtree, always in a leaf) takes its place.
    const std::uint32_t inner = node;
    path.emplace_back(inner, slot);
    node = nodes_[inner].children[slot];
    touch(node);
    while (!nodes_[node].children.empty()) {
      path.emplace_back(node, nodes_[node].children.size() - 1);
      node = nodes_[node].children.back();
      touch(node);
    }
    nodes_[inner].entries[slot] = nodes_[node].entries.back();
    nodes_[node].entries.pop_back();
  }
  rebalance(path, node);
  return removed;
}

void DirectoryBTree::rebalance(std::vector<std::pair<std::uint32_t, std::size_t>>& path,
                               std::uint32_t node) {
  while (!path.empty() && nodes_[node].entries.size() < kMinEntries) {
    const auto [parent, slot] = path.back();
    path.pop_back();
    Node& p = nodes_[parent];
    const bool has_left = slot > 0;
    const bool has_right = slot + 1 < p.children.size();
    if (has_left && nodes_[p.children[slot - 1]].entries.size() > kMinEntries) {
      // Borrow through the parent from the left sibling.
      Node& left = touch(p.children[slot - 1]);
      Node& n = nodes_[node];
      n.entries.insert(n.entries.begin(), p.entries[slot - 1]);
      p.entries[slot - 1] = left.entries.back();
      left.entries.pop_back();
      if (!left.children.empty()) {
        n.children.insert(n.children.begin(), left.children.back());
        left.children.pop_back();
      }
      return;
    }
    if (has_right && nodes_[p.children[slot + 1]].entries.size() > kMinEntries) {
      Node& right = touch(p.children[slot + 1]);
      Node& n = nodes_[node];
      n.entries.push_back(p.entries[slot]);
      p.entries[slot] = right.entries.front();
      right.entries.erase(right.entries.begin());
      if (!right.children.empty()) {
        n.children.push_back(right.children.front());
        right.children.erase(right.children.begin());
      }
      return;
    }
    // Both siblings at the minimum: merge with one of them around their separator (29 + 1 + 30
    // entries fit a node).
    const std::size_t left_slot = has_left ? slot - 1 : slot;
    Node& left = touch(p.children[left_slot]);
    Node& right = touch(p.children[left_slot + 1]);
    left.entries.push_back(p.entries[left_slot]);
    left.entries.insert(left.entries.end(), right.entries.begin(), right.entries.end());
    left.children.insert(left.children.end(), right.children.begin(), right.children.end());
    right = Node{};
    p.entries.erase(p.entries.begin() + static_cast<std::ptrdiff_t>(left_slot));
    p.children.erase(p.children.begin() + static_cast<std::ptrdiff_t>(left_slot + 1));
    node = parent;
  }
  if (path.empty() && nodes_[root_].entries.empty()) {
    // An emptied root gives way to its only child, or leaves no tree.
    touch(root_);
    root_ = nodes_[root_].children.empty() ? kNoNode : nodes_[root_].children.front();
  }
}

Result<std::uint32_t> DirectoryBTree::store(BlockAllocator& allocator) {
  if (root_ == kNoNode) return 0;
  return store_node(root_, allocator);
}

Result<std::uint32_t> DirectoryBTree::store_node(std::uint32_t node, BlockAllocator& allocator) {
  if (nodes_[node].offset != 0) return nodes_[node].offset;
  std::vector<std::uint32_t> branches;
  for (const std::uint32_t child : nodes_[node].children) {
    auto offset = store_node(child, allocator);
    if (!offset) return offset;
    branches.push_back(*offset);
  }
  Node& n = nodes_[node];
  const auto bytes = encode_node(branches, n.entries, static_cast<std::uint32_t>(n.entries.size()));
  auto offset = allocator.store_chain(bytes);
  if (!offset) return offset;
  n.offset = *offset;
  return *offset;
}

std::vector<std::uint32_t> DirectoryBTree::stored_offsets() const {
  std::vector<std::uint32_t> offsets;
  for (const Node& node : nodes_) {
    if (node.offset != 0) offsets.push_back(node.offset);
  }
  return offsets;
}

std::size_t DirectoryBTree::size() const {
  std::size_t total = 0;
  std::vector<std::uint32_t> pending;
  if (root_ != kNoNode) pending.push_back(root_);
  while (!pending.empty()) {
    const Node& n = nodes_[pending.back()];
    pending.pop_back();
    total += n.entries.size();
    pending.insert(pending.end(), n.children.begin(), n.children.end());
  }
  return total;
}

}  // namespace kelvane_dat::detail
