#include "kelvane_dat/layout_check.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "detail/dat_database_internals.hpp"
#include "support/archive_builder.hpp"
#include "support/temp_file.hpp"
#include "support/tree_layout.hpp"

namespace kelvane_dat {

void PrintTo(const LayoutOverlap& overlap, std::ostream* out) { *out << overlap.to_string(); }

namespace {

using test_support::ArchiveBuilder;
using test_support::DirectoryNode;
using test_support::TempFile;
using Bytes = std::vector<std::uint8_t>;
using Kind = LayoutOwner::Kind;

constexpr std::uint32_t kBlock = 256;
constexpr std::uint64_t kHeaderEnd = 0x190;

struct Checked {
  ArchiveLayout layout;
  std::uint64_t file_length;
};

Checked check_built(ArchiveBuilder& builder) {
  const TempFile file(builder.finish(), "kelvane_layout");
  const Result<DatDatabase> archive = DatDatabase::open(file.path());
  EXPECT_TRUE(archive.has_value()) << archive.error();
  Result<ArchiveLayout> layout = check_layout(*archive);
  EXPECT_TRUE(layout.has_value()) << layout.error();
  return {*layout, builder.size()};
}

// Every byte counts once: with the header's, the three totals make up the file.
void expect_accounted(const Checked& checked) {
  const ArchiveLayout& l = checked.layout;
  EXPECT_EQ(kHeaderEnd + l.file_bytes + l.directory_bytes + l.unclaimed_bytes, checked.file_length);
}

TEST(LayoutCheck, SoundArchiveClaimsEachChainsBytesOnce) {
  ArchiveBuilder builder(kBlock);
  std::vector<DatFileEntry> entries;
  std::uint64_t file_bytes = 0;
  for (std::uint32_t id = 1; id <= 200; ++id) {
    const Bytes data(id * 37 % 1500, static_cast<std::uint8_t>(id));
    const test_support::ChainLayout shuffled{test_support::ChainOrder::Shuffled, id};
    entries.push_back(
        builder.store_file(id, data, {.compressed = id % 3 == 0, .layout = shuffled}));
    const std::uint64_t size = entries.back().size;
    if (size > 0) file_bytes += size + 4 * ((size + kBlock - 5) / (kBlock - 4));
  }
  test_support::TreeShape shape;
  shape.entries_per_node = 5;
  builder.header.root_offset = test_support::store_tree(builder, entries, shape);
  const TempFile file(builder.finish(), "kelvane_layout");
  const DatDatabase archive = DatDatabase::open(file.path()).value();
  const ArchiveLayout layout = check_layout(archive).value();

  EXPECT_TRUE(layout.overlaps.empty());
  EXPECT_EQ(layout.file_bytes, file_bytes);
  // A 1716-byte node fills seven 256-byte blocks: six whole and 4 + 204 bytes of the last.
  EXPECT_EQ(
      layout.directory_bytes,
      kelvane_dat::detail::DatDatabaseInternals::directory_nodes(archive).size() * (1716 + 7 * 4));
  expect_accounted({layout, builder.size()});
}

struct OverlapCase {
  const char* name;
  // Builds the archive and returns the overlaps it must report.
  std::function<std::vector<LayoutOverlap>(ArchiveBuilder&)> build;
};

void PrintTo(const OverlapCase& c, std::ostream* out) { *out << c.name; }

class LayoutOverlaps : public testing::TestWithParam<OverlapCase> {};

TEST_P(LayoutOverlaps, ReportsBothOwnersAndTheFirstSharedRange) {
  ArchiveBuilder builder(kBlock);
  const std::vector<LayoutOverlap> expected = GetParam().build(builder);
  const Checked checked = check_built(builder);
  EXPECT_EQ(checked.layout.overlaps, expected);
  expect_accounted(checked);
}

LayoutOwner file(std::uint32_t id) { return {Kind::File, id}; }

// A root leaf holding `entries`.
std::uint32_t store_root(ArchiveBuilder& builder, std::vector<DatFileEntry> entries) {
  DirectoryNode root;
  root.entries = std::move(entries);
  return builder.header.root_offset = builder.store_node(root);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LayoutOverlaps,
    testing::ValuesIn(std::vector<OverlapCase>{
        {"EntriesSharingOneChain",
         [](ArchiveBuilder& b) {
           DatFileEntry one = b.store_file(1, Bytes(600, 1));
           DatFileEntry two = one;
           two.id = 2;
           store_root(b, {two, one});
           return std::vector<LayoutOverlap>{{file(1), file(2), one.offset, kBlock}};
         }},
        {"ChainJoiningAnotherMidway",
         [](ArchiveBuilder& b) {
           const auto blocks = b.new_blocks(4);
           b.write_chain(Bytes(700, 1), std::span(blocks).first(3));
           b.write_chain(Bytes(700, 2),
                         std::vector<std::uint32_t>{blocks[3], blocks[1], blocks[2]});
           store_root(b, {{0, 1, blocks[0], 700, 0, 0}, {0, 2, blocks[3], 700, 0, 0}});
           return std::vector<LayoutOverlap>{{file(1), file(2), blocks[1], kBlock}};
         }},
        {"ChainLoopingOntoItself",
         [](ArchiveBuilder& b) {
           const auto blocks = b.new_blocks(2);
           b.write_chain(Bytes(504, 1), blocks, blocks[0]);
           store_root(b, {{0, 1, blocks[0], 600, 0, 0}});
           // The third step would take the last 96 bytes from the first block again.
           return std::vector<LayoutOverlap>{{file(1), file(1), blocks[0], 100}};
         }},
        {"BlockStartingInsideAnotherBlock",
         [](ArchiveBuilder& b) {
           const DatFileEntry one = b.store_file(1, Bytes(200, 0));
           store_root(b, {one, {0, 2, one.offset + 100, 10, 0, 0}});
           return std::vector<LayoutOverlap>{{file(1), file(2), one.offset + 100, 14}};
         }},
        {"FileOverDirectoryNode",
         [](ArchiveBuilder& b) {
           const test_support::NodeSlot slot = b.reserve_node();
           const std::uint32_t root = b.header.root_offset = slot.offset();
           DirectoryNode node;
           node.entries = {{0, 7, root, 300, 0, 0}};
           b.fill_node(slot, node);
           return std::vector<LayoutOverlap>{{{Kind::DirectoryNode, root}, file(7), root, kBlock}};
         }},
        {"FileInsideTheHeader",
         [](ArchiveBuilder& b) {
           store_root(b, {{0, 3, 0x100, 10, 0, 0}});
           return std::vector<LayoutOverlap>{{LayoutOwner{}, file(3), 0x100, 14}};
         }},
        {"TwoBranchesToOneNode",
         [](ArchiveBuilder& b) {
           DirectoryNode child;
           child.entries = {{0, 1, 0, 0, 0, 0}};
           const std::uint32_t shared = b.store_node(child);
           DirectoryNode root;
           root.entries = {{0, 2, 0, 0, 0, 0}};
           root.branches[0] = root.branches[1] = shared;
           b.header.root_offset = b.store_node(root);
           const LayoutOwner node{Kind::DirectoryNode, shared};
           return std::vector<LayoutOverlap>{{node, node, shared, kBlock}};
         }},
    }),
    [](const testing::TestParamInfo<OverlapCase>& param) { return param.param.name; });

TEST(LayoutCheck, OverlapTexts) {
  const LayoutOverlap shared{file(1), file(2), 0x400, 1024};
  EXPECT_EQ(shared.to_string(),
            "file 0x00000002 and file 0x00000001 both claim 1024 bytes at "
            "0x00000400");
  const LayoutOverlap looped{{Kind::DirectoryNode, 0x800}, {Kind::DirectoryNode, 0x800}, 0x800, 1};
  EXPECT_EQ(looped.to_string(), "directory node 0x00000800 claims 1 byte at 0x00000800 twice");
  EXPECT_EQ((LayoutOverlap{{}, file(3), 0x100, 14}.to_string()),
            "file 0x00000003 and the header both claim 14 bytes at 0x00000100");
}

}  // namespace
}  // namespace kelvane_dat
