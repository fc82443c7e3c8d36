// extract through the real executable: every file as cat writes it, in the directory it belongs,
// and never a byte outside the directory.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "support/archive_builder.hpp"
#include "support/temp_file.hpp"
#include "tool_fixture.hpp"

namespace kelvane_dat::cli::testing {
namespace {

namespace fs = std::filesystem;

std::string hex(std::uint32_t id, const char* format) {
  char text[16];
  std::snprintf(text, sizeof text, format, id);
  return text;
}

fs::path extracted_path(const fs::path& root, std::uint32_t id) {
  return root / to_string(from_id_in_dat(id, DatKind::Local)) / (hex(id, "%08X") + ".bin");
}

// The files extracted under `root`: every regular file but the manifest beside them.
std::size_t files_under(const fs::path& root) {
  std::size_t count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    count += entry.is_regular_file() && entry.path().filename() != "manifest.json";
  }
  return count;
}

TEST(ToolExtract, WritesEveryFileExpandedUnderItsTypeAtAnyJobCount) {
  const KnownArchive& archive = KnownArchive::get();
  for (const char* jobs : {"1", "3"}) {
    SCOPED_TRACE(jobs);
    const ScratchDirectory scratch;
    const fs::path out = scratch.path() / "new" / "dir";  // made with its parents
    const e2e::ProcessResult run = run_tool({"extract", "-j", jobs, archive.path(), out.string()});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const auto& [id, bytes] : archive.contents) {
      EXPECT_EQ(read_file(extracted_path(out, id)), bytes) << hex(id, "0x%08X");
    }
    // No temporary file left behind, nothing else written.
    EXPECT_EQ(files_under(out), archive.contents.size());
  }
}

TEST(ToolExtract, TypeSelectsOneDirectory) {
  const ScratchDirectory scratch;
  const e2e::ProcessResult run = run_tool(
      {"extract", "--type", "stringtable", KnownArchive::get().path(), scratch.path().string()});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("extracted 2 files (")) << run.out;
  EXPECT_EQ(files_under(scratch.path() / "StringTable"), files_under(scratch.path()));
}

TEST(ToolExtract, RefusesADirectoryWithFilesUnlessForced) {
  const ScratchDirectory scratch;
  const std::string out = scratch.path().string();
  const fs::path existing = extracted_path(scratch.path(), 0x0E000004);
  fs::create_directories(existing.parent_path());
  std::ofstream{existing};

  const e2e::ProcessResult refused = run_tool({"extract", KnownArchive::get().path(), out});
  EXPECT_EQ(refused.exit_status, 2);
  EXPECT_EQ(refused.err, "kelvane-dat: extract to " + out +
                             ": the directory is not empty; use --force to write into it anyway\n");
  EXPECT_EQ(read_file(existing), Bytes{});

  const e2e::ProcessResult forced = run_tool({"extract", "-f", KnownArchive::get().path(), out});
  EXPECT_EQ(forced.exit_status, 0) << forced.err;
  EXPECT_EQ(read_file(existing), KnownArchive::get().contents.at(0x0E000004));
}

// A run cut short leaves its marker naming the archive; the same extraction again, without
// --force, writes what is missing and leaves the complete files alone. A marker naming another
// archive does not open the directory.
TEST(ToolExtract, RerunFinishesAnInterruptedExtraction) {
  const KnownArchive& archive = KnownArchive::get();
  for (const bool same_archive : {true, false}) {
    SCOPED_TRACE(same_archive);
    const ScratchDirectory scratch;
    const fs::path out = scratch.path();
    ASSERT_EQ(run_tool({"extract", archive.path(), out.string()}).exit_status, 0);
    std::ofstream(out / ".kelvane-dat-extract", std::ios::binary)
        << (same_archive ? archive.path() : "other.dat") << "\n";
    const fs::path missing = extracted_path(out, 0x0E000004);
    const fs::path complete = extracted_path(out, 0x23000001);
    fs::remove(missing);
    std::ofstream(complete, std::ios::binary | std::ios::trunc) << "left alone";

    const e2e::ProcessResult rerun = run_tool({"extract", archive.path(), out.string()});
    if (!same_archive) {
      EXPECT_EQ(rerun.exit_status, 2);
      EXPECT_FALSE(fs::exists(missing));
      continue;
    }
    EXPECT_EQ(rerun.exit_status, 0) << rerun.err;
    EXPECT_EQ(rerun.out,
              "extracted 1 file (" + std::to_string(archive.contents.at(0x0E000004).size()) +
                  " bytes) to " + out.string() + ", " +
                  std::to_string(archive.contents.size() - 1) + " files already there\n");
    EXPECT_EQ(read_file(missing), archive.contents.at(0x0E000004));
    EXPECT_EQ(read_file(complete), (Bytes{'l', 'e', 'f', 't', ' ', 'a', 'l', 'o', 'n', 'e'}));
    // The marker goes once the run completes.
    EXPECT_EQ(files_under(out), archive.contents.size());
  }
}

TEST(ToolExtract, ReportsUnreadableFilesAndExtractsTheRest) {
  const ScratchDirectory scratch;
  const e2e::ProcessResult run =
      run_tool({"extract", "-j2", DamagedArchive::get().path(), scratch.path().string()});
  EXPECT_EQ(run.exit_status, 1);
  // A compressed file that expands short is skipped like one that cannot be read.
  EXPECT_EQ(run.err,
            "kelvane-dat: read 0x06000001: IO error: failed to fill whole buffer\n"
            "kelvane-dat: read 0x0A000001: " +
                DamagedArchive::kShortExpansion +
                "\nkelvane-dat: read 0x0A000002: " + DamagedArchive::kPayloadWithoutSize + "\n");
  const std::size_t readable = DamagedArchive::get().file_count - 3;
  EXPECT_TRUE(run.out.starts_with("extracted " + std::to_string(readable) + " files")) << run.out;
  EXPECT_TRUE(run.out.ends_with(": 3 failures\n")) << run.out;
  EXPECT_EQ(files_under(scratch.path()), readable);
}

// Entries sharing one chain make reading every file cost entries times sizes, so the commands that
// read every file refuse such an archive unless told otherwise; diff's quick check reads no chain.
// Allowed, the chain is read once and still every file gets its own bytes: a sharer the same, a
// prefix (same first block, fewer bytes) only its part.
TEST(ToolExtract, OverlappingChainsAreRefusedUnlessAllowed) {
  test_support::ArchiveBuilder builder(1024);
  const DatFileEntry first = builder.store_file(0x06000001, std::vector<std::uint8_t>(3000, 0x41));
  DatFileEntry sharer = first;
  sharer.id = 0x06000002;
  DatFileEntry prefix = first;
  prefix.id = 0x06000003;
  prefix.size = 1000;
  test_support::DirectoryNode root;
  root.entries = {first, sharer, prefix};
  builder.header.root_offset = builder.store_node(root);
  const test_support::TempFile file(builder.finish(), "kelvane_tool_shared");
  const std::string path = file.path().string();
  const std::string at = hex(first.offset, "0x%08X");
  const std::string refusal =
      "kelvane-dat: layout: file 0x06000002 and file 0x06000001 both claim 1024 bytes at " + at +
      "\nkelvane-dat: layout: file 0x06000003 and file 0x06000001 both claim 1004 bytes at " + at +
      "\nkelvane-dat: refuse " + path +
      ": 2 overlaps between chains; --allow-overlap reads it anyway\n";

  const ScratchDirectory scratch;
  const e2e::ProcessResult refused = run_tool({"extract", path, scratch.path().string()});
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_EQ(refused.err, refusal);
  EXPECT_EQ(files_under(scratch.path()), 0u);
  const e2e::ProcessResult allowed =
      run_tool({"extract", "--allow-overlap", path, scratch.path().string()});
  EXPECT_EQ(allowed.exit_status, 0) << allowed.err;
  EXPECT_EQ(files_under(scratch.path()), 3u);
  for (const DatFileEntry& entry : root.entries) {
    EXPECT_EQ(read_file(extracted_path(scratch.path(), entry.id)), Bytes(entry.size, 0x41))
        << hex(entry.id, "0x%08X");
  }

  const e2e::ProcessResult diff = run_tool({"diff", path, path});
  EXPECT_EQ(diff.exit_status, 2);
  EXPECT_EQ(diff.err, refusal);
  EXPECT_EQ(run_tool({"diff", "--allow-overlap", path, path}).exit_status, 0);
  EXPECT_EQ(run_tool({"diff", "--quick", path, path}).exit_status, 0);
}

TEST(ToolExtract, NeverWritesThroughALinkOutOfTheDirectory) {
  const ScratchDirectory scratch;
  const fs::path out = scratch.path() / "out";
  const fs::path outside = scratch.path() / "outside";
  fs::create_directories(out);
  fs::create_directories(outside);
  std::error_code link_error;
  fs::create_directory_symlink(outside, out / "Texture", link_error);
  if (link_error) GTEST_SKIP() << "no symbolic links here: " << link_error.message();
  // A link at a file's final name is replaced, not written through.
  fs::create_directories(out / "Audio");
  fs::create_symlink(outside / "victim", extracted_path(out, 0x0A000002));

  const e2e::ProcessResult run =
      run_tool({"extract", "--force", KnownArchive::get().path(), out.string()});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.err.find("Texture is a symbolic link; refusing to follow it"), std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::is_empty(outside));

  fs::remove(out / "Texture");
  const e2e::ProcessResult rerun =
      run_tool({"extract", "--force", KnownArchive::get().path(), out.string()});
  EXPECT_EQ(rerun.exit_status, 0) << rerun.err;
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_FALSE(fs::is_symlink(extracted_path(out, 0x0A000002)));
  EXPECT_EQ(read_file(extracted_path(out, 0x0A000002)),
            KnownArchive::get().contents.at(0x0A000002));
}

// The sample archive's every file read back from disk equals what the library fetches for its id
// (what cat writes).
TEST(ToolExtract, SampleArchiveReadsBackAsTheLibraryFetches) {
  const ScratchDirectory scratch;
  const fs::path sample = scratch.path() / "local_English.dat";
  const e2e::ProcessResult made = e2e::run_process(KELVANE_SAMPLE_TOOL, {sample.string()});
  ASSERT_EQ(made.exit_status, 0) << made.err;
  const fs::path out = scratch.path() / "out";
  const e2e::ProcessResult run = run_tool({"extract", "-j2", sample.string(), out.string()});
  ASSERT_EQ(run.exit_status, 0) << run.err;

  const Result<DatDatabase> archive = DatDatabase::open(sample);
  ASSERT_TRUE(archive);
  const std::vector<std::uint32_t> ids = archive->ids();
  for (const std::uint32_t id : ids) {
    SCOPED_TRACE(id);
    const Result<Bytes> expected = archive->get_file(id);
    ASSERT_TRUE(expected);
    EXPECT_EQ(read_file(extracted_path(out, id)), *expected);
  }
  EXPECT_GT(ids.size(), 400u);
  EXPECT_EQ(files_under(out), ids.size());
}

}  // namespace
}  // namespace kelvane_dat::cli::testing
