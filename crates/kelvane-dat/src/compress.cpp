#include "kelvane_dat/compress.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>

#include "detail/lrs_format.hpp"
#include "detail/lrs_token_writer.hpp"

namespace kelvane_dat {

namespace {

using detail::kLrsMaxDistance;
using detail::kLrsMaxLength;
using detail::kLrsMinLength;

// Positions are hashed by their next three bytes; a two-byte match saves one flag bit over two
// literals, so missing those costs next to nothing. The chain through earlier positions with the
// same hash is a ring as long as the window.
constexpr unsigned kHashBits = 14;
constexpr std::size_t kRing = 4096;  // a power of two no shorter than the window
// Candidates tried per position: deeper searches cost time for little gain with matches this short.
constexpr int kMaxChainSteps = 8;
constexpr std::int32_t kNone = -1;

inline std::uint32_t hash3(const std::uint8_t* at) {
  const std::uint32_t v = at[0] | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16);
  return (v * 2654435761u) >> (32 - kHashBits);
}

class MatchFinder {
 public:
  explicit MatchFinder(std::span<const std::uint8_t> data) : data_(data) {
    head_.fill(kNone);
    prev_.fill(kNone);
  }

  struct Match {
    std::uint32_t distance = 0;
    std::uint32_t length = 0;
  };

  // The longest match for `pos` among the recent candidates; a match may run into the bytes it
  // produces (distance below length), which the byte-by-byte expansion reproduces.
  Match find(std::size_t pos) const {
    Match best;
    if (pos + 3 > data_.size()) return best;
    const std::size_t limit = std::min<std::size_t>(kLrsMaxLength, data_.size() - pos);
    const std::uint8_t* here = data_.data() + pos;
    std::int32_t candidate = head_[hash3(here)];
    for (int step = 0; step < kMaxChainSteps && candidate != kNone; ++step) {
      const auto from = static_cast<std::size_t>(candidate);
      const std::size_t distance = pos - from;
      if (distance > kLrsMaxDistance) break;
      const std::uint8_t* there = data_.data() + from;
      std::size_t length = 0;
      while (length < limit && there[length] == here[length]) ++length;
      if (length > best.length) {
        best = {static_cast<std::uint32_t>(distance), static_cast<std::uint32_t>(length)};
        if (length == limit) break;
      }
      candidate = prev_[from % kRing];
    }
    return best;
  }

  void insert(std::size_t pos) {
    if (pos + 3 > data_.size()) return;
    std::int32_t& head = head_[hash3(data_.data() + pos)];
    prev_[pos % kRing] = head;
    head = static_cast<std::int32_t>(pos);
  }

 private:
  std::span<const std::uint8_t> data_;
  std::array<std::int32_t, std::size_t{1} << kHashBits> head_;
  std::array<std::int32_t, kRing> prev_;
};

}  // namespace

Result<std::vector<std::uint8_t>> compress_lrs(std::span<const std::uint8_t> data) {
  // Positions are held as 32-bit values too, so this bound covers the match finder.
  if (data.size() >= std::numeric_limits<std::int32_t>::max()) {
    return std::unexpected(DatError::other("cannot compress " + std::to_string(data.size()) +
                                           " bytes: a compressed payload holds under 2 GiB"));
  }
  detail::LrsTokenWriter writer(static_cast<std::uint32_t>(data.size()), data.size());
  // The tables are 80 KiB: on the heap, so that callers' stacks stay small.
  const auto finder = std::make_unique<MatchFinder>(data);
  std::size_t pos = 0;
  while (pos < data.size()) {
    const MatchFinder::Match match = finder->find(pos);
    if (match.length >= kLrsMinLength) {
      writer.reference(match.distance, match.length);
      for (std::size_t i = 0; i < match.length; ++i) finder->insert(pos + i);
      pos += match.length;
    } else {
      writer.literal(data[pos]);
      finder->insert(pos);
      ++pos;
    }
  }
  return std::move(writer).take();
}

}  // namespace kelvane_dat
