// One open handle serving several threads at once, failures included. Built for ThreadSanitizer
// (the tsan preset): any state a fetch shared without synchronisation would be reported there.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
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

// A fetch's outcome in comparable form: the bytes, or the error's display text.
struct Outcome {
  bool ok = false;
  Bytes bytes;
  std::string error;
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

Outcome fetch(const DatDatabase& database, std::uint32_t id) {
  const auto result = database.get_file(id);
  if (!result) return {false, {}, result.error().to_string()};
  return {true, *result, {}};
}

Bytes pattern(std::size_t size, std::uint8_t seed) {
  Bytes out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 5);
  return out;
}

TEST(DatDatabaseConcurrency, SharedHandleGivesEveryThreadTheSerialOutcomes) {
  ArchiveBuilder builder(128);
  DirectoryNode root;
  for (std::uint32_t i = 0; i < 40; ++i) {
    StoreOptions options;
    options.compressed = i % 2 == 0;
    options.layout = {static_cast<ChainOrder>(i % 3), i, 0};
    root.entries.push_back(
        builder.store_file(0x100 + i, pattern(50 + 97 * i, static_cast<std::uint8_t>(i)), options));
  }
  // Failing fetches: a chain off the end of the file, and a size beyond the file over a block
  // that points to itself.
  const std::uint32_t looping = builder.new_blocks(1).front();
  builder.write_u32(looping, looping);
  root.entries.push_back(DatFileEntry{0, 0x200, 0x7FFF0000, 10, 0, 0});
  root.entries.push_back(DatFileEntry{0, 0x201, looping, 0xFFFFFFF0, 0, 0});
  builder.header.root_offset = builder.store_node(root);
  const TempFile file(builder.finish(), "kelvane_concurrency");
  const auto opened = DatDatabase::open(file.path());
  ASSERT_TRUE(opened.has_value()) << opened.error();
  const DatDatabase& database = *opened;

  std::vector<std::uint32_t> ids;
  for (const auto& [id, entry] : database.files()) ids.push_back(id);
  ids.push_back(0x999);  // not in the directory
  std::map<std::uint32_t, Outcome> serial;
  for (const std::uint32_t id : ids) serial[id] = fetch(database, id);
  ASSERT_FALSE(serial[0x200].ok);
  ASSERT_FALSE(serial[0x201].ok);
  ASSERT_FALSE(serial[0x999].ok);

  std::atomic<std::size_t> mismatches = 0;
  {
    std::vector<std::jthread> readers;
    for (std::size_t thread = 0; thread < 4; ++thread) {
      readers.emplace_back([&, thread] {
        for (std::size_t round = 0; round < 3; ++round) {
          for (std::size_t i = 0; i < ids.size(); ++i) {
            // Each thread starts elsewhere, so different ids are in flight at once.
            const std::uint32_t id = ids[(i + thread * 11) % ids.size()];
            if (fetch(database, id) != serial.at(id)) ++mismatches;
          }
          if (database.dat_kind() != DatKind::Local) ++mismatches;
        }
      });
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

}  // namespace
}  // namespace kelvane_dat
