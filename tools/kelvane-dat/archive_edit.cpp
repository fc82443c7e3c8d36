#include "archive_edit.hpp"

#include "archive.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

std::optional<ArchiveTransaction> open_for_writing(const std::string& path) {
  Result<ArchiveTransaction> transaction =
      ArchiveTransaction::open(kelvane_platform::path_from_utf8(path));
  if (!transaction) {
    report_error(path, error_text(transaction.error()));
    return std::nullopt;
  }
  return std::move(*transaction);
}

bool commit_changes(ArchiveTransaction& transaction, const std::string& path) {
  if (transaction.rebuilds_free_list()) {
    write_err(std::string(kProgramName) + ": " + path +
              ": the free list was damaged; rebuilding it from the unclaimed blocks\n");
  }
  if (transaction.rebuilds_directory()) {
    write_err(std::string(kProgramName) + ": " + path +
              ": the directory is not a sound B-tree; writing it anew\n");
  }
  if (const Result<void> committed = transaction.commit(); !committed) {
    report_error("commit to " + path, error_text(committed.error()));
    return false;
  }
  return true;
}

}  // namespace kelvane_dat::cli
