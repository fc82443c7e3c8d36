#pragma once

// The free list of an archive being opened for changes: checked against what the layout check
// found claimed, and rebuilt from the unclaimed blocks when it does not hold.

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "detail/archive_file.hpp"
#include "detail/layout_claims.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

struct FreeList {
  std::deque<std::uint32_t> blocks;  // in list order
  std::uint32_t tail_pointer = 0;    // what the last block's pointer holds
};

// The header's free list, walked; nullopt when it is cyclic, runs into claimed bytes, past the
// file or off the block grid, or disagrees with free_count or free_tail.
[[nodiscard]] Result<std::optional<FreeList>> read_free_list(const ArchiveFile& file,
                                                             const DatHeader& header,
                                                             std::uint64_t file_length,
                                                             std::span<const ClaimedRange> claimed);

// Every block of the grid (offsets that are multiples of the block size) that nothing claims.
std::vector<std::uint32_t> unclaimed_blocks(std::uint32_t block_size, std::uint64_t file_length,
                                            std::span<const ClaimedRange> claimed);

}  // namespace kelvane_dat::detail
