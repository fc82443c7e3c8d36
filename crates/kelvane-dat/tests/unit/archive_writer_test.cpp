#include "kelvane_dat/archive_writer.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "detail/dat_database_internals.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "support/archive_contents.hpp"
#include "support/contract_check.hpp"
#include "support/temp_file.hpp"

namespace kelvane_dat {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A path in the temporary directory, removed with the object, with its ".partial" sibling.
class TempPath {
 public:
  TempPath() : file_(Bytes{}, "kelvane_writer") { std::filesystem::remove(file_.path()); }
  const std::filesystem::path& path() const { return file_.path(); }
  std::filesystem::path partial() const {
    std::filesystem::path p = path();
    return p += ".partial";
  }

 private:
  test_support::TempFile file_;
};

DatHeader sample_header(std::uint32_t block_size) {
  DatHeader header;
  header.magic = DatHeader::kMagic;
  header.block_size = block_size;
  header.dataset = 3;
  header.new_lru = 7;
  header.master_map_id = 0x0F000001;
  header.engine_version = 12;
  header.version_string = {'v', '1', 0, 0xFF};
  header.version_minor = 5;
  // Fields the writer owns: whatever is given here is replaced.
  header.root_offset = 0xDEAD;
  header.free_count = 9;
  return header;
}

struct BuildCase {
  const char* name;
  std::uint32_t block_size;
  std::size_t files;
};

class ArchiveWriterBuild : public testing::TestWithParam<BuildCase> {};

// Reading back what was written, for trees of one leaf, a root split and three levels, with
// sizes around block boundaries, compressed and stored files, and empty ones.
TEST_P(ArchiveWriterBuild, ReaderGetsEveryFileBackAndTheContractHolds) {
  const BuildCase& c = GetParam();
  const TempPath out;
  auto writer = ArchiveWriter::create(out.path(), sample_header(c.block_size));
  ASSERT_TRUE(writer.has_value()) << writer.error();
  std::map<std::uint32_t, std::pair<Bytes, FileOptions>> expected;
  const std::size_t payload = c.block_size - 4;
  const std::size_t sizes[] = {0, 1, payload - 1, payload, payload + 1, 3 * payload, 5000};
  for (std::size_t i = 0; i < c.files; ++i) {
    // Ids added out of order: the writer sorts them.
    const auto id = static_cast<std::uint32_t>((i * 7919) % 100003 + 0x06000000);
    const FileOptions options{i % 3 == 0, static_cast<std::uint32_t>(i),
                              static_cast<std::uint32_t>(i % 5)};
    Bytes data = test_support::letter_content(sizes[i % std::size(sizes)], i);
    ASSERT_TRUE(writer->add(id, data, options).has_value());
    expected[id] = {std::move(data), options};
  }
  ASSERT_TRUE(writer->finish().has_value());
  EXPECT_FALSE(std::filesystem::exists(out.partial()));

  const auto archive = DatDatabase::open(out.path());
  ASSERT_TRUE(archive.has_value()) << archive.error();
  DatHeader kept = sample_header(c.block_size);
  kept.root_offset = archive->header().root_offset;
  kept.free_count = 0;
  kept.file_size = archive->header().file_size;
  EXPECT_EQ(archive->header(), kept);
  EXPECT_EQ(archive->files().size(), c.files);
  for (const auto& [id, file] : expected) {
    const DatFileEntry* entry = archive->find(id);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->is_compressed(), file.second.compress);
    EXPECT_EQ(entry->timestamp, file.second.timestamp);
    EXPECT_EQ(entry->version, file.second.version);
    EXPECT_EQ(archive->get_file(id).value(), file.first) << id;
  }
  const auto length = std::filesystem::file_size(out.path());
  EXPECT_EQ(test_support::contract_violation(*archive, length), std::nullopt);
  const auto layout = check_layout(*archive).value();
  EXPECT_TRUE(layout.overlaps.empty());
  // Compact: what nothing claims is the gap before the first block and the unused tails of last
  // blocks, less than a block per chain.
  EXPECT_LT(layout.unclaimed_bytes,
            (detail::DatDatabaseInternals::directory_nodes(*archive).size() + c.files + 1) *
                c.block_size);
}

INSTANTIATE_TEST_SUITE_P(Shapes, ArchiveWriterBuild,
                         testing::Values(BuildCase{"Empty", 1024, 0},
                                         BuildCase{"OneLeaf", 1024, 61},
                                         BuildCase{"RootSplit", 256, 62},
                                         BuildCase{"ThreeLevels", 256, 3900}),
                         [](const auto& shape) { return std::string(shape.param.name); });

TEST(ArchiveWriter, RefusesDuplicateIdsAndTinyBlocks) {
  const TempPath out;
  auto writer = ArchiveWriter::create(out.path(), sample_header(1024)).value();
  ASSERT_TRUE(writer.add(5, Bytes{1}).has_value());
  const auto again = writer.add(5, Bytes{2});
  ASSERT_FALSE(again.has_value());
  EXPECT_TRUE(again.error().is<DatError::DuplicateId>());

  const auto tiny = ArchiveWriter::create(out.path(), sample_header(8));
  ASSERT_FALSE(tiny.has_value());
  EXPECT_EQ(tiny.error().to_string(),
            "Other error: block size 8 is below the smallest this writer uses, 16");
}

TEST(ArchiveWriter, AbandonedArchiveLeavesNoFileBehind) {
  const TempPath out;
  {
    auto writer = ArchiveWriter::create(out.path(), sample_header(1024)).value();
    ASSERT_TRUE(writer.add(5, Bytes(3000, 1)).has_value());
    EXPECT_TRUE(std::filesystem::exists(out.partial()));
  }
  EXPECT_FALSE(std::filesystem::exists(out.partial()));
  EXPECT_FALSE(std::filesystem::exists(out.path()));
}

TEST(ArchiveWriter, CompactKeepsStoredBytesAndDropsUnclaimedSpace) {
  const TempPath first;
  const TempPath second;
  auto writer = ArchiveWriter::create(first.path(), sample_header(256)).value();
  ASSERT_TRUE(writer.add(1, test_support::letter_content(4000, 1), {true, 10, 2}).has_value());
  ASSERT_TRUE(writer.add(2, test_support::letter_content(700, 2)).has_value());
  ASSERT_TRUE(writer.finish().has_value());
  // Grow the source with bytes nothing claims.
  std::filesystem::resize_file(first.path(), std::filesystem::file_size(first.path()) + 4096);

  ASSERT_TRUE(compact(first.path(), second.path()).has_value());
  const auto source = DatDatabase::open(first.path()).value();
  const auto copy = DatDatabase::open(second.path()).value();
  for (const std::uint32_t id : {1u, 2u}) {
    const DatFileEntry a = *source.find(id);
    const DatFileEntry b = *copy.find(id);
    EXPECT_EQ(a.bit_flags, b.bit_flags);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(source.read_file_data(a.offset, a.size).value(),
              copy.read_file_data(b.offset, b.size).value());
  }
  EXPECT_EQ(std::filesystem::file_size(second.path()) + 4096,
            std::filesystem::file_size(first.path()));
}

}  // namespace
}  // namespace kelvane_dat
