#pragma once

// Decoding the UTF-16 texts of string tables into UTF-8.
//
// Lossy and total: a surrogate that is not half of a lead+trail pair becomes one U+FFFD and
// decoding goes on with the next unit. U+0000 is an ordinary character; stored texts are counted,
// not terminated. `bytes` holds two bytes per little-endian code unit (an odd last byte is
// ignored).

#include <cstdint>
#include <span>
#include <string>

namespace kelvane_dat::detail {

constexpr bool is_lead_surrogate(std::uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool is_trail_surrogate(std::uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Eight units at a time while they are ASCII, which game texts mostly are; the output is sized
// exactly rather than grown.
std::string utf16le_to_utf8_lossy(std::span<const std::uint8_t> bytes);

}  // namespace kelvane_dat::detail
