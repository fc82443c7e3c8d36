#pragma once

/// \file
/// Packed unsigned integers: counts and lengths inside stored records take 1, 2 or 4 bytes,
/// chosen by the two top bits of the first byte.
///
/// \verbatim
///   0xxxxxxx                      short   value = b0                          (0 .. 0x7F)
///   10xxxxxx b1                   medium  value = (b0 & 0x7F) << 8 | b1       (0 .. 0x3FFF)
///   11xxxxxx b1 lo hi             long    value = (b0 & 0x3F) << 24 | b1 << 16 | (hi << 8 | lo)
///                                                                             (0 .. 0x3FFFFFFF)
/// \endverbatim
///
/// The long form mixes byte orders: its upper half is written high byte first, its lower half is a
/// little-endian 16-bit word, so C1 02 03 04 is 0x01020403. Writers are not required to pick the
/// shortest form; 80 05 and C0 00 05 00 both mean 5.

#include <cstdint>
#include <expected>
#include <vector>

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/export.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat {

/// Reads one packed value and leaves the reader just past it. The value is read as separate
/// primitive reads (b0, b1, then the 16-bit word), so when the data ends the bytes of the earlier
/// reads stay consumed and the reader stops at the first byte of the read that ran out. The error
/// is the plain "failed to fill whole buffer", with no context added.
[[nodiscard]] KELVANE_DAT_EXPORT std::expected<std::uint32_t, ReadError> read_compressed_u32(
    ByteCursor& reader);

/// The largest value a packed integer holds.
inline constexpr std::uint32_t kMaxCompressedU32 = 0x3FFFFFFF;

/// Appends `value` in its shortest packed form; the value must be at most kMaxCompressedU32 (the
/// caller checks, as only it knows which field overflowed).
KELVANE_DAT_EXPORT void append_compressed_u32(std::vector<std::uint8_t>& out, std::uint32_t value);

}  // namespace kelvane_dat
