#include "reference_lrs.hpp"

#include <cstddef>

namespace kelvane_dat::fuzz {

std::vector<std::uint8_t> reference_decompress_lrs(std::span<const std::uint8_t> payload) {
  // Too short to carry a declared size: not a compressed payload at all.
  if (payload.size() < 4) return {payload.begin(), payload.end()};

  const std::uint64_t declared = std::uint64_t{payload[0]} | std::uint64_t{payload[1]} << 8 |
                                 std::uint64_t{payload[2]} << 16 | std::uint64_t{payload[3]} << 24;
  const std::span<const std::uint8_t> stream = payload.subspan(4);
  std::vector<std::uint8_t> out;
  std::size_t next = 0;
  int items_left_in_group = 0;
  std::uint8_t flag_byte = 0;

  while (out.size() < declared && next < stream.size()) {
    if (items_left_in_group == 0) {
      flag_byte = stream[next];
      ++next;
      items_left_in_group = 8;
    }
    // Items take their bits from the most significant one down.
    const bool is_reference = ((flag_byte >> (items_left_in_group - 1)) & 1) != 0;
    --items_left_in_group;

    if (!is_reference) {
      if (next >= stream.size()) break;
      out.push_back(stream[next]);
      ++next;
      continue;
    }
    if (next + 2 > stream.size()) break;
    const std::uint8_t low = stream[next];
    const std::uint8_t high = stream[next + 1];
    next += 2;
    const std::size_t distance = low + std::size_t{static_cast<std::uint8_t>(high >> 4)} * 256;
    const int length = (high & 0x0F) + 2;
    // Distance 0 ends the stream; with no output yet there is nothing to copy, which ends it too.
    if (distance == 0 || out.empty()) break;
    for (int copied = 0; copied < length; ++copied) {
      if (out.size() >= declared) break;
      // Reaching before the first byte repeats the first byte.
      const std::size_t from = distance > out.size() ? 0 : out.size() - distance;
      const std::uint8_t byte = out[from];
      out.push_back(byte);
    }
  }
  return out;
}

}  // namespace kelvane_dat::fuzz
