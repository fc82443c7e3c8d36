// The directory walk of DatDatabase: reading directory nodes into the `files` map.

#include "kelvane_dat/dat_database.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <vector>

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/debug_format.hpp"
#include "kelvane_dat/endian.hpp"

namespace kelvane_dat {

namespace {

constexpr std::size_t kEntryCountOffset = DatDatabase::kBranchCount * 4;
constexpr std::size_t kEntriesOffset = kEntryCountOffset + 4;

// A node on the path from the root to the node being read, with the children still to visit.
struct PathFrame {
  std::uint32_t offset = 0;
  std::array<std::uint32_t, DatDatabase::kBranchCount> branches{};
  std::size_t child_slots = 0;
  std::size_t next_slot = 0;
};

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

// Unchecked: the node always holds the 24 bytes of each of its 61 entry slots.
DatFileEntry decode_entry(const std::uint8_t* bytes) {
  return DatFileEntry{load_le32(bytes),      load_le32(bytes + 4),  load_le32(bytes + 8),
                      load_le32(bytes + 12), load_le32(bytes + 16), load_le32(bytes + 20)};
}

// What decoding the 62nd entry of a node meets: the end of the node's bytes, reported by the
// entry decoder with the field it was reading.
ReadError entry_past_node_end(std::span<const std::uint8_t> node) {
  ByteCursor cursor(node);
  cursor.seek(node.size());
  return DatFileEntry::read(cursor).error();
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

}  // namespace

Result<void> DatDatabase::read_directory() { return read_node(header_.root_offset); }

Result<void> DatDatabase::read_node(std::uint32_t offset) {
  if (offset == 0) return {};

  const std::uint64_t budget = node_read_budget(file_length_);
  std::uint64_t node_reads = 0;
  // An explicit stack rather than recursion, so no directory can exhaust the thread's stack.
  std::vector<PathFrame> path;
  path.reserve(kMaxDirectoryDepth);
  // Entries in the order the walk meets them. They go into `files_` once the walk is done, so the
  // map is sized once rather than rehashed all along as it grows.
  std::vector<DatFileEntry> found;

  // Reads one node, collects its entries and, for an inner node, pushes it so its children are
  // visited next.
  auto visit = [&](std::uint32_t node) -> Result<void> {
    const auto bytes = read_file_data(node, kNodeSize);
    if (!bytes) return std::unexpected(bytes.error());
    ++node_reads;
    PathFrame frame;
    frame.offset = node;
    for (std::size_t slot = 0; slot < kBranchCount; ++slot) {
      frame.branches[slot] = load_le32(bytes->data() + 4 * slot);
    }
    const std::uint32_t entry_count = load_le32(bytes->data() + kEntryCountOffset);

    // A count past 61 runs out of node bytes; the walk fails then, whatever came before.
    if (entry_count > kMaxEntries) return std::unexpected(entry_past_node_end(*bytes));
    for (std::size_t i = 0; i < entry_count; ++i) {
      found.push_back(
          decode_entry(bytes->data() + kEntriesOffset + i * DatFileEntry::kEncodedSize));
    }
    // A zero first slot makes a leaf, whatever the other slots hold.
    if (frame.branches[0] == 0) return {};
    frame.child_slots = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::uint64_t{entry_count} + 1, kBranchCount));
    path.push_back(frame);
    return {};
  };

  if (const auto root = visit(offset); !root) return root;
  while (!path.empty()) {
    PathFrame& top = path.back();
    if (top.next_slot == top.child_slots) {
      path.pop_back();
      continue;
    }
    const std::uint32_t parent = top.offset;
    const std::uint32_t child = top.branches[top.next_slot++];
    if (child == 0) continue;
    const bool on_path = std::any_of(path.begin(), path.end(),
                                     [&](const PathFrame& frame) { return frame.offset == child; });
    if (on_path) return std::unexpected(loops_back(parent, child));
    if (path.size() >= kMaxDirectoryDepth) return std::unexpected(nests_too_deep(child));
    if (node_reads >= budget) return std::unexpected(exceeds_read_budget(child, budget));
    if (const auto visited = visit(child); !visited) return visited;
  }
  // In walk order, so where an id repeats the entry met last wins.
  files_.reserve(files_.size() + found.size());
  for (const DatFileEntry& entry : found) files_.insert_or_assign(entry.id, entry);
  return {};
}

}  // namespace kelvane_dat
