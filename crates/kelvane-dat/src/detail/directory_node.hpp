#pragma once

// One directory node as stored in its chain: 62 little-endian child offsets, an entry count, and
// room for 61 entries of 24 bytes (DatDatabase::kNodeSize bytes in all).

#include <array>
#include <cstdint>
#include <expected>
#include <span>
#include <vector>

#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat::detail {

struct DirectoryNode {
  std::array<std::uint32_t, DatDatabase::kBranchCount> branches{};
  // The first `count` entry slots, decoded; the slots after them are not looked at.
  std::vector<DatFileEntry> entries;

  // A zero first slot makes a leaf, whatever the other slots hold.
  bool is_leaf() const noexcept { return branches[0] == 0; }
  // The child slots an inner node uses: one more than its entries.
  std::size_t child_slots() const noexcept { return entries.size() + 1; }

  // Decodes a node from its kNodeSize bytes. A count past kMaxEntries runs out of the node's bytes:
  // the error is the one DatFileEntry::read gives at the node's end.
  [[nodiscard]] static std::expected<DirectoryNode, ReadError> decode(
      std::span<const std::uint8_t> bytes);
};

}  // namespace kelvane_dat::detail
