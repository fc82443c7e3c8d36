#include "detail/utf16.hpp"

#include <bit>
#include <cstddef>
#include <cstring>

#include "detail/endian.hpp"
#include "detail/utf8.hpp"
#include "kelvane_platform/compiler.hpp"

#if KELVANE_HAVE_SSE2
#include <emmintrin.h>
#endif

namespace kelvane_dat::detail {

namespace {

constexpr std::size_t kChunkUnits = 8;
// A unit takes at most three UTF-8 bytes: one up to 0x7F, two up to 0x7FF, three above, the
// replacement character for a lone surrogate three, and a surrogate pair four for its two units.
constexpr std::size_t kMaxBytesPerUnit = 3;
constexpr std::size_t kStackUnits = 256;

// Copies the ASCII units from `from` on to `out`, one byte each, eight at a time where possible,
// and returns the index of the first unit that is not ASCII (or `unit_count`). Eight bytes may
// be written at `out` while eight units remain, whatever their values.
std::size_t copy_ascii(const std::uint8_t* in, std::size_t from, std::size_t unit_count,
                       char* out) {
  std::size_t i = from;
#if KELVANE_HAVE_SSE2
  const __m128i wide_bits = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i zero = _mm_setzero_si128();
  while (i + kChunkUnits <= unit_count) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
    const __m128i ascii_lanes = _mm_cmpeq_epi16(_mm_and_si128(units, wide_bits), zero);
    // Two mask bits per unit, set for the ASCII ones.
    const auto ascii_mask = static_cast<unsigned>(_mm_movemask_epi8(ascii_lanes));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (i - from)), _mm_packus_epi16(units, units));
    if (ascii_mask != 0xFFFF) return i + static_cast<std::size_t>(std::countr_one(ascii_mask)) / 2;
    i += kChunkUnits;
  }
#endif
  for (; i < unit_count; ++i) {
    const std::uint16_t unit = load_le16(in + 2 * i);
    if (unit >= 0x80) break;
    out[i - from] = static_cast<char>(unit);
  }
  return i;
}

struct CodePoint {
  char32_t value;
  std::size_t units;
};

CodePoint decode_at(const std::uint8_t* in, std::size_t i, std::size_t unit_count) {
  const std::uint16_t unit = load_le16(in + 2 * i);
  if (unit < 0xD800 || unit > 0xDFFF) return {unit, 1};
  if (is_lead_surrogate(unit) && i + 1 < unit_count) {
    const std::uint16_t next = load_le16(in + 2 * (i + 1));
    if (is_trail_surrogate(next)) {
      return {0x10000 + ((char32_t{unit} - 0xD800u) << 10 | (char32_t{next} - 0xDC00u)), 2};
    }
  }
  return {kReplacementCharacter, 1};
}

// Writes units [from, unit_count) as UTF-8 at `out`, which has room for kMaxBytesPerUnit per
// unit; returns the end of what was written.
char* write_utf8(const std::uint8_t* in, std::size_t from, std::size_t unit_count, char* out) {
  std::size_t i = from;
  while (true) {
    const std::size_t non_ascii = copy_ascii(in, i, unit_count, out);
    out += non_ascii - i;
    i = non_ascii;
    if (i == unit_count) return out;
    const CodePoint c = decode_at(in, i, unit_count);
    out = encode_utf8(c.value, out);
    i += c.units;
  }
}

}  // namespace

std::string utf16le_to_utf8_lossy(std::span<const std::uint8_t> bytes) {
  const std::size_t unit_count = bytes.size() / 2;
  const std::uint8_t* in = bytes.data();
  // Labels and sentences, the bulk of a table's texts, are decoded on the stack and allocated
  // once at their exact length.
  if (unit_count <= kStackUnits) {
    char decoded[kMaxBytesPerUnit * kStackUnits];
    return std::string(decoded, write_utf8(in, 0, unit_count, decoded));
  }

  std::string out;
  // As long as the units are ASCII the text is as long as it has units; most texts end here.
  std::size_t ascii = 0;
  out.resize_and_overwrite(unit_count, [&](char* to, std::size_t) {
    ascii = copy_ascii(in, 0, unit_count, to);
    return ascii;
  });
  if (ascii == unit_count) return out;

  // Room for the worst case, then the text is cut to its length and the spare room given back:
  // one copy of the text costs less than a second pass to measure it first.
  out.resize_and_overwrite(
      ascii + kMaxBytesPerUnit * (unit_count - ascii), [&](char* to, std::size_t) {
        return static_cast<std::size_t>(write_utf8(in, ascii, unit_count, to + ascii) - to);
      });
  out.shrink_to_fit();
  return out;
}

}  // namespace kelvane_dat::detail
