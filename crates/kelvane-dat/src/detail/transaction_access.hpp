#pragma once

// Opening a transaction over another file layer than the system's: the crash tests' file, which
// forgets unsynced writes.

#include <filesystem>
#include <memory>

#include "detail/archive_file.hpp"
#include "kelvane_dat/archive_transaction.hpp"

namespace kelvane_dat {

// `file` holds the same bytes as the archive at `path`, which is read to check the layout.
[[nodiscard]] Result<ArchiveTransaction> open_transaction_on(
    const std::filesystem::path& path, std::unique_ptr<detail::ArchiveFile> file);

}  // namespace kelvane_dat
