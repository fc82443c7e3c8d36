#pragma once

/// \file
/// Unaligned little-endian loads. Archive integers are little-endian whatever the host is; memcpy
/// keeps the loads safe at any alignment and compiles to a single move on x86-64.

#include <bit>
#include <cstdint>
#include <cstring>

namespace kelvane_dat {

/// The unsigned 16-bit little-endian value in the two bytes at `bytes`.
inline std::uint16_t load_le16(const std::uint8_t* bytes) {
  std::uint16_t value;
  std::memcpy(&value, bytes, sizeof value);
  if constexpr (std::endian::native == std::endian::big) value = std::byteswap(value);
  return value;
}

/// The unsigned 32-bit little-endian value in the four bytes at `bytes`.
inline std::uint32_t load_le32(const std::uint8_t* bytes) {
  std::uint32_t value;
  std::memcpy(&value, bytes, sizeof value);
  if constexpr (std::endian::native == std::endian::big) value = std::byteswap(value);
  return value;
}

}  // namespace kelvane_dat
