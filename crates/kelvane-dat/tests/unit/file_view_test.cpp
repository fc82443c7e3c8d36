#include "kelvane_dat/file_view.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "kelvane_dat/dat_database.hpp"
#include "support/archive_builder.hpp"
#include "support/temp_file.hpp"

namespace kelvane_dat {
namespace {

using test_support::ArchiveBuilder;
using test_support::ChainOrder;
using test_support::DirectoryNode;
using test_support::StoreOptions;
using test_support::TempFile;
using Bytes = std::vector<std::uint8_t>;

static_assert(!std::is_copy_constructible_v<FileView>);
static_assert(std::is_nothrow_move_constructible_v<FileView>);

Bytes pattern(std::size_t size, std::uint8_t salt) {
  Bytes out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(i * 7 + salt);
  return out;
}

std::string outcome(const Result<Bytes>& result) {
  if (!result) return "error " + result.error().debug_string();
  return "bytes " + std::string(result->begin(), result->end());
}

// Files of every kind a view treats differently: many blocks in and out of order, one block, empty,
// compressed, a chain that runs off the file, and an id the directory lacks.
constexpr std::uint32_t kScattered = 0x10, kContiguous = 0x11, kOneBlock = 0x12, kEmpty = 0x13,
                        kCompressed = 0x14, kOffTheFile = 0x15, kMissing = 0x16;

class FileViewOfArchive : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ArchiveBuilder builder(256);
    StoreOptions scattered;
    scattered.layout.order = ChainOrder::Shuffled;
    StoreOptions compressed;
    compressed.compressed = true;
    DirectoryNode root;
    root.entries = {
        builder.store_file(kScattered, pattern(5000, 1), scattered),
        builder.store_file(kContiguous, pattern(5000, 2), StoreOptions{}),
        builder.store_file(kOneBlock, pattern(200, 3), StoreOptions{}),
        builder.store_file(kEmpty, Bytes{}, StoreOptions{}),
        builder.store_file(kCompressed, Bytes(3000, 'c'), compressed),
        DatFileEntry{0, kOffTheFile, 0x7FFF0000, 10, 0, 0},
    };
    builder.header.root_offset = builder.store_node(root);
    const TempFile file(builder.finish(), "kelvane_view");
    auto opened = DatDatabase::open(file.path(), OpenOptions{.mapped = GetParam()});
    auto other = DatDatabase::open(file.path(), OpenOptions{.mapped = !GetParam()});
    ASSERT_TRUE(opened.has_value() && other.has_value());
    database_.emplace(std::move(*opened));
    other_.emplace(std::move(*other));
  }

  // Opened as the parameter says, and the other way.
  std::optional<DatDatabase> database_;
  std::optional<DatDatabase> other_;
};

TEST_P(FileViewOfArchive, HoldsTheBytesAndErrorsOfGetFile) {
  for (const std::uint32_t id :
       {kScattered, kContiguous, kOneBlock, kEmpty, kCompressed, kOffTheFile, kMissing}) {
    SCOPED_TRACE(testing::Message() << "file " << id);
    const auto view = database_->view_file(id);
    const Result<Bytes> viewed =
        view ? Result<Bytes>(view->to_vector()) : std::unexpected(view.error());
    EXPECT_EQ(outcome(viewed), outcome(database_->get_file(id)));
    if (!view) continue;
    EXPECT_EQ(view->size(), viewed->size());
    std::size_t sliced = 0;
    for (const FileView::Slice slice : *view) {
      EXPECT_FALSE(slice.empty());
      sliced += slice.size();
    }
    EXPECT_EQ(sliced, view->size());
  }
}

TEST_P(FileViewOfArchive, ViewsMappedFilesInPlaceAndCopiesTheRest) {
  const bool mapped = GetParam();
  struct Case {
    std::uint32_t id;
    std::size_t mapped_slices;
  };
  // 5000 bytes in blocks of 252 payload bytes; an expansion is always one buffer.
  for (const Case c : {Case{kScattered, 20}, Case{kContiguous, 20}, Case{kOneBlock, 1},
                       Case{kEmpty, 0}, Case{kCompressed, 1}}) {
    SCOPED_TRACE(testing::Message() << "file " << c.id);
    const auto view = database_->view_file(c.id);
    ASSERT_TRUE(view.has_value()) << view.error();
    const std::size_t copied_slices = view->size() == 0 ? 0 : 1;
    EXPECT_EQ(view->slices().size(), mapped ? c.mapped_slices : copied_slices);
  }
}

TEST_P(FileViewOfArchive, OutlivesAMoveOfTheHandleAndOfItself) {
  auto view = database_->view_file(kScattered);
  ASSERT_TRUE(view.has_value());
  const DatDatabase moved = std::move(*database_);
  database_.reset();
  FileView kept = std::move(*view);
  EXPECT_EQ(view->size(), 0u);
  EXPECT_TRUE(view->slices().empty());
  EXPECT_EQ(kept.to_vector(), pattern(5000, 1));
}

TEST_P(FileViewOfArchive, ComparesBytesWhateverTheSlicing) {
  const auto scattered = database_->view_file(kScattered);
  const auto contiguous = database_->view_file(kContiguous);
  const auto compressed = database_->view_file(kCompressed);
  const auto empty = database_->view_file(kEmpty);
  ASSERT_TRUE(scattered && contiguous && compressed && empty);
  // One slice against twenty, which start at other offsets.
  EXPECT_EQ(*scattered, *other_->view_file(kScattered));
  EXPECT_EQ(*contiguous, *other_->view_file(kContiguous));
  EXPECT_FALSE(*scattered == *contiguous) << "same length, different bytes";
  EXPECT_FALSE(*scattered == *compressed) << "different lengths";
  EXPECT_EQ(*empty, FileView{});
}

INSTANTIATE_TEST_SUITE_P(Handles, FileViewOfArchive, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& param) {
                           return param.param ? "Mapped" : "PositionedReads";
                         });

}  // namespace
}  // namespace kelvane_dat
