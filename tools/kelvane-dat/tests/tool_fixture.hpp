#pragma once

// The tool under test and the archives it is run on: a known archive whose every file and header
// field the tests know, and a damaged one with one fault of each kind verify looks for.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "e2e/process.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "nlohmann/json.hpp"
#include "support/temp_file.hpp"

namespace kelvane_dat::cli::testing {

using Bytes = std::vector<std::uint8_t>;

// A string table entry as the tool should show it: UTF-8 texts.
struct KnownEntry {
  std::uint32_t key = 0;
  std::uint32_t data_id = 0;
  std::vector<std::string> texts;
  std::vector<std::uint32_t> variables;
  bool worth_packing = false;
};

struct KnownTable {
  std::uint32_t id = 0;
  std::uint32_t language = 1;
  // Ascending by key, as the tool prints them.
  std::vector<KnownEntry> entries;
};

class KnownArchive {
 public:
  // Built once per test program.
  static const KnownArchive& get();

  std::string path() const { return file_->path().string(); }

  DatHeader header;
  // What each file holds, expanded.
  std::map<std::uint32_t, Bytes> contents;
  // The directory entries as the builder stored them.
  std::map<std::uint32_t, DatFileEntry> entries;
  // Ascending by id.
  std::vector<KnownTable> tables;

 private:
  KnownArchive();

  std::optional<test_support::TempFile> file_;
};

// An archive whose faults verify must each report. Each fault's file id and the line reported for
// it are listed in id order.
class DamagedArchive {
 public:
  static const DamagedArchive& get();

  std::string path() const { return file_->path().string(); }

  // What the checked fetch says of its two damaged compressed files.
  static inline const std::string kShortExpansion =
      "file 0A000001: the compressed payload yields 3 of the 100 bytes it declares";
  static inline const std::string kPayloadWithoutSize =
      "file 0A000002: the compressed payload has 2 bytes, too few to declare its size";
  // The undecodable table, and the one with bytes after its record.
  std::string truncated_table_error() const { return expected_errors[3]; }
  std::string trailing_bytes_error() const { return expected_errors[5]; }

  std::vector<std::string> expected_errors;
  std::size_t file_count = 0;

 private:
  DamagedArchive();

  std::optional<test_support::TempFile> file_;
};

// A fresh directory under the temporary directory, removed with everything in it at the end.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  ~ScratchDirectory();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The bytes of a file on disk; nullopt when it cannot be read.
std::optional<Bytes> read_file(const std::filesystem::path& path);
// The library's text for opening "/nonexistent/archive.dat" on this system: "No such file or
// directory (os error 2)" on Linux, the system's own message on Windows.
std::string missing_archive_error();

// Each line of `text` parsed as JSON (JSON Lines); a line that is not JSON fails the test that
// reads it by throwing.
std::vector<nlohmann::json> json_lines(const std::string& text);

// "0x2300000A": how the tool shows ids.
std::string hex_id(std::uint32_t id);

e2e::ProcessResult run_tool(const std::vector<std::string>& args,
                            e2e::TerminalStreams terminal = {});

}  // namespace kelvane_dat::cli::testing
