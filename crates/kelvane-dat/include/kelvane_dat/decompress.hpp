#pragma once

// Expansion of the archive's compressed payloads.
//
// A payload is a 4-byte little-endian declared size followed by a token stream. Each flag byte
// governs the next eight items, most significant bit first: a clear bit is one literal byte, a set
// bit a two-byte back-reference (b0, b1) with distance b0 | (b1 & 0xF0) << 4 (1 to 4095; 0 ends
// the stream) and length (b1 & 0x0F) + 2, copied byte by byte so it may overlap its own output.

#include <cstdint>
#include <span>
#include <vector>

#include "kelvane_dat/export.hpp"

namespace kelvane_dat {

// Never fails: a damaged or truncated stream yields the output produced before the damage. A
// payload shorter than 4 bytes has no declared size and comes back unchanged. The output never
// exceeds the declared size.
KELVANE_DAT_EXPORT std::vector<std::uint8_t> decompress_lrs(std::span<const std::uint8_t> data);

}  // namespace kelvane_dat
