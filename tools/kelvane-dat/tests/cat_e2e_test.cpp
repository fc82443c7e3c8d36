// cat through the real executable: bytes out, errors, and the terminal guard.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tool_fixture.hpp"

namespace kelvane_dat::cli::testing {
namespace {

std::string as_text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(ToolCat, WritesEachFileExpanded) {
  const KnownArchive& archive = KnownArchive::get();
  for (const auto& [id, bytes] : archive.contents) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", id);
    SCOPED_TRACE(hex);
    const e2e::ProcessResult run = run_tool({"cat", archive.path(), hex});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, as_text(bytes));
    EXPECT_EQ(run.err, "");
  }
}

TEST(ToolCat, AcceptsDecimalAndLowerCaseIds) {
  const KnownArchive& archive = KnownArchive::get();
  const std::string expected = as_text(archive.contents.at(0x2300000A));
  for (const char* id : {"587202570", "0x2300000a", "0X2300000A", "0x02300000A"}) {
    SCOPED_TRACE(id);
    const e2e::ProcessResult run = run_tool({"cat", archive.path(), id});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, expected);
  }
}

TEST(ToolCat, ReportsFilesThatCannotBeRead) {
  struct Case {
    std::string path;
    std::string id;
    std::string err;
  };
  const Case cases[] = {
      {KnownArchive::get().path(), "0x12345678",
       "kelvane-dat: 0x12345678: no such file in the archive\n"},
      {DamagedArchive::get().path(), "0x06000001",
       "kelvane-dat: read 0x06000001: IO error: failed to fill whole buffer\n"},
      // Short data is no file: nothing is written.
      {DamagedArchive::get().path(), "0x0A000001",
       "kelvane-dat: read 0x0A000001: " + DamagedArchive::kShortExpansion + "\n"},
      {"/nonexistent/archive.dat", "1",
       "kelvane-dat: open /nonexistent/archive.dat: " + missing_archive_error() + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const e2e::ProcessResult run = run_tool({"cat", c.path, c.id});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
  }
}

TEST(ToolCat, RefusesBinaryOnATerminalUnlessForced) {
  if (!e2e::terminals_supported())
    GTEST_SKIP() << "run_process cannot give the tool a terminal here";
  const KnownArchive& archive = KnownArchive::get();
  const e2e::TerminalStreams on_terminal{.out = true, .err = false};

  const e2e::ProcessResult refused = run_tool({"cat", archive.path(), "0x06000001"}, on_terminal);
  EXPECT_EQ(refused.exit_status, 2);
  EXPECT_EQ(refused.terminal, "");
  EXPECT_EQ(refused.err,
            "kelvane-dat: cat 0x06000001: refusing to write binary data to a terminal; redirect "
            "the output or use --force\n");

  const e2e::ProcessResult forced =
      run_tool({"cat", "--force", archive.path(), "0x06000001"}, on_terminal);
  EXPECT_EQ(forced.exit_status, 0) << forced.err;
  EXPECT_EQ(forced.terminal, as_text(archive.contents.at(0x06000001)));

  // Text is what a terminal is for.
  const e2e::ProcessResult text = run_tool({"cat", archive.path(), "0x0E000004"}, on_terminal);
  EXPECT_EQ(text.exit_status, 0) << text.err;
  EXPECT_EQ(text.terminal, "plain text\n");
}

}  // namespace
}  // namespace kelvane_dat::cli::testing
