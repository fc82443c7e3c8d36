// Expands the input as a compressed payload.
//
// Properties: the output equals the plain reference expansion of the kelvane_dat_reference target
// (src/detail/decompress_reference.hpp) byte for byte; it never exceeds the size the payload
// declares; an input too short to declare a size comes back unchanged.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "detail/decompress_reference.hpp"
#include "detail/endian.hpp"
#include "fuzz_check.hpp"
#include "kelvane_dat/decompress.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kelvane_dat::fuzz::require;
  const auto payload = kelvane_dat::fuzz::input_bytes(data, size);
  const std::vector<std::uint8_t> out = kelvane_dat::decompress_lrs(payload);
  require(out == kelvane_dat::detail::decompress_lrs_reference(payload),
          "the expansion matches the reference");
  if (payload.size() < 4) {
    require(std::equal(out.begin(), out.end(), payload.begin(), payload.end()),
            "a payload shorter than its size field comes back unchanged");
  } else {
    require(out.size() <= kelvane_dat::load_le32(payload.data()),
            "the expansion never exceeds the declared size");
  }
  return 0;
}
