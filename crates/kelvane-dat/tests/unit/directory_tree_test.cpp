// Opening reads each directory node through the read-ahead chain walk, decodes its entries in
// place and fills the map once at the end. This holds it to the straightforward walk: recursive,
// pre-order, each node read with two positioned reads per block and its entries inserted as they
// are decoded, on thousands of random directories.

#include <gtest/gtest.h>

#include <random>
#include <unordered_map>
#include <vector>

#include "detail/block_chain_reference.hpp"
#include "detail/endian.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "support/archive_builder.hpp"
#include "support/memory_source.hpp"
#include "support/temp_file.hpp"

namespace kelvane_dat {
namespace {

using test_support::ArchiveBuilder;
using test_support::ChainLayout;
using test_support::ChainOrder;
using test_support::DirectoryNode;
using test_support::MemorySource;
using test_support::TempFile;
using Bytes = std::vector<std::uint8_t>;
using Files = std::unordered_map<std::uint32_t, DatFileEntry>;

class ReferenceWalk {
 public:
  explicit ReferenceWalk(const Bytes& image)
      : source_(image),
        geometry_{load_le32(image.data() + DatHeader::kFileOffset + 4), image.size()} {}

  Result<Files> run(std::uint32_t root) {
    if (const auto walked = visit(root); !walked) return std::unexpected(walked.error());
    return files_;
  }

 private:
  Result<void> visit(std::uint32_t offset) {
    if (offset == 0) return {};
    const auto bytes = detail::read_block_chain_reference(PositionedReader(source_), geometry_,
                                                          offset, DatDatabase::kNodeSize);
    if (!bytes) return std::unexpected(bytes.error());
    ByteCursor cursor(*bytes);
    std::uint32_t branches[DatDatabase::kBranchCount];
    for (std::uint32_t& branch : branches) branch = cursor.read_u32().value();
    const std::uint32_t entry_count = cursor.read_u32().value();
    for (std::uint32_t i = 0; i < entry_count; ++i) {
      const auto entry = DatFileEntry::read(cursor);
      if (!entry) return std::unexpected(entry.error());
      files_.insert_or_assign(entry->id, *entry);
    }
    if (branches[0] == 0) return {};
    const std::uint64_t children = std::min<std::uint64_t>(std::uint64_t{entry_count} + 1, 62);
    for (std::uint64_t slot = 0; slot < children; ++slot) {
      if (const auto child = visit(branches[slot]); !child) return child;
    }
    return {};
  }

  MemorySource source_;
  ChainGeometry geometry_;
  Files files_;
};

// A random directory a few levels deep: ids from a small range so they repeat, empty and zero
// child slots, junk in the unused slots of leaves, every chain layout, and now and then a node
// that claims more entries than it holds or a branch past the end of the file.
class RandomDirectory {
 public:
  explicit RandomDirectory(std::uint64_t seed) : random_(seed) {}

  Bytes build() {
    constexpr std::uint32_t kBlockSizes[] = {64, 256, 1024};
    ArchiveBuilder builder(kBlockSizes[below(3)]);
    builder.header.root_offset = below(50) == 0 ? 0 : node(builder, 0);
    return builder.bytes();
  }

 private:
  std::uint64_t below(std::uint64_t bound) { return random_() % bound; }

  std::uint32_t node(ArchiveBuilder& builder, std::uint32_t depth) {
    DirectoryNode node;
    const std::size_t entry_count = below(4) == 0 ? below(62) : below(12);
    for (std::size_t i = 0; i < entry_count; ++i) {
      const auto id = static_cast<std::uint32_t>(0x06000000 + below(300));
      node.entries.push_back({static_cast<std::uint32_t>(below(4)), id,
                              static_cast<std::uint32_t>(random_()),
                              static_cast<std::uint32_t>(below(100000)), depth * 1000u, 1});
    }
    if (depth < 4 && below(3) != 0) {
      const std::size_t children = 1 + below(std::min<std::size_t>(entry_count + 1, 6));
      for (std::size_t slot = 0; slot < children; ++slot) {
        node.branches[slot] = below(6) == 0 && slot > 0 ? 0 : node_or_fault(builder, depth + 1);
      }
      if (node.branches[0] == 0) node.branches[0] = this->node(builder, depth + 1);
    } else {
      for (std::size_t slot = 1; slot < node.branches.size(); ++slot) {
        node.branches[slot] = below(3) == 0 ? static_cast<std::uint32_t>(random_()) : 0;
      }
    }
    if (below(60) == 0) node.entry_count = static_cast<std::uint32_t>(62 + below(40));
    ChainLayout layout;
    layout.order = static_cast<ChainOrder>(below(3));
    layout.seed = random_();
    layout.last_pointer = below(2) == 0 ? 0 : static_cast<std::uint32_t>(random_());
    return builder.store_node(node, layout);
  }

  std::uint32_t node_or_fault(ArchiveBuilder& builder, std::uint32_t depth) {
    if (below(80) == 0) return 0x7FFF0000;  // past the end of any of these files
    return node(builder, depth);
  }

  std::mt19937_64 random_;
};

TEST(DirectoryTree, OpenAgreesWithTheStraightforwardWalk) {
  int failures = 0;
  for (std::uint64_t seed = 0; seed < 1500; ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    const Bytes image = RandomDirectory(seed).build();
    const auto expected =
        ReferenceWalk(image).run(load_le32(image.data() + DatHeader::kFileOffset + 32));
    const TempFile file(image, "kelvane_tree");
    const auto opened = DatDatabase::open(file.path());
    ASSERT_EQ(opened.has_value(), expected.has_value())
        << (opened ? expected.error().to_string() : opened.error().to_string());
    if (!expected) {
      ++failures;
      EXPECT_EQ(opened.error().debug_string(), expected.error().debug_string());
      continue;
    }
    ASSERT_EQ(opened->files(), *expected);
  }
  // Faults must be exercised without drowning the sound directories.
  EXPECT_GT(failures, 50);
  EXPECT_LT(failures, 750);
}

}  // namespace
}  // namespace kelvane_dat
