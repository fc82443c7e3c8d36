#include "kelvane_dat/decompress.hpp"

#include <algorithm>
#include <cstddef>

#include "kelvane_dat/endian.hpp"

namespace kelvane_dat {

namespace {

constexpr std::size_t kSizePrefix = 4;
// One flag byte and eight two-byte references of 17 bytes each: no 17 stream bytes can expand to
// more than 136.
constexpr std::uint64_t kGroupBytes = 17;
constexpr std::uint64_t kGroupMaxOutput = 8 * 17;

// The declared size is only a claim; reserving it blindly would let a 20-byte payload ask for
// 4 GiB. Reserve what the stream could possibly produce instead.
std::size_t reservation(std::uint32_t declared_size, std::size_t stream_size) {
  const std::uint64_t groups = (stream_size + kGroupBytes - 1) / kGroupBytes;
  return static_cast<std::size_t>(std::min<std::uint64_t>(declared_size, groups * kGroupMaxOutput));
}

}  // namespace

std::vector<std::uint8_t> decompress_lrs(std::span<const std::uint8_t> data) {
  if (data.size() < kSizePrefix) return std::vector<std::uint8_t>(data.begin(), data.end());

  const std::uint32_t declared_size = load_le32(data.data());
  const std::span<const std::uint8_t> stream = data.subspan(kSizePrefix);
  std::vector<std::uint8_t> out;
  out.reserve(reservation(declared_size, stream.size()));

  std::size_t pos = 0;
  std::uint8_t flags = 0;
  unsigned mask = 0;
  while (out.size() < declared_size && pos < stream.size()) {
    if (mask == 0) {
      flags = stream[pos++];
      mask = 0x80;
    }
    if ((flags & mask) != 0) {
      if (pos + 1 >= stream.size()) break;
      const unsigned b0 = stream[pos];
      const unsigned b1 = stream[pos + 1];
      pos += 2;
      const std::size_t distance = b0 | ((b1 & 0xF0u) << 4);
      const unsigned length = (b1 & 0x0Fu) + 2;
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

}  // namespace kelvane_dat
