// The command line as a whole through the real executable: help, version, usage errors and the
// exit statuses that tell them apart from archive errors.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "kelvane_dat/version.hpp"
#include "tool_fixture.hpp"

namespace kelvane_dat::cli::testing {
namespace {

// Help asked for anywhere wins, as "help CMD" and "--help CMD" too; nested commands alike.
TEST(ToolUsage, EveryCommandHasHelp) {
  const std::string archive = KnownArchive::get().path();
  const std::vector<std::vector<std::string>> commands = {{"info"},
                                                          {"ls"},
                                                          {"cat"},
                                                          {"strings"},
                                                          {"verify"},
                                                          {"extract"},
                                                          {"diff"},
                                                          {"grep"},
                                                          {"strings", "export"},
                                                          {"strings", "import"},
                                                          {"strings", "pseudo"}};
  for (const std::vector<std::string>& words : commands) {
    std::string name;
    for (const std::string& word : words) name += (name.empty() ? "" : " ") + word;
    const auto with = [&](std::vector<std::string> before, std::vector<std::string> after) {
      before.insert(before.end(), words.begin(), words.end());
      before.insert(before.end(), after.begin(), after.end());
      return before;
    };
    for (const std::vector<std::string>& args :
         {with({}, {"--help"}), with({}, {"-h"}), with({}, {archive, "--help"}),
          with({}, {"--bogus", "-h"}), with({"help"}, {}), with({"--help"}, {})}) {
      SCOPED_TRACE(args[0] + " " + args[1]);
      const e2e::ProcessResult run = run_tool(args);
      EXPECT_EQ(run.exit_status, 0);
      EXPECT_TRUE(run.out.starts_with("Usage: kelvane-dat " + name + " ")) << run.out;
      EXPECT_NE(run.out.find("  -h, --help"), std::string::npos);
      EXPECT_EQ(run.err, "");
    }
  }
  // strings lists the commands nested under it.
  EXPECT_NE(run_tool({"help", "strings"}).out.find("\n  strings export  "), std::string::npos);
}

TEST(ToolUsage, OverviewAndVersion) {
  const e2e::ProcessResult help = run_tool({"--help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: kelvane-dat COMMAND [ARGS]\n")) << help.out;
  for (const char* command :
       {"\n  info  ", "\n  ls  ", "\n  cat  ", "\n  strings  ", "\n  verify  "}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }

  const e2e::ProcessResult bare = run_tool({});
  EXPECT_EQ(bare.exit_status, 2);
  EXPECT_EQ(bare.out, "");
  EXPECT_EQ(bare.err, help.out);

  const e2e::ProcessResult version = run_tool({"--version"});
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_EQ(version.out, "kelvane-dat " KELVANE_DAT_VERSION_STRING "\n");
}

struct UsageCase {
  std::vector<std::string> args;
  std::string first_line;
  std::string help_hint = "Try 'kelvane-dat --help' for more information.";
};

TEST(ToolUsage, UsageErrorsExitWithTwo) {
  const std::string archive = KnownArchive::get().path();
  const auto hint = [](const char* command) {
    return "Try 'kelvane-dat " + std::string(command) + " --help' for more information.";
  };
  const UsageCase cases[] = {
      {{"frob"}, "kelvane-dat: unknown command 'frob'"},
      {{"--frob"}, "kelvane-dat: unknown option '--frob'"},
      {{"ls"}, "kelvane-dat: ls: missing ARCHIVE", hint("ls")},
      {{"cat", archive}, "kelvane-dat: cat: missing ID", hint("cat")},
      {{"ls", archive, "extra"}, "kelvane-dat: ls: unexpected argument 'extra'", hint("ls")},
      {{"ls", "--bogus", archive}, "kelvane-dat: ls: unknown option '--bogus'", hint("ls")},
      {{"ls", "-lx", archive}, "kelvane-dat: ls: unknown option '-x'", hint("ls")},
      {{"help", "frob"}, "kelvane-dat: unknown command 'frob'"},
      {{"ls", archive, "--type"},
       "kelvane-dat: ls: option '--type' needs a value (NAME)",
       hint("ls")},
      {{"verify", archive, "--jobs", "0"},
       "kelvane-dat: verify: --jobs: expected a whole number from 1 to 256, not '0'",
       hint("verify")},
      {{"verify", archive, "-jmany"},
       "kelvane-dat: verify: --jobs: expected a whole number from 1 to 256, not 'many'",
       hint("verify")},
      {{"cat", archive, "0x2300000G"},
       "kelvane-dat: cat: invalid file id '0x2300000G' (expected hexadecimal like 0x2300000A, or "
       "a decimal number)",
       hint("cat")},
      {{"cat", archive, "4294967296"},
       "kelvane-dat: cat: file id '4294967296' does not fit in 32 bits",
       hint("cat")},
      {{"strings", archive, "2300000A"},
       "kelvane-dat: strings: invalid file id '2300000A' (expected hexadecimal like 0x2300000A, "
       "or a decimal number)",
       hint("strings")},
      {{"help", "strings", "frob"}, "kelvane-dat: unknown command 'strings frob'"},
      {{"strings", "export", archive},
       "kelvane-dat: strings export: missing --format",
       hint("strings export")},
      {{"strings", "export", archive, "-f", "csv", "--table", "2300000A"},
       "kelvane-dat: strings export: invalid file id '2300000A' (expected hexadecimal like "
       "0x2300000A, or a decimal number)",
       hint("strings export")},
      {{"strings", "import", archive, "fr.po"},
       "kelvane-dat: strings import: missing --output",
       hint("strings import")},
  };
  for (const UsageCase& c : cases) {
    SCOPED_TRACE(c.first_line);
    const e2e::ProcessResult run = run_tool(c.args);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.first_line + "\n" + c.help_hint + "\n");
  }
}

// The generator once took "--help" for the name of the archive to write.
TEST(SampleGenerator, HasUsageAndRefusesUnknownOptions) {
  const e2e::ProcessResult help = e2e::run_process(KELVANE_SAMPLE_TOOL, {"--help"});
  EXPECT_EQ(help.exit_status, 0) << help.err;
  EXPECT_NE(help.out.find("Usage: make_sample_archive [OPTIONS] OUTPUT"), std::string::npos)
      << help.out;
  EXPECT_FALSE(std::filesystem::exists("--help"));
  const e2e::ProcessResult unknown = e2e::run_process(KELVANE_SAMPLE_TOOL, {"--bogus", "x.dat"});
  EXPECT_EQ(unknown.exit_status, 2);
  EXPECT_EQ(unknown.out, "");
  EXPECT_NE(unknown.err.find("--bogus"), std::string::npos) << unknown.err;
  EXPECT_FALSE(std::filesystem::exists("x.dat"));
}

TEST(ToolUsage, ArchivesThatCannotBeOpenedExitWithOne) {
  const test_support::TempFile short_file(Bytes(0x150, 0), "kelvane_tool_short");
  const std::string short_path = short_file.path().string();
  for (const char* command : {"info", "ls", "strings", "verify"}) {
    SCOPED_TRACE(command);
    const e2e::ProcessResult missing = run_tool({command, "/nonexistent/archive.dat"});
    EXPECT_EQ(missing.exit_status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err,
              "kelvane-dat: open /nonexistent/archive.dat: " + missing_archive_error() + "\n");
    // Ends inside the header.
    const e2e::ProcessResult truncated = run_tool({command, short_path});
    EXPECT_EQ(truncated.exit_status, 1);
    // The record context stays on the message's line.
    EXPECT_EQ(truncated.err, "kelvane-dat: open " + short_path +
                                 ": while parsing field 'subset' in DatHeader: failed to fill "
                                 "whole buffer\n");
  }
}

// What is wrong with the file named, in a person's words, before the library's details.
TEST(ToolUsage, WrongInputsAreToldInPlainWords) {
  const ScratchDirectory directory;
  const Bytes archive = read_file(KnownArchive::get().path()).value();
  Bytes foreign(0x400, 0x11);  // a root offset past the end: it does not open
  const std::uint8_t elf[] = {0x7F, 'E', 'L', 'F'};
  std::copy(std::begin(elf), std::end(elf), foreign.begin() + 0x140);
  const test_support::TempFile not_archive(foreign, "kelvane_tool_foreign");
  const Bytes half(archive.begin(),
                   archive.begin() + static_cast<std::ptrdiff_t>(archive.size() / 2));
  const test_support::TempFile truncated(half, "kelvane_tool_half");
  struct Case {
    std::string path;
    std::string err;
    // What info still shows of the header; empty where there is none.
    std::string magic_row;
  };
  const Case cases[] = {
      {directory.path().string(), "is a directory", ""},
      {"-", "archives must be seekable files", ""},
      {not_archive.path().string(), "not an archive (marker 0x464C457F, expected 0x00005442)",
       "magic           0x464C457F"},
      {truncated.path().string(),
       "truncated: the header says " + std::to_string(KnownArchive::get().header.file_size) +
           " bytes, the file has " + std::to_string(half.size()),
       "magic           0x00005442"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    const e2e::ProcessResult run = run_tool({"ls", c.path});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "kelvane-dat: " + c.path + ": " + c.err + "\n");
    const e2e::ProcessResult info = run_tool({"info", c.path});
    EXPECT_EQ(info.exit_status, 1);
    EXPECT_EQ(info.err, run.err);
    if (c.magic_row.empty()) {
      EXPECT_EQ(info.out, "");
      continue;
    }
    EXPECT_TRUE(info.out.starts_with("Archive:     " + c.path + "\n")) << info.out;
    EXPECT_NE(info.out.find("\n  " + c.magic_row + "\n"), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("Files:"), std::string::npos) << info.out;
  }
}

}  // namespace
}  // namespace kelvane_dat::cli::testing
