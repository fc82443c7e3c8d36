#include "kelvane_dat/dat_file_entry.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "kelvane_dat/byte_cursor.hpp"

namespace kelvane_dat {
namespace {

const std::vector<std::uint8_t> kCompressedEntry = {
    0x01, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x23, 0x00, 0x10, 0x00, 0x00,
    0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

TEST(DatFileEntry, DecodesSixLittleEndianFields) {
  std::vector<std::uint8_t> bytes = kCompressedEntry;
  bytes[16] = 0x78;  // timestamp
  bytes[20] = 0x02;  // version
  bytes.push_back(0xEE);
  ByteCursor cursor(bytes);
  const auto entry = DatFileEntry::read(cursor);
  ASSERT_TRUE(entry.has_value()) << entry.error();
  EXPECT_EQ(*entry, (DatFileEntry{1, 0x2300000A, 0x1000, 100, 0x78, 2}));
  EXPECT_TRUE(entry->is_compressed());
  EXPECT_EQ(cursor.position(), DatFileEntry::kEncodedSize);
}

TEST(DatFileEntry, OnlyBitZeroMeansCompressed) {
  constexpr struct {
    std::uint32_t flags;
    bool compressed;
  } kCases[] = {{0x0, false}, {0x1, true}, {0x2, false}, {0xFFFFFFFE, false}, {0xFFFFFFFF, true}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.flags);
    DatFileEntry entry;
    entry.bit_flags = c.flags;
    EXPECT_EQ(entry.is_compressed(), c.compressed);
  }
}

TEST(DatFileEntry, TruncationNamesTheFieldAndRewinds) {
  constexpr struct {
    std::size_t length;
    const char* field;
  } kCases[] = {{0, "bit_flags"}, {3, "bit_flags"},  {4, "id"},       {9, "offset"},
                {12, "size"},     {19, "timestamp"}, {20, "version"}, {23, "version"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.length);
    std::vector<std::uint8_t> bytes = {0xAA};  // the entry need not start at 0
    bytes.insert(bytes.end(), kCompressedEntry.begin(),
                 kCompressedEntry.begin() + static_cast<std::ptrdiff_t>(c.length));
    ByteCursor cursor(bytes);
    cursor.seek(1);
    const auto entry = DatFileEntry::read(cursor);
    ASSERT_FALSE(entry.has_value());
    EXPECT_EQ(cursor.position(), 1u);
    ASSERT_EQ(entry.error().frames().size(), 1u);
    EXPECT_EQ(entry.error().frames()[0].message,
              std::string("While parsing field '") + c.field + "' in DatFileEntry");
    ASSERT_NE(entry.error().io_error(), nullptr);
    EXPECT_EQ(entry.error().io_error()->to_string(), "failed to fill whole buffer");
  }
}

}  // namespace
}  // namespace kelvane_dat
