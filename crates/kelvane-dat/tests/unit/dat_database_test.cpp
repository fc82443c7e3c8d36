#include "kelvane_dat/dat_database.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>
#include <type_traits>
#include <vector>

#include "detail/dat_database_internals.hpp"
#include "detail/debug_format.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "support/archive_builder.hpp"
#include "support/temp_file.hpp"
#include "support/tree_layout.hpp"

namespace kelvane_dat {
namespace {

using test_support::ArchiveBuilder;
using test_support::DirectoryNode;
using test_support::NodeSlot;
using test_support::StoreOptions;
using test_support::TempFile;
using Bytes = std::vector<std::uint8_t>;

static_assert(!std::is_copy_constructible_v<DatDatabase>);
static_assert(std::is_nothrow_move_constructible_v<DatDatabase>);

Result<DatDatabase> open_built(ArchiveBuilder& builder, OpenOptions options = {}) {
  // The open handle keeps the file alive after its name is removed.
  const TempFile file(builder.finish(), "kelvane_db");
  return DatDatabase::open(file.path(), options);
}

DatFileEntry entry_with_id(std::uint32_t id) { return DatFileEntry{0, id, 0, 0, 0, 0}; }

std::size_t open_descriptor_count() {
  return static_cast<std::size_t>(std::distance(
      std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

TEST(DatDatabase, RootOffsetZeroOpensEmpty) {
  ArchiveBuilder builder;
  builder.header.magic = 0x4254;  // a wrong marker does not stop an open
  auto database = open_built(builder);
  ASSERT_TRUE(database.has_value()) << database.error();
  EXPECT_EQ(builder.size(), 0x190u);
  EXPECT_TRUE(database->files().empty());
  EXPECT_EQ(database->dat_kind(), DatKind::Unknown);
  const auto missing = database->get_file(0x2300000A);
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error().to_string(), "File ID 2300000A not found in provider");
}

TEST(DatDatabase, LeafRootIgnoresItsOtherSlots) {
  ArchiveBuilder builder;
  DirectoryNode root;
  root.entries = {entry_with_id(1), entry_with_id(2), entry_with_id(3)};
  for (std::size_t slot = 1; slot < root.branches.size(); ++slot) root.branches[slot] = 0x7FFF0000;
  builder.header.root_offset = builder.store_node(root);
  const auto database = open_built(builder);
  ASSERT_TRUE(database.has_value()) << database.error();
  EXPECT_EQ(database->files().size(), 3u);
  EXPECT_EQ(database->dat_kind(), DatKind::Local);
}

TEST(DatDatabase, InnerNodeVisitsEntryCountPlusOneSlots) {
  for (const std::uint32_t entry_count : {0u, 1u, 30u, 61u}) {
    SCOPED_TRACE(entry_count);
    ArchiveBuilder builder(256);
    DirectoryNode root;
    for (std::uint32_t i = 0; i < entry_count; ++i) root.entries.push_back(entry_with_id(i));
    for (std::uint32_t slot = 0; slot < DatDatabase::kBranchCount; ++slot) {
      DirectoryNode child;
      child.entries = {entry_with_id(1000 + slot)};
      // Slots past the children must not be read; zeros among the children are skipped.
      const bool is_child = slot <= entry_count;
      root.branches[slot] =
          !is_child ? 0x7FFF0000u : (slot % 5 == 3 ? 0u : builder.store_node(child));
    }
    builder.header.root_offset = builder.store_node(root);
    const auto database = open_built(builder);
    ASSERT_TRUE(database.has_value()) << database.error();
    std::size_t children = 0;
    for (std::uint32_t slot = 0; slot <= entry_count; ++slot) {
      if (slot % 5 == 3) continue;
      ++children;
      EXPECT_TRUE(database->files().contains(1000 + slot)) << slot;
    }
    EXPECT_EQ(database->files().size(), entry_count + children);
  }
}

TEST(DatDatabase, LaterDuplicatesReplaceEarlierOnes) {
  ArchiveBuilder builder;
  DirectoryNode first_child;
  first_child.entries = {DatFileEntry{0, 7, 0, 71, 0, 0}};
  DirectoryNode second_child;
  second_child.entries = {DatFileEntry{0, 7, 0, 72, 0, 0}, DatFileEntry{0, 9, 0, 91, 0, 0},
                          DatFileEntry{0, 9, 0, 92, 0, 0}};
  DirectoryNode root;
  root.entries = {DatFileEntry{0, 7, 0, 70, 0, 0}, DatFileEntry{0, 8, 0, 80, 0, 0}};
  root.branches[0] = builder.store_node(first_child);
  root.branches[1] = builder.store_node(second_child);
  builder.header.root_offset = builder.store_node(root);
  const auto database = open_built(builder);
  ASSERT_TRUE(database.has_value()) << database.error();
  EXPECT_EQ(database->files().size(), 3u);
  // Pre-order, children in slot order: the last child's entry is met last.
  EXPECT_EQ(database->files().at(7).size, 72u);
  EXPECT_EQ(database->files().at(8).size, 80u);
  EXPECT_EQ(database->files().at(9).size, 92u);
}

TEST(DatDatabase, SharedChildIsReadOnEachVisit) {
  ArchiveBuilder builder;
  DirectoryNode child;
  child.entries = {entry_with_id(5)};
  const std::uint32_t shared = builder.store_node(child);
  DirectoryNode root;
  root.entries = {entry_with_id(1)};
  root.branches[0] = shared;
  root.branches[1] = shared;
  builder.header.root_offset = builder.store_node(root);
  const auto database = open_built(builder);
  ASSERT_TRUE(database.has_value()) << database.error();
  EXPECT_EQ(database->files().size(), 2u);
}

TEST(DatDatabase, EntryCountBeyondTheNodeFailsOnBitFlags) {
  ArchiveBuilder builder;
  DirectoryNode root;
  for (std::uint32_t i = 0; i < 61; ++i) root.entries.push_back(entry_with_id(i));
  root.entry_count = 62;
  builder.header.root_offset = builder.store_node(root);
  const auto database = open_built(builder);
  ASSERT_FALSE(database.has_value());
  const auto* bin_read = database.error().get_if<DatError::BinRead>();
  ASSERT_NE(bin_read, nullptr);
  ASSERT_EQ(bin_read->error.frames().size(), 1u);
  EXPECT_EQ(bin_read->error.frames()[0].message, "While parsing field 'bit_flags' in DatFileEntry");
  EXPECT_EQ(bin_read->error.io_error()->to_string(), "failed to fill whole buffer");
}

TEST(DatDatabase, OpenFailuresKeepTheirKinds) {
  const std::filesystem::path missing = "no/such/dir/local_English.dat";
  const auto not_there = DatDatabase::open(missing);
  ASSERT_FALSE(not_there.has_value());
  const auto* path_error = not_there.error().get_if<DatError::PathError>();
  ASSERT_NE(path_error, nullptr);
  EXPECT_EQ(path_error->path, missing);
  EXPECT_EQ(path_error->source.kind(), IoError::Kind::Os);
  EXPECT_STREQ(io_error_kind_name(path_error->source.os_code()), "NotFound");

  const TempFile short_file(Bytes(0x150, 0), "kelvane_short");
  const auto short_header = DatDatabase::open(short_file.path());
  ASSERT_FALSE(short_header.has_value());
  const auto* bin_read = short_header.error().get_if<DatError::BinRead>();
  ASSERT_NE(bin_read, nullptr);
  EXPECT_EQ(bin_read->error.frames().at(0).message, "While parsing field 'subset' in DatHeader");

  ArchiveBuilder builder;
  builder.header.root_offset = 0x190;  // the node would run past the end of the file
  const auto cut_node = open_built(builder);
  ASSERT_FALSE(cut_node.has_value());
  EXPECT_EQ(cut_node.error().to_string(), "IO error: failed to fill whole buffer");
}

TEST(DatDatabase, FailedOpenClosesTheFile) {
  ArchiveBuilder builder;
  builder.header.root_offset = 0x190;
  const TempFile file(builder.finish(), "kelvane_fd");
  const std::size_t before = open_descriptor_count();
  EXPECT_FALSE(DatDatabase::open(file.path()).has_value());
  EXPECT_EQ(open_descriptor_count(), before);
}

// Stores a path of `depth` nodes, each the only child of the one above; returns the top.
std::uint32_t store_path(ArchiveBuilder& builder, std::uint32_t depth) {
  DirectoryNode leaf;
  leaf.entries = {entry_with_id(depth)};
  std::uint32_t below = builder.store_node(leaf);
  for (std::uint32_t level = depth - 1; level >= 1; --level) {
    DirectoryNode node;
    node.entries = {entry_with_id(level)};
    node.branches[0] = below;
    below = builder.store_node(node);
  }
  return below;
}

TEST(DatDatabase, DirectoryDepthLimitIsInclusive) {
  ArchiveBuilder builder(256);
  builder.header.root_offset = store_path(builder, DatDatabase::kMaxDirectoryDepth);
  const auto database = open_built(builder);
  ASSERT_TRUE(database.has_value()) << database.error();
  EXPECT_EQ(database->files().size(), DatDatabase::kMaxDirectoryDepth);
}

struct HostileCase {
  const char* name;
  // Builds the archive and returns the error the open must end with.
  std::function<std::string(ArchiveBuilder&)> build;
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }

class HostileDirectory : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileDirectory, EndsTheOpenWithAnError) {
  for (const bool mapped : {false, true}) {
    SCOPED_TRACE(mapped ? "mapped" : "positioned reads");
    ArchiveBuilder builder(256);
    const std::string expected = GetParam().build(builder);
    const auto database = open_built(builder, OpenOptions{.mapped = mapped});
    ASSERT_FALSE(database.has_value());
    EXPECT_EQ(database.error().to_string(), expected);
  }
}

std::string loop_text(std::uint32_t parent, std::uint32_t child) {
  return "Corruption detected: directory node at offset " + hex0x8(parent) +
         " leads back to node " + hex0x8(child) + " on its own path";
}

// Replaces `builder` with six levels of 62 branches to the same node (62^5 leaf visits if nothing
// stopped the walk) in blocks of `block_size`, and returns the error that stops the walk. No sound
// archive holds more nodes than the file has runs of 1720 bytes (a node is 1716 bytes, its chain
// has at least one pointer, and nodes share no bytes), and small files get 64 reads.
std::string shared_levels_error(ArchiveBuilder& builder, std::uint32_t block_size) {
  ArchiveBuilder nodes(block_size);
  const std::uint32_t leaf = nodes.store_node(DirectoryNode{});
  std::uint32_t below = leaf;
  for (int level = 0; level < 5; ++level) {
    DirectoryNode node;
    for (std::uint32_t i = 0; i < 61; ++i) node.entries.push_back(entry_with_id(i));
    node.branches.fill(below);
    below = nodes.store_node(node);
  }
  nodes.header.root_offset = below;
  builder = std::move(nodes);
  const std::uint64_t budget = std::max<std::uint64_t>(builder.size() / 1720, 64);
  return "Corruption detected: directory node at offset " + hex0x8(leaf) +
         " would exceed the walk's budget of " + std::to_string(budget) +
         " node reads, one per 1720 bytes of the file";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileDirectory,
    testing::ValuesIn(std::vector<HostileCase>{
        {"RootIsItsOwnChild",
         [](ArchiveBuilder& builder) {
           const NodeSlot root = builder.reserve_node();
           DirectoryNode node;
           node.branches[0] = root.offset();
           builder.fill_node(root, node);
           builder.header.root_offset = root.offset();
           return loop_text(root.offset(), root.offset());
         }},
        {"GrandchildLeadsBackToRoot",
         [](ArchiveBuilder& builder) {
           const NodeSlot root = builder.reserve_node();
           DirectoryNode below;
           below.entries = {entry_with_id(1)};
           below.branches[1] = root.offset();
           below.branches[0] = builder.store_node(DirectoryNode{});
           const std::uint32_t child = builder.store_node(below);
           DirectoryNode top;
           top.branches[0] = child;
           builder.fill_node(root, top);
           builder.header.root_offset = root.offset();
           return loop_text(child, root.offset());
         }},
        {"DeeperThanTheLimit",
         [](ArchiveBuilder& builder) {
           builder.header.root_offset = store_path(builder, DatDatabase::kMaxDirectoryDepth + 1);
           // The deepest node is stored first, in the first block.
           return std::string(
               "Corruption detected: directory node at offset 0x00000200 nests "
               "deeper than 64 levels");
         }},
        {"SharedChildrenMultiplyTheReads",
         [](ArchiveBuilder& builder) { return shared_levels_error(builder, 256); }},
        // Each node read walks 1716 blocks here: a budget counting blocks would allow reads by
        // the million.
        {"SharedChildrenInFiveByteBlocks",
         [](ArchiveBuilder& builder) { return shared_levels_error(builder, 5); }},
        {"BlockSizeWithoutPayload",
         [](ArchiveBuilder& builder) {
           builder.header.block_size = 4;
           builder.header.root_offset = builder.store_node(DirectoryNode{});
           return "Corruption detected: block at offset 0x00000200 points to 0x00000300 but "
                  "block size 4 leaves no room for payload";
         }},
    }),
    [](const testing::TestParamInfo<HostileCase>& param) { return param.param.name; });

TEST(DatDatabase, GetFileReturnsWhatWasStored) {
  ArchiveBuilder builder(1024);
  std::mt19937_64 random(7);
  std::vector<Bytes> contents;
  std::vector<DatFileEntry> entries;
  for (std::uint32_t i = 0; i < 3000; ++i) {
    Bytes data(random() % 6000);
    const bool text_like = i % 3 != 0;
    for (auto& byte : data) {
      byte = static_cast<std::uint8_t>(text_like ? 'a' + random() % 6 : random());
    }
    StoreOptions options;
    options.compressed = i % 2 == 0;
    options.layout.order = static_cast<test_support::ChainOrder>(i % 3);
    options.layout.seed = i;
    options.layout.last_pointer = i % 4 == 0 ? 0x7FFF0000u : 0u;
    entries.push_back(builder.store_file(0x23000000 + i * 3, data, options));
    contents.push_back(std::move(data));
  }
  test_support::TreeShape shape;
  shape.entries_per_node = 9;
  shape.max_children = 10;
  builder.header.root_offset = test_support::store_tree(builder, entries, shape);
  auto opened = open_built(builder);
  ASSERT_TRUE(opened.has_value()) << opened.error();
  // The handle moves; the moved-to one serves reads from several threads at once.
  const DatDatabase database = std::move(*opened);
  ASSERT_EQ(database.files().size(), entries.size());

  std::atomic<std::size_t> mismatches = 0;
  {
    std::vector<std::jthread> readers;
    for (std::size_t thread = 0; thread < 4; ++thread) {
      readers.emplace_back([&, thread] {
        for (std::size_t i = thread; i < entries.size(); i += 2) {
          const auto data = database.get_file(entries[i].id);
          if (!data.has_value() || *data != contents[i]) ++mismatches;
        }
      });
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST(DatDatabase, CompressedPayloadOutputIsTheFile) {
  ArchiveBuilder builder;
  // Declares 10 bytes but stops after 2: the short output is still the file.
  const Bytes payload = {10, 0, 0, 0, 0x40, 'x', 0x01, 0x00};
  DatFileEntry stored{1, 0x10, builder.store_chain(payload), 8, 0, 0};
  DatFileEntry empty{0, 0x11, 0x7FFF0000, 0, 0, 0};
  DirectoryNode root;
  root.entries = {stored, empty};
  builder.header.root_offset = builder.store_node(root);
  const auto database = open_built(builder);
  ASSERT_TRUE(database.has_value()) << database.error();
  EXPECT_EQ(database->get_file(0x10).value(), (Bytes{'x', 'x', 'x'}));
  EXPECT_EQ(database->get_file(0x11).value(), Bytes{});
  EXPECT_EQ(database->read_file_data(stored.offset, 8).value(), payload);
}

TEST(DatDatabase, GetFileIntoFillsTheCallersBufferInPlace) {
  ArchiveBuilder builder(256);
  StoreOptions compressed;
  compressed.compressed = true;
  DirectoryNode root;
  root.entries.push_back(builder.store_file(0x10, Bytes(5000, 'p'), StoreOptions{}));
  root.entries.push_back(builder.store_file(0x11, Bytes(3000, 'c'), compressed));
  builder.header.root_offset = builder.store_node(root);
  for (const bool mapped : {false, true}) {
    SCOPED_TRACE(mapped ? "mapped" : "positioned reads");
    const auto database = open_built(builder, OpenOptions{.mapped = mapped});
    ASSERT_TRUE(database.has_value()) << database.error();
    Bytes buffer(7000, 0xEE);
    const std::uint8_t* const storage = buffer.data();
    for (const std::uint32_t id : {0x10u, 0x11u}) {
      ASSERT_TRUE(database->get_file_into(id, buffer).has_value());
      EXPECT_EQ(buffer, database->get_file(id).value());
      EXPECT_EQ(buffer.data(), storage) << "the capacity it had is reused";
    }
    const auto missing = database->get_file_into(0x12, buffer);
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().to_string(), DatError::not_found(0x12).to_string());
    EXPECT_TRUE(buffer.empty());
  }
}

// Each fetch starts from a buffer holding a good compressed file, so a failure that forgot to empty
// it would hand out the previous file's bytes.
TEST(DatDatabase, CheckedFetchRefusesDamagedPayloadsAndFailuresLeaveTheBufferEmpty) {
  ArchiveBuilder builder;
  StoreOptions compressed;
  compressed.compressed = true;
  const Bytes good(3000, 'c');
  DirectoryNode root;
  root.entries.push_back(builder.store_file(0x10, good, compressed));
  // Declares 10 bytes, yields 3; then a payload too short to declare any size.
  const Bytes short_payload = {10, 0, 0, 0, 0x40, 'x', 0x01, 0x00};
  root.entries.push_back({1, 0x11, builder.store_chain(short_payload), 8, 0, 0});
  root.entries.push_back({1, 0x12, builder.store_chain(Bytes{1, 2}), 2, 0, 0});
  root.entries.push_back({1, 0x13, 0x7FFFFF00, 100, 0, 0});  // the chain starts past the end
  builder.header.root_offset = builder.store_node(root);
  struct Case {
    std::uint32_t id;
    // Empty when the unchecked fetch succeeds.
    std::string unchecked_error;
    std::string checked_error;
  };
  const Case cases[] = {
      {0x11, "",
       "Corruption detected: file 00000011: the compressed payload yields 3 of the 10 bytes it "
       "declares"},
      {0x12, "",
       "Corruption detected: file 00000012: the compressed payload has 2 bytes, too few to "
       "declare its size"},
      {0x13, "IO error: failed to fill whole buffer", "IO error: failed to fill whole buffer"},
  };
  for (const bool mapped : {false, true}) {
    SCOPED_TRACE(mapped ? "mapped" : "positioned reads");
    const auto database = open_built(builder, OpenOptions{.mapped = mapped});
    ASSERT_TRUE(database.has_value()) << database.error();
    EXPECT_EQ(database->get_file_checked(0x10).value(), good);
    for (const Case& c : cases) {
      SCOPED_TRACE(debug_string(c.id));
      Bytes buffer;
      ASSERT_TRUE(database->get_file_into(0x10, buffer).has_value());
      const auto unchecked = database->get_file_into(c.id, buffer);
      EXPECT_EQ(unchecked ? "" : unchecked.error().to_string(), c.unchecked_error);
      if (!unchecked) {
        EXPECT_TRUE(buffer.empty());
      }
      ASSERT_TRUE(database->get_file_checked_into(0x10, buffer).has_value());
      const auto checked = database->get_file_checked_into(c.id, buffer);
      ASSERT_FALSE(checked.has_value());
      EXPECT_EQ(checked.error().to_string(), c.checked_error);
      EXPECT_TRUE(buffer.empty());
      EXPECT_EQ(database->get_file_checked(c.id).error().to_string(), c.checked_error);
    }
  }
}

TEST(DatDatabase, LooksUpListsAndDecodesByType) {
  ArchiveBuilder builder(256);
  builder.header.dataset = 3;  // a local archive: 0x23 ids are string tables
  StoredStringTable table_data;
  table_data.id = 0x23000002;
  table_data.entries.push_back({});
  table_data.entries[0].key = 7;
  table_data.entries[0].texts = {u"hi"};
  const Bytes table = table_data.encode().value();
  StoreOptions compressed;
  compressed.compressed = true;
  // Stored out of id order, so storage order and id order differ.
  std::vector<DatFileEntry> entries = {
      builder.store_file(0x06000001, Bytes(300, 1)),
      builder.store_file(0x23000002, table, compressed),
      builder.store_file(0x23000001, Bytes(10, 2)),
  };
  builder.header.root_offset = test_support::store_tree(builder, entries);
  const auto database = open_built(builder);
  ASSERT_TRUE(database.has_value()) << database.error();

  EXPECT_EQ(database->ids(), (std::vector<std::uint32_t>{0x06000001, 0x23000001, 0x23000002}));
  EXPECT_EQ(database->ids(DatFileType::StringTable),
            (std::vector<std::uint32_t>{0x23000001, 0x23000002}));
  EXPECT_EQ(database->ids(DatFileType::Audio), std::vector<std::uint32_t>{});
  EXPECT_EQ(database->ids_in_storage_order(),
            (std::vector<std::uint32_t>{0x06000001, 0x23000002, 0x23000001}));
  EXPECT_EQ(database->ids_in_storage_order(DatFileType::StringTable),
            (std::vector<std::uint32_t>{0x23000002, 0x23000001}));
  EXPECT_EQ(database->file_type(0x23000001), DatFileType::StringTable);
  ASSERT_NE(database->find(0x23000002), nullptr);
  EXPECT_EQ(*database->find(0x23000002), entries[1]);
  EXPECT_EQ(database->find(0x23000003), nullptr);

  const auto decoded = database->string_table(0x23000002);
  ASSERT_TRUE(decoded.has_value()) << decoded.error();
  EXPECT_EQ(decoded->strings.at(7).strings, std::vector<std::string>{"hi"});
  EXPECT_EQ(database->string_table(0x23000003).error().to_string(),
            "File ID 23000003 not found in provider");
  // Ten bytes of 2 claim a table of 0x02020202 entries and run out.
  EXPECT_TRUE(database->string_table(0x23000001).error().is<DatError::BinRead>());
}

// What whole-archive code (the layout check, a writer) reads through the internal way in: the nodes
// open walked, decoded again, hold every entry; a raw block is its pointer and payload as stored,
// and a block the file cuts short is an error, not a short read.
TEST(DatDatabaseInternals, ReadsRawBlocksAndDirectoryNodes) {
  using Internals = detail::DatDatabaseInternals;
  ArchiveBuilder builder(256);
  std::vector<DatFileEntry> entries;
  for (std::uint32_t id = 1; id <= 40; ++id) {
    entries.push_back(builder.store_file(id, Bytes(id * 13, static_cast<std::uint8_t>(id))));
  }
  test_support::TreeShape shape;
  shape.entries_per_node = 7;
  builder.header.root_offset = test_support::store_tree(builder, entries, shape);
  const Bytes image = builder.finish();
  const TempFile file(image, "kelvane_internals");
  const DatDatabase archive = DatDatabase::open(file.path()).value();

  std::vector<std::uint32_t> ids;
  for (const std::uint32_t offset : Internals::directory_nodes(archive)) {
    const detail::DirectoryNode node = Internals::read_directory_node(archive, offset).value();
    for (const DatFileEntry& entry : node.entries) ids.push_back(entry.id);
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, archive.ids());

  const std::uint32_t first = archive.find(40)->offset;
  const Bytes block = Internals::read_block(archive, first).value();
  EXPECT_EQ(block, Bytes(image.begin() + first, image.begin() + first + 256));
  const auto cut = Internals::read_block(archive, static_cast<std::uint32_t>(image.size() - 100));
  ASSERT_FALSE(cut.has_value());
  EXPECT_EQ(cut.error().to_string(), "IO error: failed to fill whole buffer");
}

}  // namespace
}  // namespace kelvane_dat
