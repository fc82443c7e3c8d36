#include "kelvane_dat/decompress.hpp"

#include <bit>
#include <cstddef>
#include <cstring>

#include "detail/endian.hpp"
#include "detail/lrs_format.hpp"

namespace kelvane_dat {

namespace {

// A whole group is at most one flag byte and eight two-byte references, and yields at most
// 8 x 17 bytes. While that much input and output room remains, a group is expanded without
// checking each item against the ends; copies then move whole 8- or 16-byte chunks, reading up
// to kReadSlack bytes past a group's items and writing up to kWriteSlack bytes past an item's
// end, which later items overwrite or the final size cuts off.
using detail::kLrsFirstItemBit;
using detail::kLrsGroupInput;
using detail::kLrsGroupOutput;
using detail::kLrsReferenceSize;
using detail::lrs_distance;
using detail::lrs_length;
constexpr std::size_t kReadSlack = 8;
constexpr std::size_t kWriteSlack = 32;

inline void copy8(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, 8); }
inline void copy16(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, 16); }

// Appends `length` (2 to 17) bytes from `distance` back, where the output already holds at least
// `distance` bytes. Chunks of n bytes are exact when the distance is n or more, since each chunk
// then reads only bytes written before it; shorter distances repeat a pattern the copy is still
// writing, so they go byte by byte.
inline void copy_reference(std::uint8_t* out, std::size_t distance, unsigned length) {
  const std::uint8_t* from = out - distance;
  if (distance >= 16) {
    copy16(out, from);
    if (length > 16) copy16(out + 16, from + 16);
  } else if (distance >= 8) {
    copy8(out, from);
    copy8(out + 8, from + 8);
    if (length > 16) copy8(out + 16, from + 16);
  } else {
    for (unsigned i = 0; i < length; ++i) out[i] = from[i];
  }
}

class Expander {
 public:
  Expander(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out)
      : in_(stream.data()),
        in_end_(stream.data() + stream.size()),
        out_begin_(out.data()),
        out_(out.data()),
        out_end_(out.data() + out.size()) {}

  // Returns the number of bytes produced. The output span ends at the declared size or earlier
  // where the stream could not reach it anyway, so filling it is where expansion stops.
  std::size_t run() {
    while (expand_groups() && expand_one_item()) {
    }
    return static_cast<std::size_t>(out_ - out_begin_);
  }

 private:
  std::size_t produced() const { return static_cast<std::size_t>(out_ - out_begin_); }

  // Whole groups while both ends are far. Returns false when the stream ended expansion (a zero
  // distance); true when an item needs the careful path.
  bool expand_groups() {
    while (mask_ == 0 && static_cast<std::size_t>(in_end_ - in_) >= kLrsGroupInput + kReadSlack &&
           static_cast<std::size_t>(out_end_ - out_) >= kLrsGroupOutput + kWriteSlack) {
      flags_ = *in_++;
      mask_ = kLrsFirstItemBit;
      do {
        if ((flags_ & mask_) != 0) {
          const unsigned b0 = in_[0];
          const unsigned b1 = in_[1];
          const std::size_t distance = lrs_distance(b0, b1);
          if (distance == 0) return false;
          // Reaching before the first byte clamps byte by byte: left to the careful path.
          if (distance > produced()) return true;
          const unsigned length = lrs_length(b1);
          in_ += kLrsReferenceSize;
          copy_reference(out_, distance, length);
          out_ += length;
          mask_ >>= 1;
        } else {
          // The literals up to the next reference of the group (or its end), in one copy.
          const unsigned pending = flags_ & ((mask_ << 1) - 1);
          const unsigned stop = std::bit_floor(pending);
          const int count = std::countr_zero(mask_) - (stop == 0 ? -1 : std::countr_zero(stop));
          copy8(out_, in_);
          in_ += count;
          out_ += count;
          mask_ = stop;
        }
      } while (mask_ != 0);
    }
    return true;
  }

  // One item (and the flag byte before it, if due) exactly as the straightforward expansion takes
  // it. Returns false where that expansion stops.
  bool expand_one_item() {
    if (out_ == out_end_ || in_ == in_end_) return false;
    if (mask_ == 0) {
      flags_ = *in_++;
      mask_ = kLrsFirstItemBit;
    }
    if ((flags_ & mask_) != 0) {
      if (static_cast<std::size_t>(in_end_ - in_) < kLrsReferenceSize) return false;
      const unsigned b0 = in_[0];
      const unsigned b1 = in_[1];
      in_ += kLrsReferenceSize;
      const std::size_t distance = lrs_distance(b0, b1);
      const unsigned length = lrs_length(b1);
      if (distance == 0 || out_ == out_begin_) return false;
      for (unsigned i = 0; i < length && out_ != out_end_; ++i) {
        // A distance reaching before the first byte is clamped to it, one byte at a time.
        const std::uint8_t* from = produced() >= distance ? out_ - distance : out_begin_;
        *out_++ = *from;
      }
    } else {
      if (in_ == in_end_) return false;
      *out_++ = *in_++;
    }
    mask_ >>= 1;
    return true;
  }

  const std::uint8_t* in_;
  const std::uint8_t* const in_end_;
  std::uint8_t* const out_begin_;
  std::uint8_t* out_;
  std::uint8_t* const out_end_;
  unsigned flags_ = 0;
  unsigned mask_ = 0;
};

}  // namespace

void decompress_lrs_into(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) {
  if (data.size() < detail::kLrsSizePrefix) {
    out.assign(data.begin(), data.end());
    return;
  }
  const std::uint32_t declared_size = load_le32(data.data());
  const std::span<const std::uint8_t> stream = data.subspan(detail::kLrsSizePrefix);
  // Sized once: the declared size, or less where the stream could not produce that much. Since
  // the stream can never outgrow this bound, stopping at it is stopping at the declared size.
  out.resize(detail::lrs_output_bound(declared_size, stream.size()));
  out.resize(Expander(stream, out).run());
}

std::vector<std::uint8_t> decompress_lrs(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  decompress_lrs_into(data, out);
  return out;
}

}  // namespace kelvane_dat
