// kelvane-dat rm ARCHIVE ID...: removes files from an archive, all of them in one crash-safe
// commit.

#include "commands.hpp"

#include <cstdint>
#include <string>
#include <vector>

#include "archive.hpp"
#include "archive_edit.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

struct RmOptions {
  std::string archive;
  std::vector<std::uint32_t> ids;
};

constexpr const char* kRmDetails =
    "Every file is removed, or none: an id the archive lacks is reported and nothing changes.\n"
    "The blocks of the removed files join the free list; compact gives the space back. As\n"
    "with put, a crash leaves the old archive or the new one, and a second writer is refused.\n";

int run(const RmOptions& options) {
  std::optional<ArchiveTransaction> transaction = open_for_writing(options.archive);
  if (!transaction) return kExitArchiveError;
  for (const std::uint32_t id : options.ids) {
    if (const Result<void> removed = transaction->remove(id); !removed) {
      report_fetch_error(id, removed.error());
      return kExitArchiveError;
    }
  }
  if (!commit_changes(*transaction, options.archive)) return kExitArchiveError;
  write_out("removed " + counted(options.ids.size(), "file") + " from " + options.archive + "\n");
  return finish_output(kExitSuccess);
}

}  // namespace

void add_rm_command(CommandSet& commands) {
  const auto [app, options] =
      commands.add<RmOptions>("rm", "remove files from an archive", kRmDetails, &run);
  add_path_argument(app, "ARCHIVE", options.archive, "the archive to change");
  add_file_ids_argument(app, options.ids, "the ids of the files, hexadecimal (0x...) or decimal");
}

}  // namespace kelvane_dat::cli
