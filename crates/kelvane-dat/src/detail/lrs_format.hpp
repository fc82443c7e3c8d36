#pragma once

// The layout of compressed payloads (see kelvane_dat/decompress.hpp), in one place for the
// expansion, its reference and the tests' encoder.
//
// A payload is a 4-byte little-endian declared size, then groups: a flag byte whose bits, most
// significant first, mark each of the next eight items as a literal byte (clear) or a two-byte
// back-reference (set). A reference (b0, b1) copies `length` bytes from `distance` back.

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace kelvane_dat::detail {

inline constexpr std::size_t kLrsSizePrefix = 4;
inline constexpr unsigned kLrsItemsPerGroup = 8;
// The flag bit of a group's first item; each following item takes the next lower bit.
inline constexpr unsigned kLrsFirstItemBit = 0x80;
inline constexpr std::size_t kLrsReferenceSize = 2;
// Distance 0 ends the stream; 12 bits allow up to 4095.
inline constexpr std::uint32_t kLrsMaxDistance = 4095;
inline constexpr std::uint32_t kLrsMinLength = 2;
inline constexpr std::uint32_t kLrsMaxLength = 17;
// The most a group can take from the stream and give to the output: a flag byte and eight
// references, each copying the longest run.
inline constexpr std::size_t kLrsGroupInput = 1 + kLrsItemsPerGroup * kLrsReferenceSize;
inline constexpr std::size_t kLrsGroupOutput = kLrsItemsPerGroup * kLrsMaxLength;

// The two fields of a reference: distance b0 | (b1 & 0xF0) << 4, length (b1 & 0x0F) + 2.
constexpr std::size_t lrs_distance(unsigned b0, unsigned b1) { return b0 | ((b1 & 0xF0u) << 4); }
constexpr unsigned lrs_length(unsigned b1) { return (b1 & 0x0Fu) + kLrsMinLength; }
// And back, for an encoder: distance up to kLrsMaxDistance, length kLrsMinLength to kLrsMaxLength.
constexpr std::uint8_t lrs_reference_b0(std::uint32_t distance) {
  return static_cast<std::uint8_t>(distance & 0xFF);
}
constexpr std::uint8_t lrs_reference_b1(std::uint32_t distance, std::uint32_t length) {
  return static_cast<std::uint8_t>(((distance >> 4) & 0xF0) | (length - kLrsMinLength));
}

// No stream can expand to more than this many bytes: each group of kLrsGroupInput stream bytes
// yields at most kLrsGroupOutput. The declared size is only a claim, and reserving it blindly
// would let a 20-byte payload ask for 4 GiB.
inline std::size_t lrs_output_bound(std::uint32_t declared_size, std::size_t stream_size) {
  const std::uint64_t groups = (stream_size + kLrsGroupInput - 1) / kLrsGroupInput;
  return static_cast<std::size_t>(
      std::min<std::uint64_t>(declared_size, groups * std::uint64_t{kLrsGroupOutput}));
}

}  // namespace kelvane_dat::detail
