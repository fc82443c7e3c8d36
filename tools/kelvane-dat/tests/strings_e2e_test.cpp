// strings through the real executable: text, JSON Lines read back, and failures.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "json_value.hpp"
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

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string hex_id(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", id);
  return text;
}

// Compares one parsed JSON line with the entry it should describe.
void expect_entry(const JsonValue& line, std::uint32_t table, const KnownEntry& entry) {
  const JsonObject* object = line.object();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->size(), 5u);
  ASSERT_TRUE(object->contains("table") && object->contains("key") && object->contains("data_id") &&
              object->contains("strings") && object->contains("variables"));
  EXPECT_EQ(*object->at("table").string(), hex_id(table));
  EXPECT_EQ(*object->at("key").string(), hex_id(entry.key));
  EXPECT_EQ(*object->at("data_id").string(), hex_id(entry.data_id));
  std::vector<std::string> strings;
  for (const JsonValue& text : *object->at("strings").array()) strings.push_back(*text.string());
  EXPECT_EQ(strings, entry.texts);
  std::vector<double> variables;
  for (const JsonValue& value : *object->at("variables").array()) {
    variables.push_back(*value.number());
  }
  EXPECT_EQ(variables, std::vector<double>(entry.variables.begin(), entry.variables.end()));
}

TEST(ToolStrings, JsonLinesReadBackToTheTables) {
  const KnownArchive& archive = KnownArchive::get();
  const e2e::ProcessResult run = run_tool({"strings", "--json", archive.path()});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const std::vector<std::string> lines = lines_of(run.out);
  std::size_t at = 0;
  for (const KnownTable& table : archive.tables) {
    for (const KnownEntry& entry : table.entries) {
      SCOPED_TRACE(hex_id(table.id) + " " + hex_id(entry.key));
      ASSERT_LT(at, lines.size());
      const std::optional<JsonValue> parsed = parse_json(lines[at++]);
      ASSERT_TRUE(parsed.has_value()) << lines[at - 1];
      expect_entry(*parsed, table.id, entry);
    }
  }
  EXPECT_EQ(at, lines.size());
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
      {"0x23000099", "kelvane-dat: read 0x23000099: File ID 23000099 not found in provider\n"},
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
