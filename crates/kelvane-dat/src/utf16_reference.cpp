#include "detail/utf16_reference.hpp"

#include "detail/endian.hpp"
#include "detail/utf16.hpp"
#include "detail/utf8.hpp"

namespace kelvane_dat::detail {

std::string utf16le_to_utf8_lossy_reference(std::span<const std::uint8_t> bytes) {
  const std::size_t unit_count = bytes.size() / 2;
  auto unit_at = [&bytes](std::size_t i) { return load_le16(bytes.data() + 2 * i); };

  std::string out;
  // Game texts are mostly ASCII, one byte per unit; anything else grows the buffer.
  out.reserve(unit_count);
  std::size_t i = 0;
  while (i < unit_count) {
    const std::uint16_t unit = unit_at(i);
    if (unit < 0x80) {
      out.push_back(static_cast<char>(unit));
      ++i;
      continue;
    }
    if (is_lead_surrogate(unit) && i + 1 < unit_count && is_trail_surrogate(unit_at(i + 1))) {
      const char32_t high = unit - 0xD800u;
      const char32_t low = unit_at(i + 1) - 0xDC00u;
      append_utf8(out, 0x10000 + ((high << 10) | low));
      i += 2;
      continue;
    }
    const bool lone_surrogate = unit >= 0xD800 && unit <= 0xDFFF;
    append_utf8(out, lone_surrogate ? kReplacementCharacter : char32_t{unit});
    ++i;
  }
  return out;
}

}  // namespace kelvane_dat::detail
