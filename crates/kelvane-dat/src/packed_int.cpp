#include "kelvane_dat/packed_int.hpp"

#include <cassert>

namespace kelvane_dat {

std::expected<std::uint32_t, ReadError> read_compressed_u32(ByteCursor& reader) {
  const auto b0 = reader.read_u8();
  if (!b0) return std::unexpected(ReadError(b0.error()));
  if ((*b0 & 0x80u) == 0) return *b0;

  const auto b1 = reader.read_u8();
  if (!b1) return std::unexpected(ReadError(b1.error()));
  if ((*b0 & 0x40u) == 0) return ((*b0 & 0x7Fu) << 8) | *b1;

  const auto low_word = reader.read_u16();
  if (!low_word) return std::unexpected(ReadError(low_word.error()));
  const std::uint32_t high_word = ((*b0 & 0x3Fu) << 8) | *b1;
  return (high_word << 16) | *low_word;
}

void append_compressed_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  assert(value <= kMaxCompressedU32);
  if (value <= 0x7F) {
    out.push_back(static_cast<std::uint8_t>(value));
  } else if (value <= 0x3FFF) {
    out.push_back(static_cast<std::uint8_t>(0x80 | (value >> 8)));
    out.push_back(static_cast<std::uint8_t>(value));
  } else {
    // Upper half high byte first, lower half a little-endian word.
    out.push_back(static_cast<std::uint8_t>(0xC0 | (value >> 24)));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
  }
}

}  // namespace kelvane_dat
