#include "kelvane_dat/packed_int.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kelvane_dat/byte_cursor.hpp"

namespace kelvane_dat {
namespace {

const ReadError kFillWholeBuffer = ReadError(IoError::fill_whole_buffer());

struct PackedCase {
  std::vector<std::uint8_t> bytes;
  std::uint32_t value;
  std::uint64_t end;
};

void PrintTo(const PackedCase& c, std::ostream* out) {
  *out << "bytes:";
  for (const std::uint8_t b : c.bytes) *out << ' ' << std::hex << static_cast<int>(b);
  *out << std::dec;
}

class PackedU32 : public testing::TestWithParam<PackedCase> {};

TEST_P(PackedU32, DecodesAndStopsAfterValue) {
  const PackedCase& c = GetParam();
  // A trailing byte that no form may touch.
  std::vector<std::uint8_t> bytes = c.bytes;
  bytes.push_back(0xEE);
  ByteCursor cursor(bytes);
  const auto value = read_compressed_u32(cursor);
  ASSERT_TRUE(value.has_value()) << value.error();
  EXPECT_EQ(*value, c.value);
  EXPECT_EQ(cursor.position(), c.end);
}

INSTANTIATE_TEST_SUITE_P(Forms, PackedU32,
                         testing::ValuesIn(std::vector<PackedCase>{
                             {{0x00}, 0, 1},
                             {{0x7F}, 0x7F, 1},
                             {{0x80, 0x00}, 0, 2},
                             {{0x81, 0x23}, 0x0123, 2},
                             {{0xBF, 0xFF}, 0x3FFF, 2},
                             {{0xC0, 0x00, 0x00, 0x00}, 0, 4},
                             {{0xFF, 0xFF, 0xFF, 0xFF}, 0x3FFFFFFF, 4},
                             // Upper half high byte first, lower half little-endian.
                             {{0xC1, 0x02, 0x03, 0x04}, 0x01020403, 4},
                             {{0xC0, 0x80, 0x00, 0x01}, 0x00800100, 4},
                         }));

INSTANTIATE_TEST_SUITE_P(NonShortest, PackedU32,
                         testing::ValuesIn(std::vector<PackedCase>{
                             {{0x80, 0x05}, 5, 2},
                             {{0xC0, 0x00, 0x05, 0x00}, 5, 4},
                             {{0xC0, 0x00, 0xFF, 0x3F}, 0x3FFF, 4},
                         }));

// The form each possible first byte selects, with the rest of the value fixed at 5A 34 12.
struct Form {
  std::uint64_t length;
  std::uint32_t value;
};

Form expected_form(std::uint8_t b0) {
  if (b0 < 0x80) return {1, b0};
  if (b0 < 0xC0) return {2, static_cast<std::uint32_t>((b0 - 0x80) * 0x100 + 0x5A)};
  return {4, static_cast<std::uint32_t>((b0 - 0xC0) * 0x1000000 + 0x5A0000 + 0x1234)};
}

TEST(PackedU32, EveryFirstByteSelectsItsForm) {
  for (int first = 0; first <= 0xFF; ++first) {
    SCOPED_TRACE(first);
    const auto b0 = static_cast<std::uint8_t>(first);
    const std::vector<std::uint8_t> bytes = {b0, 0x5A, 0x34, 0x12, 0xEE};
    ByteCursor cursor(bytes);
    const auto value = read_compressed_u32(cursor);
    ASSERT_TRUE(value.has_value());
    const Form form = expected_form(b0);
    EXPECT_EQ(*value, form.value);
    EXPECT_EQ(cursor.position(), form.length);
  }
}

// Cut anywhere inside its value, a read fails and stops at the first byte of the primitive read
// that ran out: b0 at 0, b1 at 1, the 16-bit word at 2.
TEST(PackedU32, TruncationKeepsEarlierReadsConsumed) {
  for (int first = 0; first <= 0xFF; ++first) {
    const auto b0 = static_cast<std::uint8_t>(first);
    const std::vector<std::uint8_t> full = {b0, 0x5A, 0x34, 0x12};
    const std::uint64_t length = expected_form(b0).length;
    for (std::size_t cut = 0; cut < length; ++cut) {
      SCOPED_TRACE(testing::Message() << "first byte " << first << ", cut at " << cut);
      ByteCursor cursor{std::span(full).first(cut)};
      const auto value = read_compressed_u32(cursor);
      ASSERT_FALSE(value.has_value());
      EXPECT_EQ(value.error(), kFillWholeBuffer);
      EXPECT_EQ(value.error().to_string(), "failed to fill whole buffer");
      EXPECT_EQ(cursor.position(), cut == 3 ? 2u : cut);
    }
  }
}

TEST(PackedU32, ReadsFromTheCurrentPosition) {
  const std::vector<std::uint8_t> bytes = {0xFF, 0x81, 0x23, 0xC0, 0x01, 0x02};
  ByteCursor cursor(bytes);
  cursor.seek(1);
  EXPECT_EQ(read_compressed_u32(cursor).value(), 0x0123u);
  const auto cut = read_compressed_u32(cursor);
  ASSERT_FALSE(cut.has_value());
  // C0 01 consumed, the lone 02 of the word left unread.
  EXPECT_EQ(cursor.position(), 5u);
}

// Each form's edges and the powers of two between: the shortest form, read back to the value.
TEST(PackedU32, AppendWritesTheShortestFormThatReadsBack) {
  std::vector<std::uint32_t> values = {0, 0x7F, 0x80, 0x3FFF, 0x4000, kMaxCompressedU32};
  for (std::uint32_t bit = 1; bit <= kMaxCompressedU32; bit <<= 1) values.push_back(bit);
  for (const std::uint32_t value : values) {
    SCOPED_TRACE(value);
    std::vector<std::uint8_t> bytes;
    append_compressed_u32(bytes, value);
    EXPECT_EQ(bytes.size(), value <= 0x7F ? 1u : value <= 0x3FFF ? 2u : 4u);
    ByteCursor cursor(bytes);
    EXPECT_EQ(read_compressed_u32(cursor), value);
    EXPECT_EQ(cursor.position(), bytes.size());
  }
  std::vector<std::uint8_t> mixed_order;
  append_compressed_u32(mixed_order, 0x01020403);
  EXPECT_EQ(mixed_order, (std::vector<std::uint8_t>{0xC1, 0x02, 0x03, 0x04}));
}

}  // namespace
}  // namespace kelvane_dat
