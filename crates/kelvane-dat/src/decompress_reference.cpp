#include "detail/decompress_reference.hpp"

#include "detail/endian.hpp"
#include "detail/lrs_format.hpp"

namespace kelvane_dat::detail {

std::vector<std::uint8_t> decompress_lrs_reference(std::span<const std::uint8_t> data) {
  if (data.size() < kLrsSizePrefix) return std::vector<std::uint8_t>(data.begin(), data.end());

  const std::uint32_t declared_size = load_le32(data.data());
  const std::span<const std::uint8_t> stream = data.subspan(kLrsSizePrefix);
  std::vector<std::uint8_t> out;
  out.reserve(lrs_output_bound(declared_size, stream.size()));

  std::size_t pos = 0;
  std::uint8_t flags = 0;
  unsigned mask = 0;
  while (out.size() < declared_size && pos < stream.size()) {
    if (mask == 0) {
      flags = stream[pos++];
      mask = kLrsFirstItemBit;
    }
    if ((flags & mask) != 0) {
      if (stream.size() - pos < kLrsReferenceSize) break;
      const unsigned b0 = stream[pos];
      const unsigned b1 = stream[pos + 1];
      pos += kLrsReferenceSize;
      const std::size_t distance = lrs_distance(b0, b1);
      const unsigned length = lrs_length(b1);
      // Distance 0 is the end marker. A reference with no output behind it has nothing to copy.
      if (distance == 0 || out.empty()) break;
      for (unsigned i = 0; i < length && out.size() < declared_size; ++i) {
        // A distance reaching before the first byte is clamped to it, one byte at a time.
        const std::size_t source = out.size() >= distance ? out.size() - distance : 0;
        const std::uint8_t byte = out[source];  // copied first: push_back may reallocate
        out.push_back(byte);
      }
    } else {
      if (pos >= stream.size()) break;
      out.push_back(stream[pos++]);
    }
    mask >>= 1;
  }
  return out;
}

}  // namespace kelvane_dat::detail
