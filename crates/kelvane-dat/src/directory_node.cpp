#include "detail/directory_node.hpp"

#include "detail/endian.hpp"
#include "kelvane_dat/byte_cursor.hpp"

namespace kelvane_dat::detail {

namespace {

constexpr std::size_t kEntryCountOffset = DatDatabase::kBranchCount * 4;
constexpr std::size_t kEntriesOffset = kEntryCountOffset + 4;

}  // namespace

std::expected<DirectoryNode, ReadError> DirectoryNode::decode(std::span<const std::uint8_t> bytes) {
  DirectoryNode node;
  for (std::size_t slot = 0; slot < DatDatabase::kBranchCount; ++slot) {
    node.branches[slot] = load_le32(bytes.data() + 4 * slot);
  }
  const std::uint32_t count = load_le32(bytes.data() + kEntryCountOffset);
  // A count past 61 reads on into the end of the node's bytes, where the entry decoder fails.
  node.entries.reserve(count < DatDatabase::kMaxEntries ? count : DatDatabase::kMaxEntries);
  ByteCursor cursor(bytes);
  cursor.seek(kEntriesOffset);
  for (std::uint32_t i = 0; i < count; ++i) {
    auto entry = DatFileEntry::read(cursor);
    if (!entry) return std::unexpected(std::move(entry.error()));
    node.entries.push_back(*entry);
  }
  return node;
}

}  // namespace kelvane_dat::detail
