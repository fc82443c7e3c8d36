// kelvane-dat compact ARCHIVE OUT [--force]: the archive rewritten without free or unclaimed
// blocks, every chain contiguous.

#include "commands.hpp"

#include <filesystem>
#include <string>

#include "archive.hpp"
#include "kelvane_dat/archive_writer.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

struct CompactOptions {
  std::string archive;
  std::string out;
  bool force = false;
};

constexpr const char* kCompactDetails =
    "OUT keeps every file's stored bytes, flags, timestamp and version, and the header fields\n"
    "the writer does not keep itself. It is written under a temporary name and renamed when\n"
    "complete; an existing OUT is refused unless --force is given, and OUT may not be ARCHIVE\n"
    "itself, which a writer could be changing meanwhile.\n";

int run(const CompactOptions& options) {
  namespace fs = std::filesystem;
  const fs::path source = kelvane_platform::path_from_utf8(options.archive);
  const fs::path destination = kelvane_platform::path_from_utf8(options.out);
  std::error_code error;
  if (fs::exists(destination, error)) {
    if (fs::equivalent(source, destination, error)) {
      report_error("compact " + options.archive, "OUT is the archive itself; name another file");
      return kExitUsage;
    }
    if (!options.force) {
      report_error("compact to " + options.out, "the file exists; use --force to replace it");
      return kExitUsage;
    }
  }
  if (const Result<void> compacted = compact(source, destination); !compacted) {
    report_error("compact " + options.archive, error_text(compacted.error()));
    return kExitArchiveError;
  }
  const std::uintmax_t before = fs::file_size(source, error);
  const std::uintmax_t after = fs::file_size(destination, error);
  write_out("compacted " + options.archive + " (" + counted(before, "byte") + ") to " +
            options.out + " (" + counted(after, "byte") + ")\n");
  return finish_output(kExitSuccess);
}

}  // namespace

void add_compact_command(CommandSet& commands) {
  const auto [app, options] = commands.add<CompactOptions>(
      "compact", "rewrite an archive into a new file without free or unclaimed space",
      kCompactDetails, &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive");
  add_path_argument(app, "OUT", options.out, "the compacted archive to write");
  app.add_flag("-f,--force", options.force, "replace OUT when it exists");
}

}  // namespace kelvane_dat::cli
