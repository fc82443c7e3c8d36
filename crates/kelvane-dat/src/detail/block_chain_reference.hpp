#pragma once

// The straightforward chain walk, two positioned reads per block, and the errors both walks share.
//
// read_block_chain keeps a faster walk that reads ahead; this one is the definition it is tested
// against, and it still serves chains whose size exceeds the file, which it walks keeping nothing.

#include <cstdint>
#include <vector>

#include "kelvane_dat/block_chain.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

inline constexpr std::uint32_t kPointerSize = 4;

// Same contract as read_block_chain. Reads, in order: each visited block's pointer, then its share
// of the payload; a zero pointer is followed by one read of everything still missing.
Result<std::vector<std::uint8_t>> read_block_chain_reference(PositionedReader file,
                                                             ChainGeometry geometry,
                                                             std::uint32_t offset,
                                                             std::uint32_t size);

// Chains the faster walks leave to the reference: size 0 reads nothing, a size beyond the file is
// walked keeping nothing (see read_block_chain), and blocks without payload room allow only a zero
// first pointer. None has anything to gain from reading ahead.
inline bool needs_reference_walk(ChainGeometry geometry, std::uint32_t size) {
  return size == 0 || size > geometry.file_length || geometry.block_size <= kPointerSize;
}

// The reference walk into a caller's buffer, with read_block_chain_into's contract.
Result<void> read_block_chain_reference_into(PositionedReader file, ChainGeometry geometry,
                                             std::uint32_t offset, std::uint32_t size,
                                             std::vector<std::uint8_t>& out);

DatError no_payload_room(std::uint32_t block, std::uint32_t next, std::uint32_t block_size);
DatError payload_start_overflows(std::uint32_t block, std::uint32_t block_size);

}  // namespace kelvane_dat::detail
