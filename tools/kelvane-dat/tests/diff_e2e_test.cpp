// diff through the real executable: files and string entries added, removed and changed, as text
// and as JSON Lines, the quick comparison, and diff's exit statuses.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "support/archive_builder.hpp"
#include "support/temp_file.hpp"
#include "support/tree_layout.hpp"
#include "tool_fixture.hpp"

namespace kelvane_dat::cli::testing {
namespace {

struct StoredFile {
  std::uint32_t id;
  Bytes bytes;
  bool compressed;
};

Bytes table(const std::vector<std::pair<std::uint32_t, std::string>>& entries) {
  StoredStringTable data;
  data.id = 0x23000001;
  for (const auto& [key, text] : entries) {
    StoredStringTableEntry entry;
    entry.key = key;
    entry.texts = {utf8_to_utf16(text).value()};
    data.entries.push_back(std::move(entry));
  }
  return data.encode().value();
}

test_support::TempFile archive_of(const std::vector<StoredFile>& files) {
  test_support::ArchiveBuilder builder(256);
  builder.header.dataset = 3;
  std::vector<DatFileEntry> entries;
  for (const StoredFile& file : files) {
    test_support::StoreOptions options;
    options.compressed = file.compressed;
    entries.push_back(builder.store_file(file.id, file.bytes, options));
  }
  builder.header.root_offset = test_support::store_tree(builder, entries);
  return test_support::TempFile(builder.finish(), "kelvane_diff");
}

// Old and new versions: 0x06000001 rewritten at the same size, 0x06000002 removed, 0x06000004
// added, 0x0A000003 the same content stored compressed instead of plain, and the string table
// with one entry of each change.
class Versions {
 public:
  Versions()
      : old_table_(table({{1, "One"}, {2, "Two"}, {3, "Three"}})),
        new_table_(table({{1, "One"}, {2, "Deux"}, {4, "Four"}})),
        old_(archive_of({{0x06000001, Bytes(100, 1), false},
                         {0x06000002, Bytes(50, 2), false},
                         {0x0A000003, Bytes(300, 3), false},
                         {0x23000001, old_table_, true}})),
        new_(archive_of({{0x06000001, Bytes(100, 9), false},
                         {0x06000004, Bytes(70, 4), true},
                         {0x0A000003, Bytes(300, 3), true},
                         {0x23000001, new_table_, false}})) {}

  std::string old_path() const { return old_.path().string(); }
  std::string new_path() const { return new_.path().string(); }
  std::string table_sizes() const {
    return std::to_string(old_table_.size()) + " -> " + std::to_string(new_table_.size());
  }
  std::size_t old_table_size() const { return old_table_.size(); }
  std::size_t new_table_size() const { return new_table_.size(); }
  // The size the new archive's directory holds for `id`.
  std::uint32_t stored_size(std::uint32_t id) const {
    return DatDatabase::open(new_.path()).value().find(id)->size;
  }

 private:
  Bytes old_table_;
  Bytes new_table_;
  test_support::TempFile old_;
  test_support::TempFile new_;
};

TEST(ToolDiff, ListsChangedFilesAndEntriesThenCountsPerType) {
  const Versions versions;
  const e2e::ProcessResult run = run_tool({"diff", versions.old_path(), versions.new_path()});
  EXPECT_EQ(run.exit_status, 1) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "changed  0x06000001  Texture  100 -> 100 bytes\n"
            "removed  0x06000002  Texture  50 bytes\n"
            "added    0x06000004  Texture  70 bytes\n"
            "changed  0x23000001  StringTable  " +
                versions.table_sizes() +
                " bytes\n"
                "  changed  0x00000002  [\"Two\"] -> [\"Deux\"]\n"
                "  removed  0x00000003  [\"Three\"]\n"
                "  added    0x00000004  [\"Four\"]\n"
                "\n"
                "Type         Added  Removed  Changed\n"
                "Texture          1        1        1\n"
                "StringTable      0        0        1\n"
                "Total            1        1        2\n");
}

// Whole records, nulls included, so a size on the wrong side shows.
TEST(ToolDiff, JsonLinesAndTypeFilter) {
  const Versions versions;
  const e2e::ProcessResult run = run_tool(
      {"diff", "--json", "--type", "StringTable", versions.old_path(), versions.new_path()});
  EXPECT_EQ(run.exit_status, 1) << run.err;
  const std::vector<nlohmann::json> expected = {
      {{"id", "0x23000001"},
       {"type", "StringTable"},
       {"change", "changed"},
       {"old_size", versions.old_table_size()},
       {"new_size", versions.new_table_size()}},
      {{"table", "0x23000001"},
       {"key", "0x00000002"},
       {"change", "changed"},
       {"old", {"Two"}},
       {"new", {"Deux"}}},
      {{"table", "0x23000001"},
       {"key", "0x00000003"},
       {"change", "removed"},
       {"old", {"Three"}},
       {"new", nullptr}},
      {{"table", "0x23000001"},
       {"key", "0x00000004"},
       {"change", "added"},
       {"old", nullptr},
       {"new", {"Four"}}},
  };
  EXPECT_EQ(json_lines(run.out), expected);
}

// The quick comparison sees the compression change of 0x0A000003 that content ignores, and misses
// 0x06000001, rewritten with the same metadata; sizes are the stored ones.
TEST(ToolDiff, QuickComparesDirectoryEntriesOnly) {
  const Versions versions;
  const e2e::ProcessResult run =
      run_tool({"diff", "--quick", "--json", versions.old_path(), versions.new_path()});
  EXPECT_EQ(run.exit_status, 1) << run.err;
  const std::vector<nlohmann::json> lines = json_lines(run.out);
  std::vector<std::string> ids;
  for (const nlohmann::json& line : lines) ids.push_back(line.at("id"));
  EXPECT_EQ(ids,
            (std::vector<std::string>{"0x06000002", "0x06000004", "0x0A000003", "0x23000001"}));
  const nlohmann::json audio = {{"id", "0x0A000003"},
                                {"type", "Audio"},
                                {"change", "changed"},
                                {"old_size", 300},
                                {"new_size", versions.stored_size(0x0A000003)}};
  EXPECT_EQ(lines.at(2), audio);
}

// A file whose entry changed only its version is a change to the quick comparison, and none to
// the comparison of contents.
TEST(ToolDiff, QuickSeesAVersionChangeAlone) {
  const auto with_version = [](std::uint32_t version) {
    test_support::ArchiveBuilder builder(256);
    test_support::StoreOptions options;
    options.version = version;
    const std::vector<DatFileEntry> entries = {
        builder.store_file(0x06000001, Bytes(10, 1), options)};
    builder.header.root_offset = test_support::store_tree(builder, entries);
    return test_support::TempFile(builder.finish(), "kelvane_diff");
  };
  const test_support::TempFile old_file = with_version(1);
  const test_support::TempFile new_file = with_version(2);
  const std::string old_path = old_file.path().string();
  const std::string new_path = new_file.path().string();
  const e2e::ProcessResult quick = run_tool({"diff", "--quick", "--json", old_path, new_path});
  EXPECT_EQ(quick.exit_status, 1) << quick.err;
  EXPECT_EQ(quick.out,
            "{\"id\":\"0x06000001\",\"type\":\"Texture\",\"change\":\"changed\","
            "\"old_size\":10,\"new_size\":10}\n");
  const e2e::ProcessResult full = run_tool({"diff", old_path, new_path});
  EXPECT_EQ(full.exit_status, 0) << full.err;
  EXPECT_EQ(full.out, "");
}

// Files that share a chain on one side are compared once per pair of chains, so each keeps its own
// verdict: here they share one in the old archive and not in the new.
TEST(ToolDiff, FilesSharingAChainInOneArchiveAreComparedEach) {
  test_support::ArchiveBuilder builder(256);
  builder.header.dataset = 3;
  const DatFileEntry first = builder.store_file(0x06000001, Bytes(100, 1));
  DatFileEntry sharer = first;
  sharer.id = 0x06000002;
  const std::vector<DatFileEntry> entries = {first, sharer};
  builder.header.root_offset = test_support::store_tree(builder, entries);
  const test_support::TempFile shared(builder.finish(), "kelvane_diff");
  const test_support::TempFile apart =
      archive_of({{0x06000001, Bytes(100, 1), false}, {0x06000002, Bytes(100, 2), false}});

  const e2e::ProcessResult run = run_tool(
      {"diff", "--allow-overlap", "--json", shared.path().string(), apart.path().string()});
  EXPECT_EQ(run.exit_status, 1) << run.err;
  EXPECT_EQ(run.out,
            "{\"id\":\"0x06000002\",\"type\":\"Texture\",\"change\":\"changed\","
            "\"old_size\":100,\"new_size\":100}\n");
}

TEST(ToolDiff, ExitStatusIsZeroForTheSameTwoForTrouble) {
  const std::string known = KnownArchive::get().path();
  for (const char* quick : {"--json", "--quick"}) {
    const e2e::ProcessResult same = run_tool({"diff", quick, known, known});
    EXPECT_EQ(same.exit_status, 0) << same.err;
    EXPECT_EQ(same.out, "");
  }
  const e2e::ProcessResult missing = run_tool({"diff", known, "/nonexistent/archive.dat"});
  EXPECT_EQ(missing.exit_status, 2);
  EXPECT_EQ(missing.err,
            "kelvane-dat: open /nonexistent/archive.dat: " + missing_archive_error() + "\n");
  const std::string damaged = DamagedArchive::get().path();
  const e2e::ProcessResult unreadable = run_tool({"diff", known, damaged});
  EXPECT_EQ(unreadable.exit_status, 2);
  EXPECT_EQ(unreadable.err.find("kelvane-dat: read 0x06000001 in " + damaged +
                                ": IO error: failed to fill whole buffer\n"),
            0u)
      << unreadable.err;
}

}  // namespace
}  // namespace kelvane_dat::cli::testing
