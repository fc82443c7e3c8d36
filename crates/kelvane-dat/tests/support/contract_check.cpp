#include "support/contract_check.hpp"

#include <cstdint>
#include <set>
#include <vector>

#include "detail/dat_database_internals.hpp"
#include "detail/endian.hpp"

namespace kelvane_dat::test_support {

namespace {

constexpr std::size_t kHalfFull = 30;

class TreeCheck {
 public:
  explicit TreeCheck(const DatDatabase& archive) : archive_(archive) {}

  // Checks the subtree at `offset`, whose ids lie strictly between `low` and `high`.
  std::optional<std::string> node(std::uint32_t offset, std::int64_t low, std::int64_t high,
                                  unsigned depth) {
    // A count past 61 does not decode: the node's bytes end before its entries do.
    const auto decoded = detail::DatDatabaseInternals::read_directory_node(archive_, offset);
    if (!decoded) return "node " + std::to_string(offset) + ": " + decoded.error().to_string();
    if (depth > 0 && decoded->entries.size() < kHalfFull) return "node less than half full";
    std::int64_t previous = low;
    std::vector<std::int64_t> bounds = {low};
    for (const DatFileEntry& entry : decoded->entries) {
      if (entry.id <= previous || entry.id >= high) {
        return "id " + std::to_string(entry.id) + " out of order";
      }
      previous = entry.id;
      bounds.push_back(entry.id);
    }
    bounds.push_back(high);
    entries_ += decoded->entries.size();
    if (decoded->is_leaf()) {
      if (leaf_depth_ && *leaf_depth_ != depth) return "leaves at different depths";
      leaf_depth_ = depth;
      return std::nullopt;
    }
    for (std::size_t slot = 0; slot < decoded->child_slots(); ++slot) {
      const std::uint32_t child = decoded->branches[slot];
      if (child == 0) return "inner node with a missing child";
      if (auto broken = node(child, bounds[slot], bounds[slot + 1], depth + 1)) {
        return broken;
      }
    }
    return std::nullopt;
  }

  std::size_t entries() const { return entries_; }

 private:
  const DatDatabase& archive_;
  std::optional<unsigned> leaf_depth_;
  std::size_t entries_ = 0;
};

std::optional<std::string> free_list_violation(const DatDatabase& archive,
                                               std::uint64_t file_length) {
  const DatHeader& header = archive.header();
  if (header.free_count == 0) {
    if (header.free_head != 0 || header.free_tail != 0) return "empty free list with ends";
    return std::nullopt;
  }
  std::set<std::uint32_t> seen;
  std::uint32_t block = header.free_head;
  for (std::uint32_t i = 0; i < header.free_count; ++i) {
    if (block < 0x190 || block + std::uint64_t{header.block_size} > file_length ||
        !seen.insert(block).second) {
      return "free block " + std::to_string(block) + " outside the file or listed twice";
    }
    if (i + 1 == header.free_count) break;
    const auto stored = detail::DatDatabaseInternals::read_block(archive, block);
    if (!stored) return "unreadable free block";
    block = load_le32(stored->data());
  }
  if (block != header.free_tail) return "free list does not end at free_tail";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> contract_violation(const DatDatabase& archive,
                                              std::uint64_t file_length) {
  if (archive.header().file_size != file_length) {
    return "file_size " + std::to_string(archive.header().file_size) + " but the file has " +
           std::to_string(file_length) + " bytes";
  }
  if (auto broken = free_list_violation(archive, file_length)) return broken;
  if (archive.header().root_offset == 0) {
    if (!archive.files().empty()) return "files without a root";
    return std::nullopt;
  }
  TreeCheck tree(archive);
  if (auto broken = tree.node(archive.header().root_offset, -1, std::int64_t{1} << 32, 0)) {
    return broken;
  }
  if (tree.entries() != archive.files().size()) return "an id stored twice";
  return std::nullopt;
}

}  // namespace kelvane_dat::test_support
