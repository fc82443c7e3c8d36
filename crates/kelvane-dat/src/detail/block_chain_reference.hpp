#pragma once

// The reference chain walk, which read_block_chain is tested against. Part of the
// kelvane_dat_reference target, not of the shipped library.

#include <cstdint>
#include <vector>

#include "detail/block_chain.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

// Same contract as read_block_chain. Reads, in order: each visited block's pointer, then its share
// of the payload; a zero pointer is followed by one read of everything still missing. A `size`
// beyond the file's length goes to the library's own walk_oversized_chain (detail/chain_walk.hpp).
Result<std::vector<std::uint8_t>> read_block_chain_reference(PositionedReader file,
                                                             ChainGeometry geometry,
                                                             std::uint32_t offset,
                                                             std::uint32_t size);

}  // namespace kelvane_dat::detail
