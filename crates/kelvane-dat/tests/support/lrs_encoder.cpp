#include "support/lrs_encoder.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace kelvane_dat::test_support {

namespace {

constexpr std::size_t kWindowRing = 4096;  // a power of two at least the window size
// Candidates examined per position; deeper searches cost time for little gain at these lengths.
constexpr int kMaxChainSteps = 48;

void append_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

LrsTokenWriter::LrsTokenWriter(std::uint32_t declared_size) { append_u32(out_, declared_size); }

std::uint8_t LrsTokenWriter::next_item_bit() {
  if (next_bit_ == 0) {
    flag_index_ = out_.size();
    out_.push_back(0);
    next_bit_ = detail::kLrsFirstItemBit;
  }
  const std::uint8_t bit = next_bit_;
  next_bit_ = static_cast<std::uint8_t>(next_bit_ >> 1);
  return bit;
}

LrsTokenWriter& LrsTokenWriter::literal(std::uint8_t byte) {
  next_item_bit();
  out_.push_back(byte);
  return *this;
}

LrsTokenWriter& LrsTokenWriter::literals(std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes) literal(byte);
  return *this;
}

LrsTokenWriter& LrsTokenWriter::literals(std::string_view text) {
  for (const char c : text) literal(static_cast<std::uint8_t>(c));
  return *this;
}

LrsTokenWriter& LrsTokenWriter::reference(std::uint32_t distance, std::uint32_t length) {
  if (distance > kMaxDistance || length < kMinLength || length > kMaxLength) std::abort();
  const std::uint8_t bit = next_item_bit();
  out_[flag_index_] = static_cast<std::uint8_t>(out_[flag_index_] | bit);
  out_.push_back(detail::lrs_reference_b0(distance));
  out_.push_back(detail::lrs_reference_b1(distance, length));
  return *this;
}

std::vector<std::uint8_t> compress_lrs(std::span<const std::uint8_t> input) {
  if (input.size() > std::numeric_limits<std::uint32_t>::max()) std::abort();
  LrsTokenWriter writer(static_cast<std::uint32_t>(input.size()));
  const std::size_t n = input.size();
  // head[pair] is the latest position starting with that byte pair; prev links each position to
  // the previous one with the same pair, within the window.
  std::vector<std::int64_t> head(1u << 16, -1);
  std::vector<std::int64_t> prev(kWindowRing, -1);
  auto pair_at = [&](std::size_t pos) {
    return static_cast<std::size_t>(input[pos] | (input[pos + 1] << 8));
  };
  auto insert = [&](std::size_t pos) {
    if (pos + 1 >= n) return;
    const std::size_t key = pair_at(pos);
    prev[pos % kWindowRing] = head[key];
    head[key] = static_cast<std::int64_t>(pos);
  };

  std::size_t pos = 0;
  while (pos < n) {
    std::size_t best_length = 0;
    std::size_t best_distance = 0;
    if (pos + 1 < n) {
      const std::size_t limit = std::min<std::size_t>(LrsTokenWriter::kMaxLength, n - pos);
      std::int64_t candidate = head[pair_at(pos)];
      for (int step = 0; step < kMaxChainSteps && candidate >= 0; ++step) {
        const auto from = static_cast<std::size_t>(candidate);
        if (pos - from > LrsTokenWriter::kMaxDistance) break;
        // Comparing against the input lets a match run into its own output: an overlapping copy.
        std::size_t length = 0;
        while (length < limit && input[from + length] == input[pos + length]) ++length;
        if (length > best_length) {
          best_length = length;
          best_distance = pos - from;
          if (length == limit) break;
        }
        candidate = prev[from % kWindowRing];
      }
    }
    if (best_length >= LrsTokenWriter::kMinLength) {
      writer.reference(static_cast<std::uint32_t>(best_distance),
                       static_cast<std::uint32_t>(best_length));
      for (std::size_t i = 0; i < best_length; ++i) insert(pos + i);
      pos += best_length;
    } else {
      writer.literal(input[pos]);
      insert(pos);
      ++pos;
    }
  }
  return std::move(writer).take();
}

}  // namespace kelvane_dat::test_support
