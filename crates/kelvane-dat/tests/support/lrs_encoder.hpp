#pragma once

// Writing compressed payloads, for tests: a real encoder whose output decompress_lrs expands back
// to its input, and a token writer for hand-made streams.
//
// Payload layout: src/detail/lrs_format.hpp, shared with the library.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "detail/lrs_format.hpp"

namespace kelvane_dat::test_support {

// Assembles a payload item by item, placing flag bytes and their bits.
class LrsTokenWriter {
 public:
  static constexpr std::uint32_t kMaxDistance = detail::kLrsMaxDistance;
  static constexpr std::uint32_t kMinLength = detail::kLrsMinLength;
  static constexpr std::uint32_t kMaxLength = detail::kLrsMaxLength;

  explicit LrsTokenWriter(std::uint32_t declared_size);

  LrsTokenWriter& literal(std::uint8_t byte);
  LrsTokenWriter& literals(std::span<const std::uint8_t> bytes);
  LrsTokenWriter& literals(std::string_view text);
  // `distance` 0 to 4095 (0 is the end marker), `length` 2 to 17; anything else is a test bug and
  // aborts.
  LrsTokenWriter& reference(std::uint32_t distance, std::uint32_t length);

  // Bytes written so far: declared size and stream.
  const std::vector<std::uint8_t>& bytes() const { return out_; }
  std::vector<std::uint8_t> take() && { return std::move(out_); }

 private:
  // Returns the flag bit of the next item, opening a group when the last one is full.
  std::uint8_t next_item_bit();

  std::vector<std::uint8_t> out_;
  std::size_t flag_index_ = 0;
  std::uint8_t next_bit_ = 0;
};

// LZ encoding with a 4095-byte window and 2..17-byte matches, overlapping ones included. Matches
// are found through hash chains keyed by the next two bytes, so megabytes encode quickly. The
// declared size is input.size(), which must fit in 32 bits.
std::vector<std::uint8_t> compress_lrs(std::span<const std::uint8_t> input);

}  // namespace kelvane_dat::test_support
