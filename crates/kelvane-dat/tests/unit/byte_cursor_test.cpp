#include "kelvane_dat/byte_cursor.hpp"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace kelvane_dat {
namespace {

TEST(ByteCursor, ReadsLittleEndianAndAdvances) {
  const std::vector<std::uint8_t> bytes = {0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xAA, 0xBB};
  ByteCursor cursor(bytes);
  EXPECT_EQ(cursor.read_u8().value(), 0x01);
  EXPECT_EQ(cursor.read_u16().value(), 0x1234);
  EXPECT_EQ(cursor.read_u32().value(), 0x12345678u);
  EXPECT_EQ(cursor.position(), 7u);
  const auto run = cursor.read_bytes(2);
  ASSERT_TRUE(run.has_value());
  EXPECT_EQ((*run)[1], 0xBB);
  EXPECT_EQ(cursor.remaining(), 0u);
}

TEST(ByteCursor, ShortReadKeepsPosition) {
  const std::vector<std::uint8_t> bytes = {1, 2, 3};
  ByteCursor cursor(bytes);
  cursor.seek(1);
  const auto value = cursor.read_u32();
  ASSERT_FALSE(value.has_value());
  EXPECT_EQ(value.error().to_string(), "failed to fill whole buffer");
  EXPECT_EQ(cursor.position(), 1u);
  EXPECT_EQ(cursor.read_u16().value(), 0x0302);
  EXPECT_EQ(cursor.read_u8().error().to_string(), "failed to fill whole buffer");
  EXPECT_EQ(cursor.position(), 3u);
}

TEST(ByteCursor, ShortRunSaysNotEnoughBytes) {
  const std::vector<std::uint8_t> bytes(15, 0);
  ByteCursor cursor(bytes);
  std::array<std::uint8_t, 16> out{};
  const auto read = cursor.read_bytes_into(out);
  ASSERT_FALSE(read.has_value());
  EXPECT_EQ(read.error().to_string(), "not enough bytes in reader");
  EXPECT_EQ(cursor.position(), 0u);
}

TEST(ByteCursor, SeekPastEndMakesEveryReadFail) {
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4};
  ByteCursor cursor(bytes);
  cursor.seek(100);
  EXPECT_EQ(cursor.remaining(), 0u);
  EXPECT_FALSE(cursor.read_u8().has_value());
  // An empty run past the end is still an empty run, not an out-of-range view.
  const auto empty = cursor.read_bytes(0);
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
  EXPECT_EQ(cursor.position(), 100u);
}

}  // namespace
}  // namespace kelvane_dat
