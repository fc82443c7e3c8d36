#include "kelvane_dat/dat_header.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "detail/file_descriptor.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "support/temp_file.hpp"

namespace kelvane_dat {
namespace {

void put_u32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// 80 header bytes whose integer fields hold 1, 2, 3, ... in file order.
std::vector<std::uint8_t> numbered_header() {
  std::vector<std::uint8_t> bytes(DatHeader::kEncodedSize);
  for (std::size_t i = 0; i < 15; ++i) put_u32(bytes, 4 * i, static_cast<std::uint32_t>(i + 1));
  for (std::size_t i = 0; i < 16; ++i) bytes[60 + i] = static_cast<std::uint8_t>(0xF0 + i);
  bytes[62] = 0;  // embedded zero bytes are kept
  put_u32(bytes, 76, 16);
  return bytes;
}

TEST(DatHeader, DecodesEveryFieldInFileOrder) {
  const auto bytes = numbered_header();
  ByteCursor cursor(bytes);
  const auto header = DatHeader::read(cursor);
  ASSERT_TRUE(header.has_value()) << header.error();
  EXPECT_EQ(header->magic, 1u);
  EXPECT_EQ(header->block_size, 2u);
  EXPECT_EQ(header->dataset, 4u);
  EXPECT_EQ(header->root_offset, 9u);
  EXPECT_EQ(header->game_version, 15u);
  EXPECT_EQ(header->version_string[0], 0xF0);
  EXPECT_EQ(header->version_string[2], 0x00);
  EXPECT_EQ(header->version_string[15], 0xFF);
  EXPECT_EQ(header->version_minor, 16u);
  EXPECT_EQ(cursor.position(), 80u);
}

TEST(DatHeader, FieldsReadAsTextInFileOrder) {
  const auto bytes = numbered_header();
  ByteCursor cursor(bytes);
  const std::vector<HeaderField> fields = header_fields(DatHeader::read(cursor).value());
  std::vector<std::string> lines;
  for (const HeaderField& field : fields)
    lines.push_back(std::string(field.name) + "=" + field.value);
  EXPECT_EQ(
      lines,
      (std::vector<std::string>{
          "magic=0x00000001", "block_size=2", "file_size=3", "dataset=4", "subset=5",
          "free_head=0x00000006", "free_tail=0x00000007", "free_count=8", "root_offset=0x00000009",
          "new_lru=0x0000000A", "old_lru=0x0000000B", "use_lru=0x0000000C",
          "master_map_id=0x0000000D", "engine_version=14", "game_version=15",
          "version_string=F0 F1 00 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF", "version_minor=16"}));
}

struct TruncationCase {
  std::size_t length;
  const char* field;
  const char* io_text;
};

// Each field boundary, and a cut inside the fixed run of version_string.
constexpr TruncationCase kTruncations[] = {
    {0, "magic", "failed to fill whole buffer"},
    {3, "magic", "failed to fill whole buffer"},
    {4, "block_size", "failed to fill whole buffer"},
    {31, "free_count", "failed to fill whole buffer"},
    {32, "root_offset", "failed to fill whole buffer"},
    {56, "game_version", "failed to fill whole buffer"},
    {60, "version_string", "not enough bytes in reader"},
    {75, "version_string", "not enough bytes in reader"},
    {76, "version_minor", "failed to fill whole buffer"},
    {79, "version_minor", "failed to fill whole buffer"},
};

TEST(DatHeader, TruncationNamesTheFieldAndRewinds) {
  const auto full = numbered_header();
  for (const TruncationCase& c : kTruncations) {
    SCOPED_TRACE(c.length);
    std::vector<std::uint8_t> bytes(full.begin(),
                                    full.begin() + static_cast<std::ptrdiff_t>(c.length));
    bytes.insert(bytes.begin(), {0xEE, 0xEE});  // the header need not start at 0
    ByteCursor cursor(bytes);
    cursor.seek(2);
    const auto header = DatHeader::read(cursor);
    ASSERT_FALSE(header.has_value());
    EXPECT_EQ(cursor.position(), 2u);
    const ReadError& error = header.error();
    ASSERT_EQ(error.frames().size(), 1u);
    EXPECT_EQ(error.frames()[0].message,
              std::string("While parsing field '") + c.field + "' in DatHeader");
    ASSERT_NE(error.io_error(), nullptr);
    EXPECT_EQ(error.io_error()->to_string(), c.io_text);
  }
}

TEST(DatHeader, FileCursorReadsFromTheFilePosition) {
  std::vector<std::uint8_t> bytes(DatHeader::kFileOffset, 0xCC);
  const auto header_bytes = numbered_header();
  bytes.insert(bytes.end(), header_bytes.begin(),
               header_bytes.begin() + 70);  // ends in version_string
  const test_support::TempFile archive(bytes, "kelvane_header");

  auto file = FileDescriptor::open_read_only(archive.path());
  ASSERT_TRUE(file.has_value());
  ASSERT_TRUE(file->seek(DatHeader::kFileOffset).has_value());
  FileCursor cursor(*file);
  const auto header = DatHeader::read(cursor);
  ASSERT_FALSE(header.has_value());
  EXPECT_EQ(header.error().frames().at(0).message,
            "While parsing field 'version_string' in DatHeader");
  EXPECT_EQ(header.error().io_error()->to_string(), "not enough bytes in reader");
  EXPECT_EQ(cursor.position().value(), DatHeader::kFileOffset);
}

struct KindCase {
  std::uint32_t magic;
  std::uint32_t block_size;
  std::uint32_t dataset;
  DatKind kind;
};

constexpr KindCase kKinds[] = {
    {0x5442, 1024, 1, DatKind::Portal}, {0x5442, 1024, 3, DatKind::Local},
    {0x5442, 1024, 2, DatKind::Local},  {0x5442, 256, 2, DatKind::Cell},
    {0x5442, 256, 1, DatKind::Local},   {0x5442, 512, 1, DatKind::Local},
    {0x5442, 4096, 2, DatKind::Local},  {0x4254, 1024, 1, DatKind::Unknown},
    {0, 1024, 1, DatKind::Unknown},     {0, 256, 2, DatKind::Unknown},
};

TEST(DatHeader, KindFollowsMarkerBlockSizeAndDataset) {
  for (const KindCase& c : kKinds) {
    SCOPED_TRACE(to_string(c.kind));
    DatHeader header;
    header.magic = c.magic;
    header.block_size = c.block_size;
    header.dataset = c.dataset;
    header.subset = 2;  // never consulted
    EXPECT_EQ(header.dat_kind(), c.kind);
  }
}

TEST(DatHeader, MagicBytesAreLittleEndian) {
  auto bytes = numbered_header();
  bytes[0] = 0x42;
  bytes[1] = 0x54;
  bytes[2] = 0;
  bytes[3] = 0;
  ByteCursor cursor(bytes);
  EXPECT_EQ(DatHeader::read(cursor)->magic, 0x5442u);
}

}  // namespace
}  // namespace kelvane_dat
