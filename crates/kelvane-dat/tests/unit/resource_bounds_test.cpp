// Hostile archives against a bounded address space: each case runs in a child process limited to
// 512 MiB, where a count- or size-driven allocation of gigabytes fails (std::bad_alloc, so the
// child dies) instead of merely being slow. Every case must end with an error, or for a
// compressed payload with a short output, and must do so long before the child's alarm.
//
// AddressSanitizer and ThreadSanitizer reserve terabytes of shadow memory at start-up, so an
// address-space limit cannot work under them; their builds skip these tests.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "detail/debug_format.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "support/archive_builder.hpp"
#include "support/temp_file.hpp"

namespace kelvane_dat {
namespace {

using test_support::ArchiveBuilder;
using test_support::DirectoryNode;
using test_support::NodeSlot;
using test_support::TempFile;
using Bytes = std::vector<std::uint8_t>;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizerReservesAddressSpace = true;
#elif defined(__has_feature)
constexpr bool kSanitizerReservesAddressSpace =
    __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitizerReservesAddressSpace = false;
#endif

constexpr rlim_t kAddressSpace = rlim_t{512} << 20;
// A hang guard only: every case takes milliseconds.
constexpr unsigned kAlarmSeconds = 60;

// What a case checks; an empty text means the expectation held.
using Check = std::function<std::string()>;

// Runs `check` in a child process with the address space capped at 512 MiB.
testing::AssertionResult holds_in_bounded_child(const Check& check) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return testing::AssertionFailure() << "fork failed";
  if (child == 0) {
    const rlimit limit{kAddressSpace, kAddressSpace};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
    alarm(kAlarmSeconds);
    std::string broken;
    // Nothing may escape into the test framework's copy in this process.
    try {
      broken = check();
    } catch (const std::exception& error) {
      broken = std::string("threw ") + error.what();
    } catch (...) {
      broken = "threw";
    }
    if (!broken.empty()) std::fprintf(stderr, "%s\n", broken.c_str());
    std::fflush(stderr);
    _exit(broken.empty() ? 0 : 1);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return testing::AssertionFailure() << "waitpid failed";
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return testing::AssertionSuccess();
  if (WIFSIGNALED(status)) {
    return testing::AssertionFailure()
           << "the child was killed by signal " << WTERMSIG(status)
           << (WTERMSIG(status) == SIGALRM ? " (it ran past its alarm)" : "");
  }
  return testing::AssertionFailure() << "the child exited with " << WEXITSTATUS(status);
}

std::string expect_text(const std::string& actual, const std::string& expected) {
  if (actual == expected) return "";
  return "expected \"" + expected + "\", got \"" + actual + "\"";
}

std::string expect_fetch_error(const TempFile& file, std::uint32_t id,
                               const std::string& expected) {
  const auto database = DatDatabase::open(file.path());
  if (!database) return "the open failed: " + database.error().to_string();
  const auto fetched = database->get_file(id);
  if (fetched) return "the fetch succeeded with " + std::to_string(fetched->size()) + " bytes";
  return expect_text(fetched.error().to_string(), expected);
}

std::string expect_open_error(const TempFile& file, const std::string& expected) {
  const auto database = DatDatabase::open(file.path());
  if (database) return "the open succeeded";
  return expect_text(database.error().to_string(), expected);
}

std::string expect_table_error(const Bytes& bytes) {
  ByteCursor reader(bytes);
  const auto table = StringTable::read_le(reader);
  if (table) return "the table decoded";
  return expect_text(table.error().to_string(), "failed to fill whole buffer");
}

struct BoundCase {
  const char* name;
  // Builds the hostile input in the parent; the returned check runs in the bounded child.
  std::function<Check()> prepare;
};

void PrintTo(const BoundCase& c, std::ostream* out) { *out << c.name; }

class ResourceBounds : public testing::TestWithParam<BoundCase> {};

TEST_P(ResourceBounds, HostileInputEndsWithinTheAddressSpace) {
  if (kSanitizerReservesAddressSpace) GTEST_SKIP() << "an address-space limit breaks sanitizers";
  EXPECT_TRUE(holds_in_bounded_child(GetParam().prepare()));
}

// An archive whose root is a leaf holding `entries`, written to a temporary file.
std::shared_ptr<TempFile> archive_with(ArchiveBuilder& builder,
                                       const std::vector<DatFileEntry>& entries) {
  DirectoryNode root;
  root.entries = entries;
  builder.header.root_offset = builder.store_node(root);
  return std::make_shared<TempFile>(builder.finish(), "kelvane_bounds");
}

// `levels` nodes above a leaf, each with all 62 branches on the node below: 62^levels paths.
std::uint32_t store_shared_levels(ArchiveBuilder& builder, int levels) {
  std::uint32_t below = builder.store_node(DirectoryNode{});
  for (int level = 0; level < levels; ++level) {
    DirectoryNode node;
    for (std::uint32_t i = 0; i < DatDatabase::kMaxEntries; ++i) {
      node.entries.push_back(DatFileEntry{0, i, 0, 0, 0, 0});
    }
    node.branches.fill(below);
    below = builder.store_node(node);
  }
  return below;
}

Check open_fails_with_budget_error(std::uint32_t block_size) {
  ArchiveBuilder builder(block_size);
  builder.header.root_offset = store_shared_levels(builder, 20);
  auto file = std::make_shared<TempFile>(builder.finish(), "kelvane_bounds");
  return [file] {
    const auto database = DatDatabase::open(file->path());
    if (database) return std::string("the open succeeded");
    const std::string text = database.error().to_string();
    if (text.find("would exceed the walk's budget") == std::string::npos) return text;
    return std::string();
  };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResourceBounds,
    testing::ValuesIn(std::vector<BoundCase>{
        {"EntryOf0xFFFFFFF0BytesOverALoopingBlock",
         [] {
           ArchiveBuilder builder(256);
           const std::uint32_t block = builder.new_blocks(1).front();
           builder.write_u32(block, block);
           auto file = archive_with(builder, {DatFileEntry{0, 7, block, 0xFFFFFFF0, 0, 0}});
           const std::string expected = "Corruption detected: block chain at offset " +
                                        hex0x8(block) +
                                        " (block size 256) would gather 4294967280 bytes from a "
                                        "file of " +
                                        std::to_string(builder.size()) + " bytes";
           return Check([file, expected] { return expect_fetch_error(*file, 7, expected); });
         }},
        {"EntryOf0xFFFFFFF0BytesRunningOffTheEnd",
         [] {
           ArchiveBuilder builder(256);
           const std::uint32_t block = builder.new_blocks(1).front();
           auto file = archive_with(builder, {DatFileEntry{0, 7, block, 0xFFFFFFF0, 0, 0}});
           return Check([file] {
             return expect_fetch_error(*file, 7, "IO error: failed to fill whole buffer");
           });
         }},
        {"CompressedPayloadDeclaring4GiB",
         [] {
           ArchiveBuilder builder(256);
           // A literal, then one reference of 17: 18 bytes, whatever the declared size.
           const Bytes payload = {0xFF, 0xFF, 0xFF, 0xFF, 0x40, 'a', 0x01, 0x0F};
           auto file =
               archive_with(builder, {DatFileEntry{1, 9, builder.store_chain(payload), 8, 0, 0}});
           return Check([file] {
             const auto database = DatDatabase::open(file->path());
             if (!database) return "the open failed: " + database.error().to_string();
             const auto fetched = database->get_file(9);
             if (!fetched) return "the fetch failed: " + fetched.error().to_string();
             return *fetched == Bytes(18, 'a') ? std::string()
                                               : "expanded to " + std::to_string(fetched->size());
           });
         }},
        {"StringTableClaiming0xFFFFFFFFStrings",
         [] {
           // id, language, bucket index, one entry: key, data_id, num_strings 0xFFFFFFFF.
           const Bytes bytes = {0x0A, 0,    0, 0x23, 1, 0, 0,    0,    0,    1,    0xD5, 0x52,
                                0x41, 0x01, 0, 0,    0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0};
           return Check([bytes] { return expect_table_error(bytes); });
         }},
        {"StringTableClaimingTheLargestEntryCount",
         [] {
           const Bytes bytes = {0x0A, 0, 0, 0x23, 1, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0};
           return Check([bytes] { return expect_table_error(bytes); });
         }},
        {"StringTableClaiming0xFFFFFFFFVariables",
         [] {
           const Bytes bytes = {0x0A, 0, 0, 0x23, 1, 0, 0, 0, 0, 1,    0xD5, 0x52, 0x41,
                                0x01, 0, 0, 0,    0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
           return Check([bytes] { return expect_table_error(bytes); });
         }},
        {"StringTableTextOfTheLargestLength",
         [] {
           const Bytes bytes = {0x0A, 0, 0, 0x23, 1, 0, 0, 0, 0, 1,    0xD5, 0x52, 0x41,
                                0x01, 0, 0, 0,    0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
           return Check([bytes] { return expect_table_error(bytes); });
         }},
        {"DirectoryOf62WaySelfReferences",
         [] {
           ArchiveBuilder builder(256);
           const NodeSlot root = builder.reserve_node();
           DirectoryNode node;
           for (std::uint32_t i = 0; i < DatDatabase::kMaxEntries; ++i) {
             node.entries.push_back(DatFileEntry{0, i, 0, 0, 0, 0});
           }
           node.branches.fill(root.offset());
           builder.fill_node(root, node);
           builder.header.root_offset = root.offset();
           auto file = std::make_shared<TempFile>(builder.finish(), "kelvane_bounds");
           return Check([file] {
             return expect_open_error(*file,
                                      "Corruption detected: directory node at offset 0x00000200 "
                                      "leads back to node 0x00000200 on its own path");
           });
         }},
        {"DirectoryOf62WaySharedLevels", [] { return open_fails_with_budget_error(256); }},
        {"DirectoryOf62WaySharedLevelsInTinyBlocks",
         [] { return open_fails_with_budget_error(8); }},
        {"DirectoryOf62WaySharedLevelsInFiveByteBlocks",
         [] { return open_fails_with_budget_error(5); }},
    }),
    [](const testing::TestParamInfo<BoundCase>& param) { return param.param.name; });

// The child must report a broken expectation and an allocation the limit refuses, or every case
// above would pass vacuously.
TEST(ResourceBoundsHarness, ReportsABrokenExpectationAndAnAllocationBeyondTheLimit) {
  if (kSanitizerReservesAddressSpace) GTEST_SKIP() << "an address-space limit breaks sanitizers";
  EXPECT_FALSE(holds_in_bounded_child([] { return std::string("broken"); }));
  EXPECT_FALSE(holds_in_bounded_child([] {
    std::vector<std::uint8_t> huge(std::size_t{1} << 30, 1);
    return huge.back() == 1 ? std::string() : std::string("unreachable");
  }));
}

}  // namespace
}  // namespace kelvane_dat
