// The UTF-16 decoder takes eight ASCII units at a time and sizes its output ahead; the reference
// decodes one unit at a time. They must agree on every text, valid or not.

#include "detail/utf16.hpp"
#include "detail/utf16_reference.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kelvane_dat::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes little_endian(const std::vector<std::uint16_t>& units) {
  Bytes bytes;
  for (const std::uint16_t unit : units) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

// Where the fast decoder changes gear: chunk edges, the end of the stack buffer, the last unit.
TEST(Utf16Decoding, AgreesWithTheReferenceAroundChunkAndBufferEdges) {
  const std::uint16_t kOdd[] = {0x0000, 0x007F, 0x0080, 0x00E9, 0x07FF, 0x0800, 0x4E2D,
                                0xD83D, 0xDE00, 0xFFFD, 0xFFFF, 0xE000, 0xDBFF, 0xDC00};
  for (const std::size_t length : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 255u, 256u, 257u, 300u}) {
    for (std::size_t at = 0; at < length; at += (at < 20 || at + 20 > length) ? 1 : 37) {
      for (const std::uint16_t odd : kOdd) {
        std::vector<std::uint16_t> units(length, 'a');
        units[at] = odd;
        // A pair straddling the position too, where there is room.
        if (at + 1 < length && odd == 0xD83D) units[at + 1] = 0xDE00;
        const Bytes bytes = little_endian(units);
        ASSERT_EQ(utf16le_to_utf8_lossy(bytes), utf16le_to_utf8_lossy_reference(bytes))
            << "length " << length << " unit " << odd << " at " << at;
      }
    }
  }
}

// Texts of every kind of unit in runs: ASCII (zeros included), two- and three-byte characters,
// pairs, lone leads and trails; lengths on both sides of the stack buffer, and odd byte counts.
TEST(Utf16Decoding, AgreesWithTheReferenceOnRandomTexts) {
  std::mt19937_64 random(0x16);
  auto below = [&random](std::uint64_t bound) { return random() % bound; };
  for (int round = 0; round < 6000; ++round) {
    const std::size_t length = below(3) == 0   ? below(24)
                               : below(3) == 0 ? 250 + below(12)
                                               : below(3000);
    const unsigned ascii_percent = static_cast<unsigned>(below(101));
    std::vector<std::uint16_t> units;
    while (units.size() < length) {
      const std::size_t run = 1 + below(below(2) == 0 ? 3 : 40);
      const bool ascii = below(100) < ascii_percent;
      const auto kind = below(7);
      for (std::size_t i = 0; i < run && units.size() < length; ++i) {
        if (ascii) {
          units.push_back(static_cast<std::uint16_t>(below(20) == 0 ? 0 : below(0x80)));
          continue;
        }
        switch (kind) {
          case 0:
            units.push_back(static_cast<std::uint16_t>(0x80 + below(0x780)));
            break;
          case 1:
            units.push_back(static_cast<std::uint16_t>(0x800 + below(0xD000)));
            break;
          case 2:
            units.push_back(static_cast<std::uint16_t>(0xE000 + below(0x2000)));
            break;
          case 3:
            units.push_back(static_cast<std::uint16_t>(0xD800 + below(0x400)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + below(0x400)));
            break;
          case 4:
            units.push_back(static_cast<std::uint16_t>(0xD800 + below(0x400)));
            break;
          case 5:
            units.push_back(static_cast<std::uint16_t>(0xDC00 + below(0x400)));
            break;
          default:
            units.push_back(static_cast<std::uint16_t>(random()));
            break;
        }
      }
    }
    Bytes bytes = little_endian(units);
    if (below(10) == 0) bytes.push_back(static_cast<std::uint8_t>(random()));
    SCOPED_TRACE(testing::Message() << "round " << round << " units " << units.size());
    ASSERT_EQ(utf16le_to_utf8_lossy(bytes), utf16le_to_utf8_lossy_reference(bytes));
  }
}

}  // namespace
}  // namespace kelvane_dat::detail
