#pragma once

// The reference UTF-16 decoder, which utf16le_to_utf8_lossy (detail/utf16.hpp) is tested against:
// one unit at a time, same rules. Part of the kelvane_dat_reference target, not of the shipped
// library.

#include <cstdint>
#include <span>
#include <string>

namespace kelvane_dat::detail {

std::string utf16le_to_utf8_lossy_reference(std::span<const std::uint8_t> bytes);

}  // namespace kelvane_dat::detail
