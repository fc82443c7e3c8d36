#include "detail/mapped_file.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/temp_file.hpp"

namespace kelvane_dat {
namespace {

using test_support::TempFile;
using Bytes = std::vector<std::uint8_t>;

MappedFile map_whole(const TempFile& file) {
  const auto descriptor = FileDescriptor::open_read_only(file.path());
  EXPECT_TRUE(descriptor.has_value());
  auto mapped = MappedFile::map_read_only(*descriptor, descriptor->size().value());
  EXPECT_TRUE(mapped.has_value()) << mapped.error();
  // The descriptor closes here; the mapping must not depend on it.
  return std::move(*mapped);
}

TEST(MappedFile, ShowsTheFilesBytesAfterItsDescriptorCloses) {
  Bytes content(70000);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 13);
  const TempFile file(content, "kelvane_mapped");
  MappedFile mapped = map_whole(file);
  EXPECT_EQ(Bytes(mapped.bytes().begin(), mapped.bytes().end()), content);

  // A move hands the mapping over and leaves nothing behind to unmap twice.
  MappedFile moved = std::move(mapped);
  EXPECT_TRUE(mapped.bytes().empty());
  EXPECT_EQ(moved.bytes().size(), content.size());
  EXPECT_EQ(moved.bytes().back(), content.back());
}

TEST(MappedFile, AnEmptyFileMapsToNoBytes) {
  const TempFile file(Bytes{}, "kelvane_mapped_empty");
  EXPECT_TRUE(map_whole(file).bytes().empty());
}

}  // namespace
}  // namespace kelvane_dat
