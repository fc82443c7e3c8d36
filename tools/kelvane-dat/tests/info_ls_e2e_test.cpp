// info and ls through the real executable, on the known archive.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "detail/dat_database_internals.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "tool_fixture.hpp"

namespace kelvane_dat::cli::testing {
namespace {

std::string printf_text(const char* format, auto... values) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

// The known archive's timestamps are 2020-07-04T04:05:20Z plus less than 256 seconds.
std::string known_time(std::uint32_t timestamp) {
  const std::uint32_t since_base = timestamp - 0x5F000000u + 5 * 60 + 20;
  return printf_text("2020-07-04T04:%02u:%02uZ", since_base / 60, since_base % 60);
}

TEST(ToolInfo, ShowsHeaderKindAndFilesPerType) {
  const KnownArchive& archive = KnownArchive::get();
  const DatHeader& h = archive.header;
  const auto stored = [&archive](std::uint32_t id) { return archive.entries.at(id).size; };
  const unsigned audio = stored(0x0A000002);
  const unsigned tables = stored(0x23000001) + stored(0x2300000A);
  // Each block gives its chain a 4-byte pointer and up to 1020 bytes; a node fills two blocks.
  std::uint64_t file_bytes = 0;
  for (const auto& [id, entry] : archive.entries) {
    file_bytes += entry.size + 4 * ((entry.size + 1019) / 1020);
  }
  const std::uint64_t nodes =
      detail::DatDatabaseInternals::directory_nodes(DatDatabase::open(archive.path()).value())
          .size();
  const std::uint64_t directory_bytes = nodes * (1716 + 2 * 4);
  const std::uint64_t unclaimed = h.file_size - 0x190 - file_bytes - directory_bytes;
  const std::string expected =
      "Archive:     " + archive.path() +
      "\n"
      "Kind:        Local\n"
      "Block size:  1024\n"
      "Files:       6\n"
      "\n"
      "Header:\n"
      "  magic           0x00005442\n"
      "  block_size      1024\n"
      "  file_size       " +
      std::to_string(h.file_size) +
      "\n"
      "  dataset         3\n"
      "  subset          17\n"
      "  free_head       0x00000400\n"
      "  free_tail       0x00000800\n"
      "  free_count      5\n" +
      printf_text("  root_offset     0x%08X\n", h.root_offset) +
      "  new_lru         0x00000001\n"
      "  old_lru         0x00000002\n"
      "  use_lru         0x00000003\n"
      "  master_map_id   0x12345678\n"
      "  engine_version  42\n"
      "  game_version    7\n"
      "  version_string  76 31 2E 32 00 00 00 00 00 00 00 00 00 00 00 FF\n"
      "  version_minor   9\n"
      "\n"
      "Layout:\n"
      "  file bytes       " +
      std::to_string(file_bytes) + "\n  directory bytes  " + std::to_string(directory_bytes) +
      "\n  unclaimed bytes  " + std::to_string(unclaimed) +
      "\n"
      "  overlaps         0\n"
      "\n"
      "Type         Files  Compressed  Stored bytes\n"
      "Texture          1           0          3000\n" +
      printf_text("Audio            1           1  %12u\n", audio) +
      "Unknown          1           0            10\n"
      "Table            1           0            11\n" +
      printf_text("StringTable      2           1  %12u\n", tables) +
      printf_text("Total            6           2  %12u\n", 3000 + audio + 10 + 11 + tables);
  const e2e::ProcessResult run = run_tool({"info", archive.path()});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, "");
}

struct LsCase {
  const char* label;
  std::vector<std::string> options;
  std::vector<std::uint32_t> ids;
  bool long_format = false;
};

// The lines ls should print for `ids`, columns as wide as their widest cell.
std::string ls_lines(const KnownArchive& archive, const std::vector<std::uint32_t>& ids,
                     bool long_format) {
  const auto type_name = [](std::uint32_t id) -> std::string {
    switch (id >> 24) {
      case 0x06:
        return "Texture";
      case 0x0A:
        return "Audio";
      case 0x0E:
        return "Table";
      case 0x23:
        return "StringTable";
      default:
        return "Unknown";
    }
  };
  std::size_t type_width = 0;
  std::size_t size_width = 0;
  for (const std::uint32_t id : ids) {
    type_width = std::max(type_width, type_name(id).size());
    size_width = std::max(size_width, std::to_string(archive.entries.at(id).size).size());
  }
  std::string text;
  for (const std::uint32_t id : ids) {
    const DatFileEntry& entry = archive.entries.at(id);
    const char* flag = entry.is_compressed() ? "compressed" : "stored";
    text += printf_text("0x%08X  %-*s  %*u  ", id, static_cast<int>(type_width),
                        type_name(id).c_str(), static_cast<int>(size_width), entry.size);
    if (long_format) {
      text += printf_text("%-10s  0x%08X  %s  %u\n", flag, entry.offset,
                          known_time(entry.timestamp).c_str(), entry.version);
    } else {
      text += std::string(flag) + "\n";
    }
  }
  return text;
}

TEST(ToolLs, JsonHasEveryColumnAndTheRawTimestamp) {
  const KnownArchive& archive = KnownArchive::get();
  const e2e::ProcessResult run = run_tool({"ls", "--json", "-t", "Audio", archive.path()});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const DatFileEntry& entry = archive.entries.at(0x0A000002);
  const std::vector<nlohmann::json> expected = {{{"id", "0x0A000002"},
                                                 {"type", "Audio"},
                                                 {"size", entry.size},
                                                 {"compressed", true},
                                                 {"offset", printf_text("0x%08X", entry.offset)},
                                                 {"timestamp", entry.timestamp},
                                                 {"time", known_time(entry.timestamp)},
                                                 {"version", 3}}};
  EXPECT_EQ(json_lines(run.out), expected);
}

TEST(ToolLs, ListsFilesSortedById) {
  const KnownArchive& archive = KnownArchive::get();
  const std::vector<std::uint32_t> all = {0x06000001, 0x0A000002, 0x0B000003,
                                          0x0E000004, 0x23000001, 0x2300000A};
  const LsCase cases[] = {
      {"plain", {}, all},
      {"long", {"--long"}, all, true},
      {"short long flag after the archive", {"-l"}, all, true},
      {"type, any case", {"--type", "stringtable"}, {0x23000001, 0x2300000A}},
      {"type and long", {"-l", "--type=Audio"}, {0x0A000002}, true},
      {"type with nothing of it", {"-t", "Font"}, {}},
      {"unknown prefix", {"--type", "Unknown"}, {0x0B000003}},
  };
  for (const LsCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> args = {"ls", archive.path()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const e2e::ProcessResult run = run_tool(args);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, ls_lines(archive, c.ids, c.long_format));
  }
}

TEST(ToolLs, UnknownTypeIsAUsageErrorNamingTheTypes) {
  const e2e::ProcessResult run = run_tool({"ls", KnownArchive::get().path(), "--type", "Bogus"});
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(
      run.err.starts_with("kelvane-dat: ls: unknown file type 'Bogus'; the types are "
                          "Model, SetupModel, Animation,"))
      << run.err;
  // Types no id classifies as are not offered.
  EXPECT_EQ(run.err.find("Custom"), std::string::npos);
  EXPECT_NE(run.err.find("StringTable, "), std::string::npos);
}

}  // namespace
}  // namespace kelvane_dat::cli::testing
