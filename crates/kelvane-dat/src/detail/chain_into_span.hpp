#pragma once

// The chain walks into caller memory instead of a vector, for DatDatabase::get_file_to: `out` must
// hold at least `size` bytes, and receives the bytes and errors the vector forms return (its
// contents are unspecified on failure).

#include <cstdint>
#include <span>

#include "detail/block_chain.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

Result<void> read_block_chain_to(PositionedReader file, ChainGeometry geometry,
                                 std::uint32_t offset, std::uint32_t size,
                                 std::span<std::uint8_t> out);

Result<void> read_block_chain_in_memory_to(std::span<const std::uint8_t> image,
                                           std::uint32_t block_size, std::uint32_t offset,
                                           std::uint32_t size, std::span<std::uint8_t> out);

}  // namespace kelvane_dat::detail
