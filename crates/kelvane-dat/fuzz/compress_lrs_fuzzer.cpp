// Compresses the input and expands the result.
//
// Property: decompress_lrs(compress_lrs(x)) == x for every input x, and the payload declares
// x's size.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "detail/endian.hpp"
#include "fuzz_check.hpp"
#include "kelvane_dat/compress.hpp"
#include "kelvane_dat/decompress.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kelvane_dat::fuzz::require;
  const auto input = kelvane_dat::fuzz::input_bytes(data, size);
  const auto payload = kelvane_dat::compress_lrs(input);
  require(payload.has_value(), "an input below 2 GiB compresses");
  require(kelvane_dat::load_le32(payload->data()) == input.size(),
          "the payload declares the input's size");
  const std::vector<std::uint8_t> out = kelvane_dat::decompress_lrs(*payload);
  require(std::equal(out.begin(), out.end(), input.begin(), input.end()),
          "the expansion gives back the input");
  return 0;
}
