// Reads packed integers from the input, one after another, until the input runs out.
//
// Properties: the form (1, 2 or 4 bytes) follows the two top bits of the first byte, the value is
// the one its bytes spell and lies within its form's range, and the reader ends just past it; when
// the input ends inside a value the error is "failed to fill whole buffer", and the reader stops at
// the first byte of the primitive read that ran out (bytes of earlier reads stay consumed).

#include <cstdint>

#include "fuzz_check.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/packed_int.hpp"

namespace {

// The packed value's length from its first byte.
std::size_t form_width(std::uint8_t first) {
  if ((first & 0x80) == 0) return 1;
  return (first & 0x40) == 0 ? 2 : 4;
}

std::uint32_t spelled_value(const std::uint8_t* bytes, std::size_t width) {
  switch (width) {
    case 1:
      return bytes[0];
    case 2:
      return std::uint32_t{bytes[0] & 0x7Fu} << 8 | bytes[1];
    default:
      // Upper half high byte first, lower half a little-endian word.
      return std::uint32_t{bytes[0] & 0x3Fu} << 24 | std::uint32_t{bytes[1]} << 16 |
             std::uint32_t{bytes[3]} << 8 | bytes[2];
  }
}

// Where the reader stops when only `left` bytes remain of a value `width` bytes long: the
// primitive reads are b0, b1 and a 16-bit word.
std::size_t consumed_before_failure(std::size_t width, std::size_t left) {
  if (left == 0) return 0;
  if (width == 2) return 1;
  return left == 1 ? 1 : 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kelvane_dat::fuzz::require;
  kelvane_dat::ByteCursor reader(kelvane_dat::fuzz::input_bytes(data, size));
  for (;;) {
    const auto start = static_cast<std::size_t>(reader.position());
    const std::size_t left = size - start;
    const std::size_t width = left == 0 ? 1 : form_width(data[start]);
    const auto value = kelvane_dat::read_compressed_u32(reader);
    if (!value) {
      require(left < width, "a packed value fails only when the input ends inside it");
      require(value.error().to_string() == "failed to fill whole buffer",
              "a cut value fails with the end-of-data text");
      require(reader.position() == start + consumed_before_failure(width, left),
              "a failed read stops at the primitive read that ran out");
      return 0;
    }
    require(left >= width, "a packed value succeeds only when its bytes are there");
    require(reader.position() == start + width, "the reader ends just past the value");
    require(*value == spelled_value(data + start, width), "the value is the one its bytes spell");
    const std::uint32_t form_max = width == 1 ? 0x7F : width == 2 ? 0x3FFF : 0x3FFFFFFF;
    require(*value <= form_max, "the value lies within its form's range");
  }
}
