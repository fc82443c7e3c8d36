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

TEST_P(FileViewOfArchive, ViewsAndCallerMemoryHoldTheBytesAndErrorsOfGetFile) {
  for (const std::uint32_t id :
       {kScattered, kContiguous, kOneBlock, kEmpty, kCompressed, kOffTheFile, kMissing}) {
    SCOPED_TRACE(testing::Message() << "file " << id);
    const auto view = database_->view_file(id);
    const Result<Bytes> viewed =
        view ? Result<Bytes>(view->to_vector()) : std::unexpected(view.error());
    const Result<Bytes> fetched = database_->get_file(id);
    EXPECT_EQ(outcome(viewed), outcome(fetched));
    Bytes memory(6000, 0xEE);
    const Result<std::size_t> filled = database_->get_file_to(id, memory);
    const Result<Bytes> in_memory =
        filled ? Result<Bytes>(
                     Bytes(memory.begin(), memory.begin() + static_cast<std::ptrdiff_t>(*filled)))
               : std::unexpected(filled.error());
    EXPECT_EQ(outcome(in_memory), outcome(fetched));
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

TEST_P(FileViewOfArchive, CallerMemoryTooShortIsAnError) {
  struct Case {
    std::uint32_t id;
    std::size_t room;
    const char* error;
  };
  for (const Case c : {
           Case{
               kContiguous, 4999,
               "Other error: a buffer of 4999 bytes cannot hold the 5000 bytes of file 0x00000011"},
           Case{kCompressed, 10,
                "Other error: a buffer of 10 bytes cannot hold the 3000 bytes of file 0x00000014"},
           Case{kMissing, 0, "File ID 00000016 not found in provider"},
       }) {
    SCOPED_TRACE(testing::Message() << "file " << c.id);
    Bytes memory(c.room);
    const Result<std::size_t> filled = database_->get_file_to(c.id, memory);
    ASSERT_FALSE(filled.has_value());
    EXPECT_EQ(filled.error().to_string(), c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(Handles, FileViewOfArchive, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& param) {
                           return param.param ? "Mapped" : "PositionedReads";
                         });

}  // namespace
}  // namespace kelvane_dat
