#pragma once

// The straightforward expansion of compressed payloads: one item at a time, one output byte at a
// time, every step bounds-checked. decompress_lrs must agree with it on every input; the tests,
// benchmarks and fuzz targets compare the two. Part of the kelvane_dat_reference target, not of the
// shipped library.

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane_dat::detail {

std::vector<std::uint8_t> decompress_lrs_reference(std::span<const std::uint8_t> data);

}  // namespace kelvane_dat::detail
