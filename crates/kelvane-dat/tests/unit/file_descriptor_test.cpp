#include "detail/file_descriptor.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <vector>

#include "detail/debug_format.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "support/archive_builder.hpp"
#include "support/temp_file.hpp"

namespace kelvane_dat {
namespace {

using test_support::TempFile;
using Bytes = std::vector<std::uint8_t>;

Bytes counting_bytes(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

struct ReadCase {
  const char* name;
  std::uint64_t offset;
  std::size_t size;
  bool fills;
};

TEST(FileDescriptor, PositionedReadsFillOrReportTheEnd) {
  const Bytes contents = counting_bytes(300);
  const TempFile file(contents, "kelvane_reads");
  const auto fd = FileDescriptor::open_read_only(file.path());
  ASSERT_TRUE(fd.has_value()) << fd.error();
  constexpr ReadCase kCases[] = {
      {"whole file", 0, 300, true},           {"inside", 7, 100, true},
      {"up to the end", 200, 100, true},      {"one past the end", 200, 101, false},
      {"starts at the end", 300, 1, false},   {"far past the end", 1'000'000'000'000, 4, false},
      {"empty, past the end", 5000, 0, true},
  };
  for (const ReadCase& c : kCases) {
    SCOPED_TRACE(c.name);
    Bytes buffer(c.size, 0xEE);
    const auto read = fd->read_exact_at_compat(buffer, c.offset);
    if (c.fills) {
      ASSERT_TRUE(read.has_value()) << read.error();
      const auto begin =
          contents.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(c.offset, 300));
      EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), begin));
    } else {
      ASSERT_FALSE(read.has_value());
      EXPECT_EQ(read.error(), IoError::fill_whole_buffer());
    }
  }
}

TEST(FileDescriptor, MissingFileIsNotFound) {
  for (const char* path : {"kelvane_no_such_file.dat", "no/such/dir/local_English.dat"}) {
    SCOPED_TRACE(path);
    const auto fd = FileDescriptor::open_read_only(path);
    ASSERT_FALSE(fd.has_value());
    EXPECT_EQ(fd.error().kind(), IoError::Kind::Os);
    EXPECT_STREQ(io_error_kind_name(fd.error().os_code()), "NotFound");
    // The system's own text, one line, then the code.
    const std::string text = fd.error().to_string();
    EXPECT_EQ(text.find('\n'), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with(" (os error " + std::to_string(fd.error().os_code()) + ")")) << text;
  }
}

// The game keeps its archives open, for writing too, while tools read them.
TEST(FileDescriptor, OpensAFileAnotherWriterHolds) {
  const TempFile file(counting_bytes(16), "kelvane_shared");
  std::ofstream writer(file.path(), std::ios::binary | std::ios::in | std::ios::out);
  ASSERT_TRUE(writer.is_open());
  const auto fd = FileDescriptor::open_read_only(file.path());
  ASSERT_TRUE(fd.has_value()) << fd.error();
  Bytes buffer(16);
  EXPECT_TRUE(fd->read_exact_at_compat(buffer, 0).has_value());
}

TEST(DatDatabase, OpensAnArchiveWhosePathIsNotAscii) {
  test_support::ArchiveBuilder builder;
  const TempFile file(builder.finish(),
                      "kelvane_\xC3\xA4rchiv_\xE6\xA1\xA3\xE6\xA1\x88_\xF0\x9F\x97\x84");
  EXPECT_NE(path_to_lossy_utf8(file.path()).find("\xC3\xA4rchiv_\xE6\xA1\xA3"), std::string::npos);
  const auto database = DatDatabase::open(file.path());
  ASSERT_TRUE(database.has_value()) << database.error();
}

}  // namespace
}  // namespace kelvane_dat
