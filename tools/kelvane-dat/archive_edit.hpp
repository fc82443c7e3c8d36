#pragma once

// What put and rm share: a transaction on the archive, opened and committed with the tool's
// reports.

#include <optional>
#include <string>

#include "kelvane_dat/archive_transaction.hpp"

namespace kelvane_dat::cli {

// Opens a transaction on the archive at `path`; on failure reports why ("PATH: archive is locked
// by another writer", or for overlapping chains the layout check's message) and returns nothing.
std::optional<ArchiveTransaction> open_for_writing(const std::string& path);

// Commits `transaction`, first saying on standard error when the commit rewrites a damaged free
// list or directory, which the archive's owner should know happened. False, reported, on failure.
bool commit_changes(ArchiveTransaction& transaction, const std::string& path);

}  // namespace kelvane_dat::cli
