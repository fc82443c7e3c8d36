#pragma once

/// \file
/// Writing a new archive, and rewriting one compactly.
///
/// What every archive this library writes keeps (the free list, the directory as a real B-tree,
/// `file_size`) is the contract in docs/format.md.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/export.hpp"

namespace kelvane_dat {

/// How a file is stored.
struct FileOptions {
  /// Store the file as a compressed payload (compress_lrs) and set the compressed flag.
  bool compress = false;
  /// The entry's timestamp, kept as given.
  std::uint32_t timestamp = 0;
  /// The entry's version, kept as given.
  std::uint32_t version = 0;
};

/// Builds a new archive: every chain contiguous, the directory bulk-loaded as a full B-tree.
///
/// The archive is written under a temporary name beside `path` (`path` + ".partial") and only
/// renamed to `path` by finish(), after everything is synced, so no half-written archive ever
/// appears under the final name. Destroying the writer before finish() removes the temporary file.
/// Files are written as they are added; only their directory entries are kept in memory.
/// Movable, not copyable.
class KELVANE_DAT_EXPORT ArchiveWriter {
 public:
  /// Smaller blocks leave too little room for payload to be worth a block pointer.
  static constexpr std::uint32_t kMinBlockSize = 16;

  /// Starts an archive at `path` with `header`'s fields: its block_size is the block size, and the
  /// fields the writer owns (file_size, free_head, free_tail, free_count, root_offset) are
  /// replaced; the others (magic, dataset, LRU fields, versions, version_string...) are written as
  /// given. To copy them from another archive, pass its DatDatabase::header(). Other when the
  /// block size is below kMinBlockSize; PathError when the temporary file cannot be created.
  [[nodiscard]] static Result<ArchiveWriter> create(const std::filesystem::path& path,
                                                    const DatHeader& header);

  /// Takes over `other`'s unfinished archive.
  ArchiveWriter(ArchiveWriter&& other) noexcept;
  /// Abandons this writer's unfinished archive and takes over `other`'s.
  ArchiveWriter& operator=(ArchiveWriter&& other) noexcept;
  ArchiveWriter(const ArchiveWriter&) = delete;
  ArchiveWriter& operator=(const ArchiveWriter&) = delete;
  /// Removes the temporary file unless finish() succeeded.
  ~ArchiveWriter();

  /// Stores `data` as file `id`. DuplicateId when `id` was added before; Other when the stored
  /// bytes would not fit a 32-bit size or the archive would outgrow 32-bit offsets; Io when
  /// writing fails.
  [[nodiscard]] Result<void> add(std::uint32_t id, std::span<const std::uint8_t> data,
                                 const FileOptions& options = {});
  /// Stores `stored` exactly as given, with `entry`'s id, bit_flags, timestamp and version (its
  /// offset and size are the writer's): a compressed payload copied from another archive stays
  /// byte for byte the same. Fails as add().
  [[nodiscard]] Result<void> add_stored(const DatFileEntry& entry,
                                        std::span<const std::uint8_t> stored);

  /// Writes the directory and the header, syncs and renames the file to its final name. The
  /// writer is done afterwards, whatever the result.
  [[nodiscard]] Result<void> finish();

 private:
  struct State;
  explicit ArchiveWriter(std::unique_ptr<State> state);

  std::unique_ptr<State> state_;
};

/// Rewrites the archive at `source` into a new archive at `destination`, without unclaimed or
/// free blocks, every chain contiguous, the directory a full B-tree; the header fields the writer
/// does not own are copied, and every file's stored bytes, flags, timestamp and version are kept.
/// Errors of opening `source` and reading its files, or of ArchiveWriter.
[[nodiscard]] KELVANE_DAT_EXPORT Result<void> compact(const std::filesystem::path& source,
                                                      const std::filesystem::path& destination);

}  // namespace kelvane_dat
