#pragma once

// The step every chain walk takes, and the straightforward walk built on it.
//
// read_block_chain (block_chain.cpp) reads ahead in windows, but decides each block with
// chain_step, as the straightforward walk here does: two positioned reads per block, pointer then
// payload. The library walks chains longer than the file this way, keeping nothing
// (walk_oversized_chain); the reference walk of the tests (block_chain_reference.hpp, in the
// kelvane_dat_reference target) is this walk keeping everything.

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "detail/block_chain.hpp"
#include "detail/endian.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

inline constexpr std::uint32_t kPointerSize = 4;

DatError no_payload_room(std::uint32_t block, std::uint32_t next, std::uint32_t block_size);
DatError payload_start_overflows(std::uint32_t block, std::uint32_t block_size);

// One block of a chain, as its pointer decides it.
struct ChainStep {
  // Where the block's payload starts in the file.
  std::uint64_t payload_start = 0;
  // The payload bytes the block gives: its share of a block, or everything still missing after a
  // zero pointer.
  std::uint32_t share = 0;
  // The next block; 0 when the chain ends here.
  std::uint32_t next = 0;
};

// The block at `block`, whose pointer reads `next`, while `remaining` bytes are still missing.
// Fails when the payload start does not fit in 32 bits (offsets are 32-bit), and when a non-zero
// pointer is to be followed from a block with no room for payload (such a chain never ends).
inline Result<ChainStep> chain_step(std::uint32_t block, std::uint32_t next,
                                    std::uint32_t remaining, std::uint32_t block_size) {
  if (block > std::numeric_limits<std::uint32_t>::max() - kPointerSize) [[unlikely]] {
    return std::unexpected(payload_start_overflows(block, block_size));
  }
  const std::uint64_t payload_start = std::uint64_t{block} + kPointerSize;
  // Not cut to one block: everything still missing follows the pointer.
  if (next == 0) return ChainStep{payload_start, remaining, 0};
  if (block_size <= kPointerSize) [[unlikely]] {
    return std::unexpected(no_payload_room(block, next, block_size));
  }
  return ChainStep{payload_start, std::min(remaining, block_size - kPointerSize), next};
}

// The straightforward walk. `read_payload(file_offset, length, filled)` fetches `length` payload
// bytes that belong at `filled` in the result. With a `reread_bound`, the walk stops, successfully,
// once its blocks (pointers and payload shares, all read) add up to more bytes than that: it has
// then read some byte of a file that long twice, through blocks that overlap or loop.
template <class PayloadReader>
Result<void> walk_chain(PositionedReader file, std::uint32_t block_size, std::uint32_t offset,
                        std::uint32_t size, PayloadReader&& read_payload,
                        std::optional<std::uint64_t> reread_bound) {
  std::uint64_t filled = 0;
  std::uint64_t block_bytes = 0;
  std::uint32_t remaining = size;
  std::uint32_t current = offset;
  while (remaining > 0) {
    std::array<std::uint8_t, kPointerSize> pointer;
    if (const auto read = file.read_exact_at_compat(pointer, current); !read) {
      return std::unexpected(read.error());
    }
    const auto step = chain_step(current, load_le32(pointer.data()), remaining, block_size);
    if (!step) return std::unexpected(step.error());
    if (const auto read = read_payload(step->payload_start, step->share, filled); !read) {
      return std::unexpected(read.error());
    }
    filled += step->share;
    remaining -= step->share;
    current = step->next;
    block_bytes += kPointerSize + step->share;
    if (reread_bound && remaining > 0 && block_bytes > *reread_bound) return {};
  }
  return {};
}

// read_block_chain for a `size` beyond the file's length (see its contract): walks the chain
// keeping nothing, as far as its blocks add up to the file's length, and fails with the error the
// walk meets on that stretch, or Corruption.
Result<std::vector<std::uint8_t>> walk_oversized_chain(PositionedReader file,
                                                       ChainGeometry geometry, std::uint32_t offset,
                                                       std::uint32_t size);

}  // namespace kelvane_dat::detail
