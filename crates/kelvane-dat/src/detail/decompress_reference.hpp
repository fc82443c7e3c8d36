#pragma once

// The straightforward expansion of compressed payloads: one item at a time, one output byte at a
// time, every step bounds-checked. decompress_lrs must agree with it on every input; the tests
// and benchmarks compare the two.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvane_dat::detail {

inline constexpr std::size_t kLrsSizePrefix = 4;

// No stream can expand to more than this many bytes: each group of one flag byte and eight
// two-byte references (17 stream bytes) yields at most 8 x 17 = 136. The declared size is only a
// claim, and reserving it blindly would let a 20-byte payload ask for 4 GiB.
inline std::size_t lrs_output_bound(std::uint32_t declared_size, std::size_t stream_size) {
  constexpr std::uint64_t kGroupBytes = 17;
  constexpr std::uint64_t kGroupMaxOutput = 8 * 17;
  const std::uint64_t groups = (stream_size + kGroupBytes - 1) / kGroupBytes;
  return static_cast<std::size_t>(std::min<std::uint64_t>(declared_size, groups * kGroupMaxOutput));
}

std::vector<std::uint8_t> decompress_lrs_reference(std::span<const std::uint8_t> data);

}  // namespace kelvane_dat::detail
