// verify through the real executable: a sound archive, one fault of each kind, and the same
// report whatever the number of threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/archive_builder.hpp"
#include "support/temp_file.hpp"
#include "support/tree_layout.hpp"
#include "tool_fixture.hpp"

namespace kelvane_dat::cli::testing {
namespace {

std::string joined_lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(ToolVerify, SoundArchivePassesWithASummary) {
  const KnownArchive& archive = KnownArchive::get();
  std::size_t bytes = 0;
  for (const auto& [id, content] : archive.contents) bytes += content.size();
  const e2e::ProcessResult run = run_tool({"verify", archive.path()});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, "checked 6 files (" + std::to_string(bytes) +
                         " bytes) and 2 string tables (5 entries): no failures\n");
  EXPECT_EQ(run.err, "");
}

TEST(ToolVerify, ReportsEveryFaultInIdOrderAtAnyJobCount) {
  const DamagedArchive& archive = DamagedArchive::get();
  for (const char* jobs : {"1", "2", "3", "64"}) {
    SCOPED_TRACE(jobs);
    const e2e::ProcessResult run = run_tool({"verify", "--jobs", jobs, archive.path()});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err, joined_lines(archive.expected_errors));
    EXPECT_TRUE(run.out.starts_with("checked " + std::to_string(archive.file_count) + " files ("))
        << run.out;
    EXPECT_TRUE(run.out.ends_with(" and 4 string tables (1 entry): 6 failures\n")) << run.out;
  }
}

// Many small files, every seventh stored with a chain that starts past the end of the archive,
// at offsets falling as ids rise: verify reads in storage order but reports in id order.
class ManyFiles {
 public:
  ManyFiles() {
    test_support::ArchiveBuilder builder(256);
    builder.header.dataset = 3;
    std::vector<DatFileEntry> entries;
    for (std::uint32_t i = 0; i < 600; ++i) {
      const std::uint32_t id = 0x06000000 + i;
      if (i % 7 == 3) {
        entries.push_back(DatFileEntry{0, id, 0x7FFFFF00 - i, 10, 0, 0});
        failures_.push_back("kelvane-dat: read " + hex_id(id) +
                            ": IO error: failed to fill whole buffer");
        continue;
      }
      test_support::StoreOptions options;
      options.compressed = i % 2 == 0;
      entries.push_back(builder.store_file(id, std::vector<std::uint8_t>(300 + i, 0x5A), options));
    }
    builder.header.root_offset = test_support::store_tree(builder, entries);
    file_.emplace(builder.finish(), "kelvane_tool_many");
  }

  std::string path() const { return file_->path().string(); }
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  static std::string hex_id(std::uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", id);
    return text;
  }

  std::optional<test_support::TempFile> file_;
  std::vector<std::string> failures_;
};

TEST(ToolVerify, ThreadsShareOneHandleAndAgree) {
  const ManyFiles archive;
  const e2e::ProcessResult single = run_tool({"verify", archive.path()});
  EXPECT_EQ(single.exit_status, 1);
  EXPECT_EQ(single.err, joined_lines(archive.failures()));
  for (const char* jobs : {"-j2", "-j8"}) {
    SCOPED_TRACE(jobs);
    const e2e::ProcessResult run = run_tool({"verify", jobs, archive.path()});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, single.out);
    EXPECT_EQ(run.err, single.err);
  }
}

// Two entries over one chain and a chain that loops back onto itself: each overlap is a failure,
// and neither chain that ran into claimed bytes is read. Were the sharer read, its compressed flag
// would make it fail to expand.
TEST(ToolVerify, OverlapsFailAndNoChainIsReadTwice) {
  test_support::ArchiveBuilder builder(1024);
  const DatFileEntry first = builder.store_file(0x06000001, Bytes(3000, 0x41));
  DatFileEntry sharer = first;
  sharer.id = 0x06000002;
  sharer.bit_flags = DatFileEntry::kCompressedFlag;
  const auto loop = builder.new_blocks(1);
  // 2000 bytes: 1020 from the block, then the last 980 (and its pointer) from it again.
  builder.write_chain(Bytes(1020, 0x42), loop, loop[0]);
  test_support::DirectoryNode root;
  root.entries = {first, sharer, DatFileEntry{0, 0x06000003, loop[0], 2000, 0, 0}};
  builder.header.root_offset = builder.store_node(root);
  const test_support::TempFile file(builder.finish(), "kelvane_tool_overlaps");

  const e2e::ProcessResult run = run_tool({"verify", file.path().string()});
  EXPECT_EQ(run.exit_status, 1);
  char lines[256];
  std::snprintf(lines, sizeof lines,
                "kelvane-dat: layout: file 0x06000002 and file 0x06000001 both claim 1024 bytes at "
                "0x%08X\n"
                "kelvane-dat: layout: file 0x06000003 claims 984 bytes at 0x%08X twice\n",
                first.offset, loop[0]);
  EXPECT_EQ(run.err, lines);
  EXPECT_EQ(run.out, "checked 1 file (3000 bytes) and 0 string tables (0 entries): 2 failures\n");
}

TEST(ToolVerify, QuickWorkDrawsNoProgressOnATerminal) {
  if (!e2e::terminals_supported())
    GTEST_SKIP() << "run_process cannot give the tool a terminal here";
  const e2e::ProcessResult run = run_tool({"verify", KnownArchive::get().path()},
                                          e2e::TerminalStreams{.out = false, .err = true});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.terminal, "");
}

}  // namespace
}  // namespace kelvane_dat::cli::testing
