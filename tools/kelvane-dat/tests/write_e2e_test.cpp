// The writing commands through the real executable: extract --raw and create give back the same
// archive, put and rm change exactly what they name, compact keeps every file, and a second writer
// or a damaged archive is refused instead of made worse.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kelvane_dat/archive_transaction.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "support/archive_builder.hpp"
#include "support/archive_contents.hpp"
#include "support/temp_file.hpp"
#include "support/tree_layout.hpp"
#include "tool_fixture.hpp"

namespace kelvane_dat::cli::testing {
namespace {

namespace fs = std::filesystem;

// A fetch's bytes, nothing when it failed.
std::optional<Bytes> bytes_of(const Result<Bytes>& fetched) {
  if (!fetched) return std::nullopt;
  return *fetched;
}

// The header fields a writer sets itself, zeroed so that the others can be compared.
DatHeader fields_not_owned_by_the_writer(DatHeader header) {
  header.file_size = 0;
  header.free_head = 0;
  header.free_tail = 0;
  header.free_count = 0;
  header.root_offset = 0;
  return header;
}

// `copy` holds what `original` holds: the same ids, each with equal flags, size, timestamp,
// version and stored bytes, and the header fields the writer does not own.
void expect_same_archive(const fs::path& original, const fs::path& copy) {
  const Result<DatDatabase> a = DatDatabase::open(original);
  const Result<DatDatabase> b = DatDatabase::open(copy);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(fields_not_owned_by_the_writer(a->header()),
            fields_not_owned_by_the_writer(b->header()));
  ASSERT_EQ(a->ids(), b->ids());
  for (const std::uint32_t id : a->ids()) {
    SCOPED_TRACE(hex_id(id));
    const DatFileEntry& old_entry = *a->find(id);
    const DatFileEntry& new_entry = *b->find(id);
    EXPECT_EQ(new_entry.bit_flags, old_entry.bit_flags);
    EXPECT_EQ(new_entry.size, old_entry.size);
    EXPECT_EQ(new_entry.timestamp, old_entry.timestamp);
    EXPECT_EQ(new_entry.version, old_entry.version);
    const std::optional<Bytes> old_bytes =
        bytes_of(a->read_file_data(old_entry.offset, old_entry.size));
    ASSERT_TRUE(old_bytes);
    EXPECT_EQ(bytes_of(b->read_file_data(new_entry.offset, new_entry.size)), old_bytes);
  }
}

// Every type of a local archive (each id prefix), stored and compressed, with flag bits beyond
// compression, chains in every order and a directory several levels deep.
void write_mixed_archive(const fs::path& path) {
  test_support::ArchiveBuilder builder(1024);
  builder.header.dataset = 3;
  builder.header.new_lru = 4;
  builder.header.use_lru = 5;
  builder.header.master_map_id = 0x0A0B0C0D;
  builder.header.version_string = {'m', 'i', 'x', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xFE};
  std::vector<DatFileEntry> entries;
  for (std::uint32_t prefix = 0; prefix < 0x100; ++prefix) {
    for (const bool compressed : {false, true}) {
      const std::uint32_t id = prefix << 24 | (compressed ? 0x8000 : 0) | prefix;
      Bytes data((prefix * 37 + (compressed ? 900 : 0)) % 2500);
      for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 7 + id);
      test_support::StoreOptions options;
      options.compressed = compressed;
      options.extra_flags = prefix % 3 == 0 ? 0x00020000 : 0;
      options.timestamp = 0x60000000 + prefix;
      options.version = prefix % 5;
      options.layout.order = static_cast<test_support::ChainOrder>(prefix % 3);
      options.layout.seed = prefix;
      entries.push_back(builder.store_file(id, data, options));
    }
  }
  std::sort(entries.begin(), entries.end(),
            [](const DatFileEntry& a, const DatFileEntry& b) { return a.id < b.id; });
  builder.header.root_offset = test_support::store_tree(builder, entries);
  ASSERT_EQ(builder.write_to(path), std::nullopt);
}

void write_sample_archive(const fs::path& path) {
  const e2e::ProcessResult made = e2e::run_process(KELVANE_SAMPLE_TOOL, {path.string()});
  ASSERT_EQ(made.exit_status, 0) << made.err;
}

void write_known_archive(const fs::path& path) { fs::copy_file(KnownArchive::get().path(), path); }

TEST(ToolWrite, ExtractRawThenCreateGivesBackTheArchive) {
  const struct {
    const char* name;
    void (*write)(const fs::path&);
  } archives[] = {{"sample", write_sample_archive},
                  {"every type and compression", write_mixed_archive},
                  {"known, with header fields set", write_known_archive}};
  for (const auto& archive : archives) {
    SCOPED_TRACE(archive.name);
    const ScratchDirectory scratch;
    const fs::path original = scratch.path() / "a.dat";
    const fs::path copy = scratch.path() / "b.dat";
    const fs::path directory = scratch.path() / "files";
    archive.write(original);
    const e2e::ProcessResult extracted =
        run_tool({"extract", "--raw", original.string(), directory.string()});
    ASSERT_EQ(extracted.exit_status, 0) << extracted.err;
    const e2e::ProcessResult created = run_tool({"create", copy.string(), directory.string()});
    ASSERT_EQ(created.exit_status, 0) << created.err;
    EXPECT_EQ(created.err, "");
    const e2e::ProcessResult diff = run_tool({"diff", original.string(), copy.string()});
    EXPECT_EQ(diff.exit_status, 0) << diff.out << diff.err;
    expect_same_archive(original, copy);
    const auto contents = test_support::checked_contents(copy);
    EXPECT_TRUE(contents) << contents.error();
    // Whatever verify finds in the files themselves, it finds in both.
    EXPECT_EQ(run_tool({"verify", copy.string()}).out, run_tool({"verify", original.string()}).out);
  }
}

// Without --raw the files are expanded and create compresses them again: the contents, flags,
// timestamps and versions come back, the stored bytes are the compressor's.
TEST(ToolWrite, ExtractThenCreateKeepsContentsAndEntries) {
  const ScratchDirectory scratch;
  const fs::path copy = scratch.path() / "b.dat";
  const fs::path directory = scratch.path() / "files";
  const KnownArchive& known = KnownArchive::get();
  ASSERT_EQ(run_tool({"extract", known.path(), directory.string()}).exit_status, 0);
  const e2e::ProcessResult created = run_tool({"create", copy.string(), directory.string()});
  ASSERT_EQ(created.exit_status, 0) << created.err;
  const Result<DatDatabase> archive = DatDatabase::open(copy);
  ASSERT_TRUE(archive);
  EXPECT_EQ(fields_not_owned_by_the_writer(archive->header()),
            fields_not_owned_by_the_writer(known.header));
  ASSERT_EQ(archive->files().size(), known.entries.size());
  for (const auto& [id, entry] : known.entries) {
    SCOPED_TRACE(hex_id(id));
    const DatFileEntry* made = archive->find(id);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->bit_flags, entry.bit_flags);
    EXPECT_EQ(made->timestamp, entry.timestamp);
    EXPECT_EQ(made->version, entry.version);
    EXPECT_EQ(bytes_of(archive->get_file(id)), known.contents.at(id));
  }
}

// A manifest that create cannot trust is refused before anything is written.
TEST(ToolWrite, CreateRefusesABadManifestOrMissingFile) {
  const ScratchDirectory scratch;
  const fs::path directory = scratch.path() / "files";
  ASSERT_EQ(
      run_tool({"extract", "--raw", KnownArchive::get().path(), directory.string()}).exit_status,
      0);
  const fs::path manifest = directory / "manifest.json";
  const std::string good = [&] {
    std::ifstream in(manifest);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const struct {
    const char* name;
    std::string manifest;
    std::string error;
  } cases[] = {
      {"not JSON", "{\"raw\": tru", "parse error at line 1"},
      {"id out of range", replaced("\"0x06000001\"", "4294967296"),
       "files[0]: 'id' must be a whole number below 2^32"},
      {"header field missing", replaced("\"block_size\"", "\"block_sighs\""),
       "header field 'block_size' is missing"},
      {"version_string short", replaced("\"76 31", "\"76"),
       "header field 'version_string' must be 16 bytes"},
      {"duplicate id", replaced("\"0x06000001\"", "\"0x0A000002\""), "add 0x0A000002: "},
      {"file missing", replaced("\"0x06000001\"", "\"0x06000009\""), "read "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(manifest, std::ios::trunc) << c.manifest;
    const fs::path archive = scratch.path() / "new.dat";
    const e2e::ProcessResult run = run_tool({"create", archive.string(), directory.string()});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_FALSE(fs::exists(scratch.path() / "new.dat.partial"));
  }
}

// One archive, changed by one command; `expected` lists the contents afterwards.
struct EditCase {
  const char* name;
  std::vector<std::string> args;  // ARCHIVE is inserted after the command's name
  int status;
  std::string err_part;
  std::map<std::uint32_t, std::optional<Bytes>> changes;  // nullopt: removed
};

TEST(ToolWrite, PutAndRmChangeExactlyWhatTheyName) {
  const ScratchDirectory inputs;
  const fs::path new_file = inputs.path() / "new.bin";
  const std::string text = "a new file, a new file, a new file\n";
  std::ofstream(new_file, std::ios::binary) << text;
  const Bytes new_bytes(text.begin(), text.end());
  // The known archive's free-list fields name blocks that are not free, so the first commit
  // rebuilds the free list and says so.
  const std::string rebuilt = "the free list was damaged; rebuilding it";
  const std::vector<EditCase> cases = {
      {"put a new id",
       {"put", "0x0E000099", new_file.string()},
       0,
       rebuilt,
       {{0x0E000099, new_bytes}}},
      {"put replaces",
       {"put", "0x06000001", new_file.string(), "-c"},
       0,
       rebuilt,
       {{0x06000001, new_bytes}}},
      {"rm two",
       {"rm", "0x06000001", "0x0A000002"},
       0,
       rebuilt,
       {{0x06000001, std::nullopt}, {0x0A000002, std::nullopt}}},
      {"rm an unknown id changes nothing",
       {"rm", "0x06000001", "0x0E0000FF"},
       1,
       "kelvane-dat: 0x0E0000FF: no such file in the archive\n",
       {}},
      {"put a missing file",
       {"put", "0x0E000099", (inputs.path() / "none").string()},
       1,
       "read ",
       {}},
      {"put a bad version",
       {"put", "1", new_file.string(), "--version", "-1"},
       2,
       "--version: expected a whole number below 2^32, not '-1'",
       {}},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ScratchDirectory scratch;
    const fs::path archive = scratch.path() / "a.dat";
    fs::copy_file(KnownArchive::get().path(), archive);
    std::vector<std::string> args = c.args;
    args.insert(args.begin() + 1, archive.string());
    const e2e::ProcessResult run = run_tool(args);
    EXPECT_EQ(run.exit_status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.err_part), std::string::npos) << run.err;

    std::map<std::uint32_t, Bytes> expected = KnownArchive::get().contents;
    for (const auto& [id, bytes] : c.changes) {
      if (bytes)
        expected[id] = *bytes;
      else
        expected.erase(id);
    }
    // A commit leaves an archive that keeps the writer's contract; a refusal leaves it as it was.
    const auto contents = test_support::checked_contents(archive, c.status == 0);
    ASSERT_TRUE(contents) << contents.error();
    EXPECT_EQ(*contents, expected);
  }
}

TEST(ToolWrite, PutKeepsTheEntryFieldsGiven) {
  const ScratchDirectory scratch;
  const fs::path archive = scratch.path() / "a.dat";
  fs::copy_file(KnownArchive::get().path(), archive);
  const fs::path file = scratch.path() / "f.bin";
  std::ofstream(file) << std::string(4000, 'x');
  const e2e::ProcessResult run =
      run_tool({"put", archive.string(), "0x0E000010", file.string(), "--compress", "--timestamp",
                "0x5F000001", "--version", "12"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, "put 0x0E000010 (4000 bytes) into " + archive.string() + "\n");
  const Result<DatDatabase> changed = DatDatabase::open(archive);
  ASSERT_TRUE(changed);
  const DatFileEntry& entry = *changed->find(0x0E000010);
  EXPECT_TRUE(entry.is_compressed());
  EXPECT_LT(entry.size, 4000u);
  EXPECT_EQ(entry.timestamp, 0x5F000001u);
  EXPECT_EQ(entry.version, 12u);
}

TEST(ToolWrite, ASecondWriterIsRefusedAtOnce) {
  const ScratchDirectory scratch;
  const fs::path archive = scratch.path() / "a.dat";
  fs::copy_file(KnownArchive::get().path(), archive);
  const Result<ArchiveTransaction> first = ArchiveTransaction::open(archive);
  ASSERT_TRUE(first);
  const e2e::ProcessResult second = run_tool({"rm", archive.string(), "0x06000001"});
  EXPECT_EQ(second.exit_status, 1);
  EXPECT_EQ(second.err,
            "kelvane-dat: " + archive.string() + ": archive is locked by another writer\n");
}

TEST(ToolWrite, OverlappingChainsAreRefusedWithTheLayoutChecksMessage) {
  test_support::ArchiveBuilder builder(1024);
  const DatFileEntry first = builder.store_file(0x06000001, Bytes(3000, 0x41));
  DatFileEntry sharer = first;
  sharer.id = 0x06000002;
  test_support::DirectoryNode root;
  root.entries = {first, sharer};
  builder.header.root_offset = builder.store_node(root);
  const test_support::TempFile file(builder.finish(), "kelvane_tool_overlap");
  const Result<DatDatabase> archive = DatDatabase::open(file.path());
  ASSERT_TRUE(archive);
  const Result<ArchiveLayout> layout = check_layout(*archive);
  ASSERT_TRUE(layout && !layout->overlaps.empty());

  const e2e::ProcessResult run = run_tool({"rm", file.path().string(), "0x06000001"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, "kelvane-dat: " + file.path().string() + ": " +
                         layout->overlaps.front().to_string() + "\n");
  EXPECT_EQ(DatDatabase::open(file.path())->files().size(), 2u);
}

TEST(ToolWrite, CompactKeepsEveryFileInLessSpace) {
  const ScratchDirectory scratch;
  const fs::path archive = scratch.path() / "a.dat";
  const fs::path out = scratch.path() / "c.dat";
  write_mixed_archive(archive);
  // A removed file leaves free blocks that compact drops.
  ASSERT_EQ(run_tool({"rm", archive.string(), "0x01008001", "0x02000002"}).exit_status, 0);
  const std::uintmax_t before = fs::file_size(archive);
  ASSERT_GT(DatDatabase::open(archive)->header().free_count, 0u);
  const e2e::ProcessResult run = run_tool({"compact", archive.string(), out.string()});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  expect_same_archive(archive, out);
  const auto contents = test_support::checked_contents(out);
  EXPECT_TRUE(contents) << contents.error();
  EXPECT_LT(fs::file_size(out), before);
  const Result<DatDatabase> compacted = DatDatabase::open(out);
  ASSERT_TRUE(compacted);
  EXPECT_EQ(compacted->header().free_count, 0u);

  const e2e::ProcessResult again = run_tool({"compact", archive.string(), out.string()});
  EXPECT_EQ(again.exit_status, 2);
  EXPECT_EQ(again.err, "kelvane-dat: compact to " + out.string() +
                           ": the file exists; use --force to replace it\n");
  const e2e::ProcessResult onto_itself =
      run_tool({"compact", "--force", archive.string(), archive.string()});
  EXPECT_EQ(onto_itself.exit_status, 2);
}

}  // namespace
}  // namespace kelvane_dat::cli::testing
