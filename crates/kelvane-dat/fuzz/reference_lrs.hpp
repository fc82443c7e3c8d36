#pragma once

// A second, deliberately plain expansion of compressed payloads, for differential fuzzing: one
// item at a time, one output byte at a time, no reservation, no fast paths. The library's
// decompress_lrs may be as clever as it likes as long as it agrees with this on every input.

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane_dat::fuzz {

std::vector<std::uint8_t> reference_decompress_lrs(std::span<const std::uint8_t> payload);

}  // namespace kelvane_dat::fuzz
