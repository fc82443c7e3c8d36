#include "chain_groups.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

namespace kelvane_dat::cli {
namespace {

// Only what the fetch reads may join two files: the first block, the size and the compressed flag;
// not the id, the timestamp, the version or a flag bit nothing interprets.
TEST(ChainKey, GroupsFilesWhoseFetchesYieldTheSameBytes) {
  const std::map<std::uint32_t, DatFileEntry> entries = {
      {1, {.bit_flags = 0, .id = 1, .offset = 0x400, .size = 100}},
      {2, {.bit_flags = 0, .id = 2, .offset = 0x400, .size = 100, .timestamp = 7, .version = 3}},
      {3, {.bit_flags = 0, .id = 3, .offset = 0x400, .size = 50}},
      {4, {.bit_flags = DatFileEntry::kCompressedFlag, .id = 4, .offset = 0x400, .size = 100}},
      {5, {.bit_flags = 0, .id = 5, .offset = 0x800, .size = 100}},
      {6, {.bit_flags = 0x2, .id = 6, .offset = 0x400, .size = 100}},
  };
  const std::vector<std::uint32_t> ids = {3, 1, 5, 2, 4, 6};
  const std::vector<std::vector<std::uint32_t>> groups =
      group_ids(ids, [&](std::uint32_t id) { return ChainKey::of(entries.at(id)); });
  EXPECT_EQ(groups, (std::vector<std::vector<std::uint32_t>>{{3}, {1, 2, 6}, {5}, {4}}));
}

}  // namespace
}  // namespace kelvane_dat::cli
