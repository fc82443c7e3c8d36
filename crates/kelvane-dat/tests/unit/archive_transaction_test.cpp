#include "kelvane_dat/archive_transaction.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <vector>

#include "detail/transaction_access.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "support/archive_builder.hpp"
#include "support/archive_contents.hpp"
#include "support/crash_file.hpp"
#include "support/temp_file.hpp"

namespace kelvane_dat {
namespace {

using test_support::archive_image;
using test_support::Bytes;
using test_support::checked_contents;
using test_support::Contents;
using test_support::CrashFile;
using test_support::letter_content;
using test_support::read_file_bytes;
using test_support::TempFile;

// The model and the archive take the same random puts and removes, over several commits, so
// that splits, borrows and merges at every level happen.
TEST(ArchiveTransaction, RandomChangesMatchAModelAcrossCommits) {
  Contents model;
  for (std::uint32_t id = 0; id < 400; ++id) model[id * 3] = letter_content(id % 700, id);
  const TempFile file(archive_image(model, 256), "kelvane_txn");
  std::mt19937_64 random(7);
  for (int round = 0; round < 6; ++round) {
    auto txn = ArchiveTransaction::open(file.path()).value();
    for (int change = 0; change < 300; ++change) {
      const auto id = static_cast<std::uint32_t>(random() % 1500);
      // Shrinking in the later rounds empties most nodes: merges down to a single leaf.
      if (random() % 6 < (round < 3 ? 2u : 5u)) {
        const bool present = model.erase(id) > 0;
        EXPECT_EQ(txn.remove(id).has_value(), present);
      } else {
        model[id] = letter_content(random() % 2000, random());
        ASSERT_TRUE(txn.put(id, model[id], {random() % 2 == 0}).has_value());
      }
    }
    ASSERT_TRUE(txn.commit().has_value());
    EXPECT_FALSE(txn.put(1, Bytes{1}).has_value());
    EXPECT_EQ(checked_contents(file.path()), model) << "round " << round;
  }
}

TEST(ArchiveTransaction, DroppedTransactionChangesNothing) {
  const TempFile file(
      archive_image({{1, letter_content(900, 1)}, {2, letter_content(10, 2)}}, 1024));
  const Bytes before = read_file_bytes(file.path());
  {
    auto txn = ArchiveTransaction::open(file.path()).value();
    ASSERT_TRUE(txn.put(3, letter_content(5000, 3)).has_value());
    ASSERT_TRUE(txn.remove(1).has_value());
  }
  EXPECT_EQ(read_file_bytes(file.path()), before);
}

TEST(ArchiveTransaction, SecondWriterIsRefusedAtOnce) {
  const TempFile file(archive_image({{1, letter_content(9, 1)}}, 1024));
  auto first = ArchiveTransaction::open(file.path()).value();
  const auto second = ArchiveTransaction::open(file.path());
  ASSERT_FALSE(second.has_value());
  EXPECT_EQ(second.error().to_string(), "Other error: archive is locked by another writer");
}

TEST(ArchiveTransaction, ReaderOpenedBeforeCommitKeepsTheOldVersion) {
  const Bytes old_bytes = letter_content(3000, 1);
  const TempFile file(archive_image({{1, old_bytes}, {2, letter_content(10, 2)}}, 256));
  const auto before = DatDatabase::open(file.path()).value();
  auto txn = ArchiveTransaction::open(file.path()).value();
  ASSERT_TRUE(txn.put(1, letter_content(4000, 9)).has_value());
  ASSERT_TRUE(txn.put(3, letter_content(10, 3)).has_value());
  ASSERT_TRUE(txn.commit().has_value());
  EXPECT_EQ(before.get_file(1).value(), old_bytes);
  EXPECT_EQ(before.find(3), nullptr);
  EXPECT_EQ(DatDatabase::open(file.path()).value().get_file(1).value(), letter_content(4000, 9));
}

TEST(ArchiveTransaction, RefusesOverlappingChainsWithTheLayoutMessage) {
  test_support::ArchiveBuilder builder(256);
  const DatFileEntry first = builder.store_file(1, letter_content(600, 1));
  DatFileEntry second = first;
  second.id = 2;
  const std::vector<DatFileEntry> entries = {first, second};
  builder.header.root_offset = builder.store_node({{}, entries, std::nullopt});
  const TempFile file(builder.bytes());
  const auto txn = ArchiveTransaction::open(file.path());
  ASSERT_FALSE(txn.has_value());
  EXPECT_EQ(txn.error().to_string(),
            "Corruption detected: file 0x00000002 and file 0x00000001 both claim 256 bytes at "
            "0x00000200");
}

// Archives from elsewhere: a free list that runs into a file, and a directory that is no B-tree
// (a root of two entries over a leaf of one). The commit rebuilds both and the contract holds.
TEST(ArchiveTransaction, RebuildsABrokenFreeListAndAForeignDirectory) {
  test_support::ArchiveBuilder builder(256);
  const DatFileEntry a = builder.store_file(10, letter_content(300, 1));
  const DatFileEntry b = builder.store_file(20, letter_content(300, 2));
  const DatFileEntry c = builder.store_file(5, letter_content(300, 3));
  builder.new_blocks(4);  // unclaimed
  test_support::DirectoryNode leaf{{}, {c}, std::nullopt};
  const std::uint32_t leaf_offset = builder.store_node(leaf);
  test_support::DirectoryNode root{{}, {a, b}, std::nullopt};
  root.branches[0] = leaf_offset;
  builder.header.root_offset = builder.store_node(root);
  builder.header.free_head = a.offset;
  builder.header.free_tail = a.offset;
  builder.header.free_count = 1;
  const TempFile file(builder.bytes());

  auto txn = ArchiveTransaction::open(file.path()).value();
  EXPECT_TRUE(txn.rebuilds_free_list());
  EXPECT_TRUE(txn.rebuilds_directory());
  ASSERT_TRUE(txn.put(7, letter_content(500, 7)).has_value());
  ASSERT_TRUE(txn.commit().has_value());
  const Contents expected = {{5, letter_content(300, 3)},
                             {7, letter_content(500, 7)},
                             {10, letter_content(300, 1)},
                             {20, letter_content(300, 2)}};
  EXPECT_EQ(checked_contents(file.path()), expected);
}

// One put into an archive of a million files writes its own blocks, one root-to-leaf path of
// nodes (four levels of two blocks) and, since a bulk-loaded tree is full, the new sibling of each
// node that splits and a new root, the header three times and a pointer per freed block.
TEST(ArchiveTransaction, OnePutIntoAMillionFilesWritesOnlyItsPath) {
  const TempFile file(Bytes{}, "kelvane_million");
  DatHeader header;
  header.magic = DatHeader::kMagic;
  header.block_size = 1024;
  auto writer = ArchiveWriter::create(file.path(), header).value();
  for (std::uint32_t id = 0; id < 1'000'000; ++id) ASSERT_TRUE(writer.add(id * 2, {}).has_value());
  ASSERT_TRUE(writer.finish().has_value());

  auto disk = CrashFile::make_disk(read_file_bytes(file.path()));
  auto txn = open_transaction_on(file.path(), std::make_unique<CrashFile>(disk)).value();
  const Bytes data = letter_content(3000, 1);
  ASSERT_TRUE(txn.put(777'777, data).has_value());
  ASSERT_TRUE(txn.commit().has_value());
  const std::uint64_t file_blocks = 3 * 1024;
  const std::uint64_t path_nodes = (4 + 4 + 1) * 2 * 1024;
  const std::uint64_t headers = 3 * DatHeader::kEncodedSize;
  const std::uint64_t freed_pointers = 4 * 2 * 4 + 4;
  EXPECT_LE(disk->bytes_written, file_blocks + path_nodes + headers + freed_pointers);
  EXPECT_GE(disk->bytes_written, data.size() + 4 * DatDatabase::kNodeSize);
}

}  // namespace
}  // namespace kelvane_dat
