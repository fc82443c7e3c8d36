#include "support/archive_builder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "detail/block_chain_reference.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "support/memory_source.hpp"
#include "support/temp_file.hpp"
#include "support/tree_layout.hpp"

namespace kelvane_dat::test_support {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ArchiveBuilder, WritesEveryHeaderFieldInPlace) {
  ArchiveBuilder builder(512);
  builder.header.magic = 0x11;
  builder.header.block_size = 0x22;  // may lie about the allocation size
  builder.header.dataset = 0x33;
  builder.header.subset = 0x44;
  builder.header.free_head = 0x55;
  builder.header.free_tail = 0x66;
  builder.header.free_count = 0x77;
  builder.header.root_offset = 0x88;
  builder.header.new_lru = 0x99;
  builder.header.old_lru = 0xAA;
  builder.header.use_lru = 0xBB;
  builder.header.master_map_id = 0xCC;
  builder.header.engine_version = 0xDD;
  builder.header.game_version = 0xEE;
  builder.header.version_string = {'v', 0, 0xFF, 3};
  builder.header.version_minor = 0x12345678;
  builder.store_chain(Bytes(1000, 1));

  const Bytes image = builder.bytes();
  ByteCursor cursor(image);
  cursor.seek(DatHeader::kFileOffset);
  const auto header = DatHeader::read(cursor);
  ASSERT_TRUE(header.has_value()) << header.error();
  EXPECT_EQ(header->file_size, image.size());
  EXPECT_EQ(*header, builder.header);

  builder.fill_file_size = false;
  builder.header.file_size = 7;
  EXPECT_EQ(builder.bytes()[DatHeader::kFileOffset + 8], 7);
}

TEST(ArchiveBuilder, ChainOrdersPlaceBlocksAsAsked) {
  const Bytes payload(20 * 60, 0x5A);
  for (const ChainOrder order :
       {ChainOrder::Ascending, ChainOrder::Descending, ChainOrder::Shuffled}) {
    SCOPED_TRACE(static_cast<int>(order));
    ArchiveBuilder builder(64);
    const std::uint32_t first = builder.store_chain(payload, {order, 3, 0});
    const MemorySource source(builder.bytes());
    // The straightforward walk reads each block's pointer on its own, which shows the order.
    const auto data =
        detail::read_block_chain_reference(PositionedReader(source), {64, source.size()}, first,
                                           static_cast<std::uint32_t>(payload.size()));
    ASSERT_TRUE(data.has_value()) << data.error();
    EXPECT_EQ(*data, payload);

    std::vector<std::uint64_t> blocks;
    for (const auto& read : source.reads()) {
      if (read.length == 4) blocks.push_back(read.offset);
    }
    ASSERT_EQ(blocks.size(), 20u);
    const bool ascending = std::is_sorted(blocks.begin(), blocks.end());
    const bool descending = std::is_sorted(blocks.rbegin(), blocks.rend());
    EXPECT_EQ(ascending, order == ChainOrder::Ascending);
    EXPECT_EQ(descending, order == ChainOrder::Descending);
  }
}

struct ShapeCase {
  std::size_t entries_per_node;
  std::size_t max_children;
};

class TreeLayout : public testing::TestWithParam<ShapeCase> {};

TEST_P(TreeLayout, EveryEntryIsReachableExactlyOnce) {
  for (const std::uint32_t count : {1u, 2u, 61u, 62u, 63u, 500u, 4000u}) {
    SCOPED_TRACE(count);
    ArchiveBuilder builder(256);
    std::vector<DatFileEntry> entries;
    for (std::uint32_t i = 0; i < count; ++i) entries.push_back({0, i * 2 + 1, 0, i, i, 0});
    TreeShape shape;
    shape.entries_per_node = GetParam().entries_per_node;
    shape.max_children = GetParam().max_children;
    shape.layout.order = ChainOrder::Shuffled;
    builder.header.root_offset = store_tree(builder, entries, shape);

    const TempFile file(builder.finish());
    const auto database = DatDatabase::open(file.path());
    ASSERT_TRUE(database.has_value()) << database.error();
    ASSERT_EQ(database->files().size(), entries.size());
    for (const DatFileEntry& entry : entries) EXPECT_EQ(database->files().at(entry.id), entry);
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, TreeLayout,
                         testing::Values(ShapeCase{61, 62}, ShapeCase{1, 2}, ShapeCase{3, 4},
                                         ShapeCase{7, 3}, ShapeCase{20, 62}));

TEST(ArchiveBuilder, WritesTheSameBytesToAFile) {
  ArchiveBuilder builder(1024);
  builder.header.root_offset = builder.store_node(DirectoryNode{});
  const Bytes image = builder.bytes();
  const TempFile placeholder(Bytes{}, "kelvane_write");
  ASSERT_EQ(builder.write_to(placeholder.path()), std::nullopt);
  std::ifstream in(placeholder.path(), std::ios::binary);
  const Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, image);
}

}  // namespace
}  // namespace kelvane_dat::test_support
