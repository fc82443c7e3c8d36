#pragma once

// Where a writer puts new chains, and how it hands blocks back.
//
// New chains take free blocks first, in free-list order: the pointers of those blocks already link
// them, so the free list the header on disk describes stays intact until a new header replaces it.
// Only the list's tail, whose pointer ends the list, gets a new pointer when a chain runs on into
// blocks appended at the end of the file, and the free list on disk is walked by its count, which
// never reaches past the tail.

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "detail/archive_file.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

class BlockAllocator {
 public:
  // `free_blocks` in list order; `tail_pointer` is what the last one's pointer holds. Blocks are
  // appended to the file, which is `length` bytes long, from the first multiple of the block size
  // at or after its end.
  BlockAllocator(ArchiveFile& file, std::uint32_t block_size, std::deque<std::uint32_t> free_blocks,
                 std::uint32_t tail_pointer, std::uint64_t length);

  // Stores `payload` as a chain and returns its first block, 0 for an empty payload (no block).
  // Appended blocks are written whole, so the file ends with the last of them. Other("...4 GiB")
  // when a block would start beyond 32-bit offsets.
  [[nodiscard]] Result<std::uint32_t> store_chain(std::span<const std::uint8_t> payload);

  // Adds `blocks`, which nothing the header on disk reaches may hold, to the end of the free list:
  // each one's pointer, and the old tail's.
  [[nodiscard]] Result<void> release(std::vector<std::uint32_t> blocks);

  // The header's free_head, free_tail and free_count for the blocks still free, and file_size.
  void describe(DatHeader& header) const;
  std::uint64_t length() const { return length_; }

 private:
  ArchiveFile* file_;
  std::uint32_t block_size_;
  std::deque<std::uint32_t> free_;
  std::uint32_t tail_pointer_;
  std::uint64_t end_;
  std::uint64_t length_;
};

// The blocks of the chain at `offset` holding `size` bytes, as the chain walk meets them. Where a
// zero pointer says the rest follows contiguously, only the block holding that pointer is listed:
// the bytes after it are not blocks this writer can reuse.
[[nodiscard]] Result<std::vector<std::uint32_t>> chain_blocks(const ArchiveFile& file,
                                                              std::uint32_t block_size,
                                                              std::uint32_t offset,
                                                              std::uint32_t size);

}  // namespace kelvane_dat::detail
