// strings through the real executable: text, JSON Lines read back, and failures.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool_fixture.hpp"

namespace kelvane_dat::cli::testing {
namespace {

constexpr const char* kKnownText =
    "0x23000001  language 1  3 entries\n"
    "  0x00000003  \"Caf\xC3\xA9 \xF0\x9F\x98\x80\"\n"
    "  0x00000007  \"Say \\\"hi\\\" \\\\ bye\" \"Line\\nbreak\\ttab\\u0001\"  data_id=0x31000005  "
    "variables=[1,4294967295]  var_name_table_worth_packing\n"
    "  0x00000010\n"
    "0x2300000A  language 1  2 entries\n"
    "  0x014152D5  \"Left Alt\"\n"
    "  0x04CD833C  \"Left Ctrl\"\n";

TEST(ToolStrings, PrintsEveryTableAsText) {
  const e2e::ProcessResult run = run_tool({"strings", KnownArchive::get().path()});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, kKnownText);
  EXPECT_EQ(run.err, "");
}

TEST(ToolStrings, PrintsOneTableById) {
  const e2e::ProcessResult run = run_tool({"strings", KnownArchive::get().path(), "0x2300000A"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out,
            "0x2300000A  language 1  2 entries\n"
            "  0x014152D5  \"Left Alt\"\n"
            "  0x04CD833C  \"Left Ctrl\"\n");
}

TEST(ToolStrings, JsonLinesReadBackToTheTables) {
  const KnownArchive& archive = KnownArchive::get();
  const e2e::ProcessResult run = run_tool({"strings", "--json", archive.path()});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  std::vector<nlohmann::json> expected;
  for (const KnownTable& table : archive.tables) {
    for (const KnownEntry& entry : table.entries) {
      expected.push_back({{"table", hex_id(table.id)},
                          {"language", table.language},
                          {"key", hex_id(entry.key)},
                          {"data_id", hex_id(entry.data_id)},
                          {"strings", entry.texts},
                          {"variables", entry.variables},
                          {"var_name_table_worth_packing", entry.worth_packing}});
    }
  }
  EXPECT_EQ(json_lines(run.out), expected);
}

TEST(ToolStrings, OneBadTableFailsTheRunButNotTheOthers) {
  const e2e::ProcessResult run = run_tool({"strings", DamagedArchive::get().path()});
  EXPECT_EQ(run.exit_status, 1);
  // A table with bytes after its record was misread, and is not shown.
  const DamagedArchive& archive = DamagedArchive::get();
  EXPECT_EQ(run.err,
            archive.truncated_table_error() + "\n" + archive.trailing_bytes_error() + "\n");
  // The tables after them are printed; strings checks nothing beyond decoding.
  EXPECT_TRUE(run.out.starts_with("0x23000002  language 1  1 entry\n")) << run.out;
  EXPECT_EQ(run.out.find("0x23000004"), std::string::npos);
  EXPECT_NE(run.out.find("\n0x23000005  language 1  1 entry\n"), std::string::npos);
}

TEST(ToolStrings, RefusesIdsThatAreNoStringTable) {
  struct Case {
    const char* id;
    const char* err;
  };
  const Case cases[] = {
      {"0x06000001", "kelvane-dat: strings 0x06000001: not a string table but Texture\n"},
      {"0x23000099", "kelvane-dat: 0x23000099: no such file in the archive\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const e2e::ProcessResult run = run_tool({"strings", KnownArchive::get().path(), c.id});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
  }
}

}  // namespace
}  // namespace kelvane_dat::cli::testing
