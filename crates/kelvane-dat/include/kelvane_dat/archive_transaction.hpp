#pragma once

/// \file
/// Changing an archive in place, so that a crash at any moment leaves it with either the old
/// contents or the new ones.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "kelvane_dat/archive_writer.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/export.hpp"

namespace kelvane_dat {

namespace detail {
class ArchiveFile;
struct TransactionState;
}  // namespace detail

/// A set of changes to an existing archive: put() and remove() collect them, commit() makes them
/// all at once. Destroying a transaction without commit() changes nothing.
///
/// One writer at a time: open() takes an advisory lock on the archive for the transaction's life,
/// and a second writer's open() fails at once with "archive is locked by another writer". Readers
/// are never locked out.
///
/// A commit never overwrites anything the archive's header on disk reaches. New chains and the
/// changed directory nodes (one root-to-leaf path per change) go into free blocks or blocks
/// appended to the file; after a sync, the new header is written and synced; only then are the
/// blocks of the old version added to the free list (and the header written and synced once
/// more). A crash leaves the old header and everything it reaches, or the new one.
///
/// A DatDatabase opened before a commit keeps the directory it read and goes on reading the old
/// versions of changed files: their blocks are freed by the commit but not overwritten. A later
/// commit may reuse those blocks, and the old handle then reads whatever was written there (never
/// beyond its own file's bounds). Open the archive again after a commit to see the new contents.
///
/// The archive must be sound: open() refuses one whose chains overlap. A directory that is not a
/// B-tree as this library writes them is rewritten whole by the commit, and a free list that is
/// cyclic, runs into claimed bytes or disagrees with free_count is rebuilt from the blocks nothing
/// claims. Movable, not copyable.
class KELVANE_DAT_EXPORT ArchiveTransaction {
 public:
  /// Opens the archive at `path` for changing, with its writer's lock. Fails with PathError when it
  /// cannot be opened for writing; Other("archive is locked by another writer"); any error of
  /// DatDatabase::open and check_layout; Corruption with the layout check's message for the first
  /// overlap when chains overlap; Other when its block size is below ArchiveWriter::kMinBlockSize.
  [[nodiscard]] static Result<ArchiveTransaction> open(const std::filesystem::path& path);

  /// Takes over `other`'s changes and lock.
  ArchiveTransaction(ArchiveTransaction&& other) noexcept;
  /// Drops this transaction's changes and lock, and takes over `other`'s.
  ArchiveTransaction& operator=(ArchiveTransaction&& other) noexcept;
  ArchiveTransaction(const ArchiveTransaction&) = delete;
  ArchiveTransaction& operator=(const ArchiveTransaction&) = delete;
  /// Drops the changes not committed and releases the lock.
  ~ArchiveTransaction();

  /// Stores `data` as file `id`, adding it or replacing the file of that id. Compressing happens
  /// here; the bytes are kept in memory until commit(). Other when the stored size does not fit 32
  /// bits.
  [[nodiscard]] Result<void> put(std::uint32_t id, std::span<const std::uint8_t> data,
                                 const FileOptions& options = {});
  /// Stores `stored` exactly as given under `entry`'s id, flags, timestamp and version.
  [[nodiscard]] Result<void> put_stored(const DatFileEntry& entry,
                                        std::span<const std::uint8_t> stored);
  /// Removes file `id`. NotFound when neither the archive nor this transaction has it.
  [[nodiscard]] Result<void> remove(std::uint32_t id);

  /// Writes the changes as described above. A transaction commits once; afterwards (and after a
  /// failed commit, which leaves the archive as it was or with the changes made) every call fails.
  [[nodiscard]] Result<void> commit();

  /// Whether open() found the free list broken; the commit writes a rebuilt one.
  bool rebuilds_free_list() const noexcept;
  /// Whether open() found a directory that is not a B-tree; the commit writes it anew.
  bool rebuilds_directory() const noexcept;

 private:
  // Outside the class, so that a shared library exports none of its members.
  explicit ArchiveTransaction(std::unique_ptr<detail::TransactionState> state);
  /// open() over another file layer than the system's (the crash tests'), whose bytes are those of
  /// the archive at `path`.
  friend Result<ArchiveTransaction> open_transaction_on(const std::filesystem::path& path,
                                                        std::unique_ptr<detail::ArchiveFile> file);

  std::unique_ptr<detail::TransactionState> state_;
};

}  // namespace kelvane_dat
