#include "detail/free_list.hpp"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "detail/archive_records.hpp"
#include "detail/endian.hpp"

namespace kelvane_dat::detail {

namespace {

bool meets_claim(std::uint64_t start, std::uint64_t end, std::span<const ClaimedRange> claimed) {
  // The first range ending after `start` is the only one that can meet [start, end).
  const auto at = std::upper_bound(
      claimed.begin(), claimed.end(), start,
      [](std::uint64_t value, const ClaimedRange& range) { return value < range.end; });
  return at != claimed.end() && at->start < end;
}

}  // namespace

Result<std::optional<FreeList>> read_free_list(const ArchiveFile& file, const DatHeader& header,
                                               std::uint64_t file_length,
                                               std::span<const ClaimedRange> claimed) {
  const std::uint32_t block_size = header.block_size;
  FreeList list;
  if (header.free_count == 0) {
    if (header.free_head != 0 || header.free_tail != 0) return std::optional<FreeList>();
    return std::optional<FreeList>(std::move(list));
  }
  std::unordered_set<std::uint32_t> seen;
  std::uint32_t block = header.free_head;
  for (std::uint32_t i = 0; i < header.free_count; ++i) {
    const std::uint64_t end = std::uint64_t{block} + block_size;
    if (block < kHeaderEnd || block % block_size != 0 || end > file_length ||
        !seen.insert(block).second || meets_claim(block, end, claimed)) {
      return std::optional<FreeList>();
    }
    list.blocks.push_back(block);
    std::array<std::uint8_t, 4> pointer;
    if (auto read = file.read_exact_at_compat(pointer, block); !read) {
      return std::unexpected(DatError(read.error()));
    }
    block = load_le32(pointer.data());
  }
  if (list.blocks.back() != header.free_tail) return std::optional<FreeList>();
  list.tail_pointer = block;
  return std::optional<FreeList>(std::move(list));
}

std::vector<std::uint32_t> unclaimed_blocks(std::uint32_t block_size, std::uint64_t file_length,
                                            std::span<const ClaimedRange> claimed) {
  std::vector<std::uint32_t> blocks;
  std::uint64_t gap_start = kHeaderEnd;
  auto take_gap = [&](std::uint64_t gap_end) {
    for (std::uint64_t block = (gap_start + block_size - 1) / block_size * block_size;
         block + block_size <= gap_end; block += block_size) {
      blocks.push_back(static_cast<std::uint32_t>(block));
    }
  };
  for (const ClaimedRange& range : claimed) {
    if (range.start > gap_start) take_gap(range.start);
    gap_start = std::max(gap_start, range.end);
  }
  take_gap(file_length);
  return blocks;
}

}  // namespace kelvane_dat::detail
