#pragma once

/// \file
/// Writing the archive's compressed payloads: the inverse of decompress_lrs.

#include <cstdint>
#include <span>
#include <vector>

#include "kelvane_dat/error.hpp"
#include "kelvane_dat/export.hpp"

namespace kelvane_dat {

/// Encodes `data` as a compressed payload that decompress_lrs expands back to exactly `data`: the
/// declared size is data.size(), then literals and back-references of 2 to 17 bytes from up to
/// 4095 bytes back, never reaching before the first byte. Greedy matching over hash chains: fast
/// rather than smallest. Fails (Other) only when `data` is 2 GiB or more, beyond any stored file.
[[nodiscard]] KELVANE_DAT_EXPORT Result<std::vector<std::uint8_t>> compress_lrs(
    std::span<const std::uint8_t> data);

}  // namespace kelvane_dat
