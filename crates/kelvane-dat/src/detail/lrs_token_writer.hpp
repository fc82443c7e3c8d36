#pragma once

// Assembles a compressed payload item by item, placing flag bytes and their bits: the one writer of
// token streams, for compress_lrs and for tests that need hand-made streams.
//
// Payload layout: lrs_format.hpp.

#include <cassert>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "detail/lrs_format.hpp"

namespace kelvane_dat::detail {

class LrsTokenWriter {
 public:
  static constexpr std::uint32_t kMaxDistance = kLrsMaxDistance;
  static constexpr std::uint32_t kMinLength = kLrsMinLength;
  static constexpr std::uint32_t kMaxLength = kLrsMaxLength;

  explicit LrsTokenWriter(std::uint32_t declared_size, std::size_t expected_items = 0) {
    out_.reserve(kLrsSizePrefix + expected_items + expected_items / kLrsItemsPerGroup + 1);
    for (int shift = 0; shift < 32; shift += 8) {
      out_.push_back(static_cast<std::uint8_t>(declared_size >> shift));
    }
  }

  LrsTokenWriter& literal(std::uint8_t byte) {
    next_item_bit();
    out_.push_back(byte);
    return *this;
  }
  LrsTokenWriter& literals(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) literal(byte);
    return *this;
  }
  LrsTokenWriter& literals(std::string_view text) {
    for (const char c : text) literal(static_cast<std::uint8_t>(c));
    return *this;
  }
  // `distance` 0 to 4095 (0 is the end marker), `length` 2 to 17.
  LrsTokenWriter& reference(std::uint32_t distance, std::uint32_t length) {
    assert(distance <= kMaxDistance && length >= kMinLength && length <= kMaxLength);
    const std::uint8_t bit = next_item_bit();
    out_[flag_index_] = static_cast<std::uint8_t>(out_[flag_index_] | bit);
    out_.push_back(lrs_reference_b0(distance));
    out_.push_back(lrs_reference_b1(distance, length));
    return *this;
  }

  // Bytes written so far: declared size and stream.
  const std::vector<std::uint8_t>& bytes() const { return out_; }
  std::vector<std::uint8_t> take() && { return std::move(out_); }

 private:
  // Returns the flag bit of the next item, opening a group when the last one is full.
  std::uint8_t next_item_bit() {
    if (next_bit_ == 0) {
      flag_index_ = out_.size();
      out_.push_back(0);
      next_bit_ = kLrsFirstItemBit;
    }
    const std::uint8_t bit = next_bit_;
    next_bit_ = static_cast<std::uint8_t>(next_bit_ >> 1);
    return bit;
  }

  std::vector<std::uint8_t> out_;
  std::size_t flag_index_ = 0;
  std::uint8_t next_bit_ = 0;
};

}  // namespace kelvane_dat::detail
