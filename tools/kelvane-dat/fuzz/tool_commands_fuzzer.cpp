// Runs the kelvane-dat commands in-process on an archive made of the input bytes: info, ls,
// strings, strings export, verify, and diff of the archive against itself, with their output
// captured.
//
// Properties: a command exits 0 or 1 (diff 0 or 2), never with a usage error, and every line it
// writes to standard error starts with the program's name. An archive that cannot be opened makes
// each command say so in one line and exit 1 (diff 2), info showing its header when the file holds
// one. Otherwise info exits 0 and shows the file count and the layout check's overlaps, whose byte
// counts add up to the file's length; ls lists every id in ascending order; strings, and strings
// export with --allow-overlap, report exactly the string tables that cannot be decoded; verify
// reports each overlap first, reads every file but those whose chains ran into claimed bytes, and
// exits 1 exactly when it reported a failure, which its summary counts; diff finds no difference,
// refuses overlapping chains unless --allow-overlap is given, and with it exits 2 exactly when it
// names, in id order, the files that cannot be read.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "commands.hpp"
#include "detail/debug_format.hpp"
#include "fuzz_check.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "memory_file.hpp"
#include "report.hpp"

namespace {

using namespace kelvane_dat;
using fuzz::require;

struct Run {
  int status;
  std::string out;
  std::string err;
};

Run run_tool(std::vector<std::string> args) {
  cli::CapturedOutput capture;
  const int status = cli::run_tool(args);
  return {status, capture.out(), capture.err()};
}

std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    require(end != std::string_view::npos, "output ends with a line break");
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<std::string_view> checked_errors(const Run& run) {
  require(run.status == cli::kExitSuccess || run.status == cli::kExitArchiveError,
          "a command exits 0 or 1");
  std::vector<std::string_view> errors = lines_of(run.err);
  for (const std::string_view line : errors) {
    require(line.starts_with("kelvane-dat: "), "an error line names the program");
  }
  return errors;
}

bool contains(std::string_view text, const std::string& part) {
  return text.find(part) != std::string_view::npos;
}

void check_info(const DatDatabase& archive, const ArchiveLayout& layout, const Run& run) {
  require(checked_errors(run).empty() && run.status == cli::kExitSuccess,
          "info succeeds on an archive that opens");
  require(contains(run.out, "\nFiles:       " + std::to_string(archive.files().size()) + "\n"),
          "info counts every file");
  require(
      contains(run.out, "\n  overlaps         " + std::to_string(layout.overlaps.size()) + "\n"),
      "info counts the overlaps");
}

void check_ls(const DatDatabase& archive, const Run& run) {
  require(checked_errors(run).empty() && run.status == cli::kExitSuccess,
          "ls succeeds on an archive that opens");
  const std::vector<std::string_view> lines = lines_of(run.out);
  const std::vector<std::uint32_t> ids = archive.ids();
  require(lines.size() == ids.size(), "ls lists every file once");
  for (std::size_t i = 0; i < ids.size(); ++i) {
    require(lines[i].starts_with(hex0x8(ids[i]) + "  "), "ls lists ids in ascending order");
  }
}

// The string tables whose bytes cannot be fetched or decoded. strings takes a table's bytes through
// the checked fetch and refuses one whose record leaves bytes over.
std::size_t undecodable_tables(const DatDatabase& archive) {
  std::size_t undecodable = 0;
  for (const std::uint32_t id : archive.ids(DatFileType::StringTable)) {
    const Result<std::vector<std::uint8_t>> bytes = archive.get_file_checked(id);
    if (!bytes) {
      ++undecodable;
      continue;
    }
    ByteCursor cursor(*bytes);
    if (!StringTable::read_le(cursor) || cursor.position() != bytes->size()) ++undecodable;
  }
  return undecodable;
}

// strings, and strings export, which reads each table through its own view of the stored bytes
// instead of the library's decoder: both report exactly the tables that cannot be decoded.
void check_table_reports(std::size_t undecodable, const Run& run, const std::string& command) {
  const std::size_t errors = checked_errors(run).size();
  require(errors == undecodable, command + " reports each table that cannot be decoded");
  require((run.status == cli::kExitArchiveError) == (errors > 0),
          command + " fails exactly when it reported a table");
}

void check_verify(const DatDatabase& archive, const ArchiveLayout& layout, const Run& run) {
  const std::vector<std::string_view> errors = checked_errors(run);
  require(errors.size() >= layout.overlaps.size(), "verify reports every overlap");
  std::unordered_set<std::uint32_t> not_read;
  for (std::size_t i = 0; i < layout.overlaps.size(); ++i) {
    const LayoutOverlap& overlap = layout.overlaps[i];
    require(errors[i] == "kelvane-dat: layout: " + overlap.to_string(),
            "verify reports the overlaps first, naming both owners");
    if (overlap.second.kind == LayoutOwner::Kind::File) not_read.insert(overlap.second.value);
  }
  const std::size_t read = archive.files().size() - not_read.size();
  require(
      run.out.starts_with("checked " + std::to_string(read) + (read == 1 ? " file " : " files ")),
      "verify reads every file whose chain claims no byte twice");
  const std::string verdict = errors.empty() ? "no failures"
                                             : std::to_string(errors.size()) +
                                                   (errors.size() == 1 ? " failure" : " failures");
  require(run.out.ends_with("): " + verdict + "\n"), "verify's summary counts its failures");
  require((run.status == cli::kExitArchiveError) == !errors.empty(),
          "verify fails exactly when it reported a failure");
}

// Every line diff writes to standard error: it names the program, and diff then exits 2.
std::vector<std::string_view> diff_errors(const Run& run) {
  require(run.out.empty(), "an archive does not differ from itself");
  std::vector<std::string_view> errors = lines_of(run.err);
  for (const std::string_view line : errors) {
    require(line.starts_with("kelvane-dat: "), "an error line names the program");
  }
  require(run.status == (errors.empty() ? cli::kExitSuccess : cli::kExitTrouble),
          "diff exits 2 exactly when it reported trouble, 0 otherwise");
  return errors;
}

void check_diff(const DatDatabase& archive, const ArchiveLayout& layout, const std::string& path) {
  const Run checked = run_tool({"diff", path, path});
  const Run allowed = run_tool({"diff", "--allow-overlap", path, path});
  const std::vector<std::string_view> refusal = diff_errors(checked);
  if (layout.overlaps.empty()) {
    require(checked.err == allowed.err, "--allow-overlap changes nothing without overlaps");
  } else {
    require(refusal.size() == layout.overlaps.size() + 1 &&
                refusal.back().starts_with("kelvane-dat: refuse " + path + ": "),
            "diff refuses overlapping chains, after naming each overlap");
    for (std::size_t i = 0; i < layout.overlaps.size(); ++i) {
      require(refusal[i] == "kelvane-dat: layout: " + layout.overlaps[i].to_string(),
              "diff names each overlap as verify does");
    }
  }
  std::vector<std::uint32_t> unreadable;
  for (const std::uint32_t id : archive.ids()) {
    if (!archive.get_file_checked(id)) unreadable.push_back(id);
  }
  const std::vector<std::string_view> errors = diff_errors(allowed);
  require(errors.size() == unreadable.size(), "diff reports each file it cannot read");
  for (std::size_t i = 0; i < errors.size(); ++i) {
    require(errors[i].starts_with("kelvane-dat: read " + hex0x8(unreadable[i]) + " in " + path),
            "diff names the files it cannot read in id order");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::MemoryFile file;
  const std::string path = file.hold(fuzz::input_bytes(data, size)).string();
  const std::vector<std::string> commands = {"info", "ls", "strings", "verify"};

  const Result<DatDatabase> archive = DatDatabase::open(path);
  if (!archive) {
    // The library's reason after "open PATH", or the tool's plainer one (a foreign marker, a
    // truncated file) after the path alone.
    const auto names_the_archive = [&path](std::string_view line) {
      return line.starts_with("kelvane-dat: open " + path + ": ") ||
             line.starts_with("kelvane-dat: " + path + ": ");
    };
    // info still shows the header of a file long enough to hold one; the others show nothing.
    const bool holds_header = size >= DatHeader::kFileOffset + DatHeader::kEncodedSize;
    for (const std::string& command : commands) {
      const Run run = run_tool({command, path});
      const std::vector<std::string_view> errors = checked_errors(run);
      require(run.status == cli::kExitArchiveError && errors.size() == 1 &&
                  names_the_archive(errors[0]),
              "an archive that cannot be opened is one error line");
      const bool shows_header = command == "info" && holds_header;
      require(shows_header ? run.out.starts_with("Archive:") : run.out.empty(),
              "info shows the header of an archive that cannot be opened, and only info");
    }
    const Run diff = run_tool({"diff", path, path});
    const std::vector<std::string_view> errors = diff_errors(diff);
    require(errors.size() == 1 && names_the_archive(errors[0]),
            "diff names an archive it cannot open in one error line");
    return 0;
  }
  const Result<ArchiveLayout> layout = check_layout(*archive);
  require(layout.has_value(), "the layout check reads a file in memory");
  const std::uint64_t header_bytes = std::min<std::uint64_t>(size, 0x190);
  require(
      header_bytes + layout->file_bytes + layout->directory_bytes + layout->unclaimed_bytes == size,
      "every byte of the file is claimed once or unclaimed");

  check_info(*archive, *layout, run_tool({"info", path}));
  check_ls(*archive, run_tool({"ls", path}));
  const std::size_t undecodable = undecodable_tables(*archive);
  check_table_reports(undecodable, run_tool({"strings", path}), "strings");
  check_table_reports(undecodable,
                      run_tool({"strings", "export", "--allow-overlap", path, "-f", "csv"}),
                      "strings export");
  check_verify(*archive, *layout, run_tool({"verify", path}));
  check_diff(*archive, *layout, path);
  return 0;
}
