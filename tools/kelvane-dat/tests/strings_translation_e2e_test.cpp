// strings export, import and pseudo through the real executable: round trips in every format
// that leave each file as it was, translations that change exactly their texts, and units that
// no longer fit the archive.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "support/archive_builder.hpp"
#include "support/tree_layout.hpp"
#include "tool_fixture.hpp"

namespace kelvane_dat::cli::testing {
namespace {

using test_support::ArchiveBuilder;

constexpr const char* kFormats[] = {"po", "xliff", "csv", "json"};

// What import must keep of a file: how it is stored and what it is stored as.
struct StoredFile {
  std::uint32_t bit_flags = 0;
  std::uint32_t timestamp = 0;
  std::uint32_t version = 0;
  Bytes stored;

  friend bool operator==(const StoredFile&, const StoredFile&) = default;
};

std::map<std::uint32_t, StoredFile> stored_files(const std::filesystem::path& path) {
  std::map<std::uint32_t, StoredFile> files;
  const Result<DatDatabase> archive = DatDatabase::open(path);
  if (!archive) return files;
  for (const auto& [id, entry] : archive->files()) {
    files[id] = {entry.bit_flags, entry.timestamp, entry.version,
                 archive->read_file_data(entry.offset, entry.size).value_or(Bytes{})};
  }
  return files;
}

// The header without the fields a writer lays out anew.
DatHeader kept_header_fields(const std::filesystem::path& path) {
  DatHeader header = DatDatabase::open(path).value().header();
  header.file_size = header.free_head = header.free_tail = header.free_count = 0;
  header.root_offset = 0;
  return header;
}

void write_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string read_text(const std::string& path) {
  const Bytes bytes = read_file(path).value_or(Bytes{});
  return std::string(bytes.begin(), bytes.end());
}

bool po_supported(const std::string& archive) {
  return run_tool({"strings", "export", archive, "-f", "po", "-o", "-"}).exit_status == 0;
}

test_support::StoreOptions stored(bool compressed, std::uint32_t extra_flags,
                                  std::uint32_t timestamp, std::uint32_t version) {
  test_support::StoreOptions options;
  options.compressed = compressed;
  options.extra_flags = extra_flags;
  options.timestamp = timestamp;
  options.version = version;
  return options;
}

// Texts that are hard to carry through a translation file: empty ones, emoji, lone surrogates,
// control characters, entries without texts, many variables, and a table of 10,000 entries.
class TrickyArchive {
 public:
  TrickyArchive() {
    ArchiveBuilder builder(1024);
    builder.header.dataset = 3;  // a local archive: 0x23 ids are string tables
    builder.header.master_map_id = 0x12345678;
    builder.header.version_string = {'t', 'r', 'i', 'c', 'k', 'y'};
    StoredStringTable tricky{.id = 0x23000001, .language = 1, .bucket_size_index = 3};
    tricky.entries = {
        {.key = 9, .data_id = 0x31000001, .texts = {u"", u"Caf\u00E9 \U0001F600"}, .flag = 1},
        {.key = 2, .texts = {u"half \xD800 pair", u"\xDC00", u"tab\there\r\n\u0001"}},
        {.key = 5, .texts = {}, .variables = {1, 2}},
        {.key = 7, .texts = {u"<b>%1$s</b> {0}"}, .variables = std::vector<std::uint32_t>(40, 7)},
        // A repeated key: the later entry is the one a translator sees.
        {.key = 9, .texts = {u"shadowed"}, .flag = 2},
    };
    StoredStringTable big{.id = 0x23000002, .language = 1, .bucket_size_index = 9};
    for (std::uint32_t key = 0; key < 10'000; ++key) {
      big.entries.push_back(
          {.key = key * 7919,
           .texts = {u"Text number " + std::u16string(1, static_cast<char16_t>(u'A' + key % 26))}});
    }
    std::vector<DatFileEntry> entries;
    entries.push_back(
        builder.store_file(tricky.id, tricky.encode().value(), stored(false, 0, 0, 4)));
    entries.push_back(builder.store_file(big.id, big.encode().value(), stored(true, 0, 77, 0)));
    entries.push_back(builder.store_file(0x06000001, Bytes(3000, 0x5A), stored(false, 0x10, 0, 0)));
    std::sort(entries.begin(), entries.end(),
              [](const DatFileEntry& a, const DatFileEntry& b) { return a.id < b.id; });
    builder.header.root_offset = test_support::store_tree(builder, entries, {});
    file_.emplace(builder.finish(), "kelvane_tricky");
  }
  std::string path() const { return file_->path().string(); }

 private:
  std::optional<test_support::TempFile> file_;
};

class StringsTranslation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ = new ScratchDirectory;
    sample_ = (scratch_->path() / "sample.dat").string();
    const e2e::ProcessResult made = e2e::run_process(KELVANE_SAMPLE_TOOL, {sample_});
    ASSERT_EQ(made.exit_status, 0) << made.err;
    tricky_ = new TrickyArchive;
  }
  static void TearDownTestSuite() {
    delete tricky_;
    delete scratch_;
  }
  std::string scratch(const std::string& name) const { return (dir_.path() / name).string(); }

  static inline ScratchDirectory* scratch_ = nullptr;
  static inline TrickyArchive* tricky_ = nullptr;
  static inline std::string sample_;
  ScratchDirectory dir_;
};

TEST_F(StringsTranslation, UnchangedRoundTripKeepsEveryFileAsStored) {
  for (const std::string& archive : {sample_, tricky_->path()}) {
    const std::map<std::uint32_t, StoredFile> original = stored_files(archive);
    ASSERT_FALSE(original.empty());
    for (const char* format : kFormats) {
      SCOPED_TRACE(archive + " " + format);
      if (std::string(format) == "po" && !po_supported(archive)) continue;
      const std::string translation = scratch(std::string("t.") + format);
      const std::string copy = scratch(std::string("copy-") + format + ".dat");
      const e2e::ProcessResult exported =
          run_tool({"strings", "export", archive, "-f", format, "-o", translation});
      ASSERT_EQ(exported.exit_status, 0) << exported.err;
      const e2e::ProcessResult imported =
          run_tool({"strings", "import", archive, translation, "-o", copy});
      ASSERT_EQ(imported.exit_status, 0) << imported.err;
      EXPECT_EQ(imported.out, "wrote " + copy + ": 0 texts changed, 0 tables re-encoded\n");
      EXPECT_EQ(run_tool({"diff", archive, copy}).exit_status, 0);
      EXPECT_TRUE(stored_files(copy) == original);
      EXPECT_EQ(kept_header_fields(copy), kept_header_fields(archive));
    }
  }
}

// The PO export with every text translated as msgen and a translator would: "FR:" + source.
std::string translated_po(const std::string& po) {
  std::string out;
  std::string msgid;
  bool in_msgid = false;
  bool has_context = false;
  std::size_t start = 0;
  while (start < po.size()) {
    const std::size_t end = po.find('\n', start);
    const std::string line = po.substr(start, end - start);
    start = end == std::string::npos ? po.size() : end + 1;
    if (line.starts_with("msgctxt ")) has_context = true;
    if (line.starts_with("msgid ")) {
      in_msgid = true;
      msgid = line.substr(6) + "\n";
    } else if (in_msgid && line.starts_with('"')) {
      msgid += line + "\n";
    } else if (line.starts_with("msgstr ")) {
      in_msgid = false;
      // The header (no context) stays as it is.
      out += has_context ? "msgstr \"FR:\"\n" + msgid : line + "\n";
      has_context = false;
      continue;
    } else {
      in_msgid = false;
    }
    out += line + "\n";
  }
  return out;
}

// (table, key) of each entry line of `diff --json`.
std::set<std::pair<std::string, std::string>> changed_entries(const std::string& diff_json) {
  std::set<std::pair<std::string, std::string>> entries;
  for (const nlohmann::json& line : json_lines(diff_json)) {
    if (!line.contains("key")) continue;
    EXPECT_EQ(line["change"], "changed") << line.dump();
    entries.emplace(line["table"], line["key"]);
  }
  return entries;
}

// Entries with at least one text: those a translation of every text changes.
std::set<std::pair<std::string, std::string>> entries_with_texts(const std::string& archive) {
  std::set<std::pair<std::string, std::string>> entries;
  for (const nlohmann::json& line : json_lines(run_tool({"strings", "--json", archive}).out)) {
    if (!line["strings"].empty()) entries.emplace(line["table"], line["key"]);
  }
  return entries;
}

TEST_F(StringsTranslation, TranslatedAndPseudoTextsChangeExactlyTheirEntries) {
  const std::string archive = tricky_->path();
  if (!po_supported(archive)) GTEST_SKIP() << "this build has no PO support";
  const std::string po = scratch("t.po");
  ASSERT_EQ(run_tool({"strings", "export", archive, "-f", "po", "-o", po}).exit_status, 0);
  const std::string fr_po = scratch("fr.po");
  write_text(fr_po, translated_po(read_text(po)));

  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string found_by_grep;
  };
  const std::string fr = scratch("fr.dat");
  const std::string pseudo = scratch("pseudo.dat");
  const Case cases[] = {
      {"import", {"strings", "import", archive, fr_po, "-o", fr}, "FR:shadowed"},
      {"pseudo", {"strings", "pseudo", archive, "-o", pseudo}, "[\u0161\u0125\u00E0\u00F0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const e2e::ProcessResult run = run_tool(c.args);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const std::string& written = c.args.back();
    const e2e::ProcessResult diff = run_tool({"diff", "--json", archive, written});
    EXPECT_EQ(diff.exit_status, 1) << diff.err;
    EXPECT_EQ(changed_entries(diff.out), entries_with_texts(archive));
    const e2e::ProcessResult grep = run_tool({"grep", "-F", c.found_by_grep, written});
    EXPECT_EQ(grep.exit_status, 0) << grep.err;
    // The file that is no table is still stored as it was.
    EXPECT_EQ(stored_files(written).at(0x06000001), stored_files(archive).at(0x06000001));
  }
}

TEST_F(StringsTranslation, UnitsThatNoLongerFitAreSkippedAndReported) {
  const std::string archive = KnownArchive::get().path();
  const Bytes before = read_file(archive).value();
  const std::string csv = scratch("stale.csv");
  // One good unit, then one stale or unknown unit of each kind.
  write_text(csv,
             "id,source,target,data_id,variables\r\n"
             "0x2300000A/0x014152D5/0,Left Alt,Alt gauche,0x00000000,\r\n"
             "0x2300000A/0x04CD833C/0,Left Control,Ctrl gauche,0x00000000,\r\n"
             "0x2300000A/0x04CD833C/1,,x,0x00000000,\r\n"
             "0x2300000A/0x00000001/0,,x,0x00000000,\r\n"
             "0x23000077/0x014152D5/0,Left Alt,x,0x00000000,\r\n"
             "0x06000001/0x00000000/0,,x,0x00000000,\r\n");
  const std::string out = scratch("new.dat");
  const e2e::ProcessResult run = run_tool({"strings", "import", archive, csv, "-o", out});
  EXPECT_EQ(run.exit_status, 1);
  const std::string prefix = "kelvane-dat: skipped ";
  const std::string none = ": names no text of the archive\n";
  EXPECT_EQ(run.err, prefix + "0x06000001/0x00000000/0" + none + prefix +
                         "0x2300000A/0x00000001/0" + none + prefix +
                         "0x2300000A/0x04CD833C/0: its source text is no longer the archive's "
                         "(the archive changed since the export)\n" +
                         prefix + "0x2300000A/0x04CD833C/1" + none + prefix +
                         "0x23000077/0x014152D5/0" + none);
  EXPECT_EQ(run.out, "wrote " + out + ": 1 text changed, 1 table re-encoded, 5 units skipped\n");
  EXPECT_EQ(read_file(archive), before);
  EXPECT_NE(run_tool({"strings", out, "0x2300000A"}).out.find("\"Alt gauche\""), std::string::npos);
}

TEST_F(StringsTranslation, RefusalsWriteNothing) {
  const std::string archive = KnownArchive::get().path();
  const Bytes before = read_file(archive).value();
  const std::string json = scratch("t.json");
  ASSERT_EQ(run_tool({"strings", "export", archive, "-f", "json", "-o", json}).exit_status, 0);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {{"strings", "import", archive, json, "-o", archive},
       2,
       "kelvane-dat: write " + archive + ": that is the archive itself; name a new file with -o\n"},
      {{"strings", "pseudo", archive, "-o", archive},
       2,
       "kelvane-dat: write " + archive + ": that is the archive itself; name a new file with -o\n"},
      {{"strings", "import", archive, scratch("t.txt"), "-o", scratch("x.dat")},
       2,
       "kelvane-dat: strings import: cannot tell the format of '" + scratch("t.txt") +
           "' from its name; give --format\nTry 'kelvane-dat strings import --help' for more "
           "information.\n"},
      {{"strings", "export", archive, "-f", "yaml"},
       2,
       "kelvane-dat: strings export: unknown format 'yaml'; the formats are po, "
       "xliff, csv, json\nTry 'kelvane-dat strings export --help' for more information.\n"},
      {{"strings", "export", archive, "-f", "csv", "--table", "0x06000001"},
       1,
       "kelvane-dat: strings export 0x06000001: not a string table but Texture\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1] + " " + c.args.back());
    const e2e::ProcessResult run = run_tool(c.args);
    EXPECT_EQ(run.exit_status, c.status);
    EXPECT_EQ(run.err, c.err);
  }
  EXPECT_EQ(read_file(archive), before);
  EXPECT_FALSE(std::filesystem::exists(scratch("x.dat")));
}

}  // namespace
}  // namespace kelvane_dat::cli::testing
