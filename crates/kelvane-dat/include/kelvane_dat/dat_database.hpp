#pragma once

/// \file
/// The archive handle: DatDatabase opens an archive, holds its header and its whole directory, and
/// reads any stored file by id; OpenOptions chooses how it reads.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/export.hpp"
#include "kelvane_dat/file_type/dat_kind.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "kelvane_dat/file_view.hpp"

namespace kelvane_dat {

namespace detail {
struct OpenArchive;
class DatDatabaseInternals;
}  // namespace detail

/// How DatDatabase::open reads the archive.
struct OpenOptions {
  /// Maps the archive read-only and serves every chain from memory instead of positioned reads:
  /// the same bytes and errors, without a system call per fetch. The hazard of any mapped file:
  /// if another process truncates the archive while it is open, touching the lost pages raises
  /// SIGBUS and ends the process. Off by default.
  bool mapped = false;
};

/// An open archive: its header, its whole directory and the open file.
///
/// The directory is read eagerly at open, file contents lazily: every get_file reads the file again
/// and nothing is cached. A handle exists only fully opened and never changes afterwards; all reads
/// are positioned reads, so one handle may serve several threads at once. Movable, not copyable;
/// destroying it closes the file. A handle that was moved from may only be destroyed or assigned
/// to.
class KELVANE_DAT_EXPORT DatDatabase {
 public:
  /// A directory node: 62 child offsets, an entry count and room for 61 entries.
  static constexpr std::size_t kBranchCount = 62;
  /// The entries a directory node has room for.
  static constexpr std::size_t kMaxEntries = 61;
  /// The bytes a directory node takes in its chain: the child offsets, the count and the entries.
  static constexpr std::uint32_t kNodeSize = 1716;
  /// Bounds for hostile directories. Real trees are a handful of levels deep; a legitimate tree
  /// reads each node once and no two nodes share a byte of the file.
  static constexpr std::size_t kMaxDirectoryDepth = 64;

  /// Opens the archive at `path`, decodes its header (not validated) and reads the whole directory.
  /// On any failure the file is closed and no handle exists. Failures: PathError (the path as
  /// given) when the file cannot be opened, BinRead when the header cannot be decoded, Io when a
  /// directory node cannot be read, BinRead when a node's entries overrun it, Corruption for a
  /// directory that loops, nests deeper than kMaxDirectoryDepth or needs more node reads than the
  /// file has runs of 1720 bytes (a node and one block pointer), or 64 in a smaller file.
  /// With `options.mapped`, a failure to map the file is Io.
  [[nodiscard]] static Result<DatDatabase> open(const std::filesystem::path& path,
                                                OpenOptions options = {});

  /// Takes over the open file of `other`, which is left without one.
  DatDatabase(DatDatabase&&) noexcept;
  /// Closes this handle's file and takes over the open file of `other`.
  DatDatabase& operator=(DatDatabase&&) noexcept;
  DatDatabase(const DatDatabase&) = delete;
  DatDatabase& operator=(const DatDatabase&) = delete;
  /// Closes the file.
  ~DatDatabase();

  /// The decoded header, as read at open.
  const DatHeader& header() const noexcept { return header_; }
  /// Every entry of the directory, keyed by file id, in no particular order. Where an id occurs
  /// more than once the entry met last in the pre-order walk wins.
  const std::unordered_map<std::uint32_t, DatFileEntry>& files() const noexcept { return files_; }
  /// The entry of file `id`, or nullptr when the directory has none.
  const DatFileEntry* find(std::uint32_t id) const noexcept;
  /// The kind of archive the header describes (DatHeader::dat_kind).
  DatKind dat_kind() const noexcept { return header_.dat_kind(); }
  /// What file `id` holds, as an archive of this kind means its ids.
  DatFileType file_type(std::uint32_t id) const noexcept { return from_id_in_dat(id, dat_kind()); }

  /// The ids of every file, or of the files of one type, ascending.
  std::vector<std::uint32_t> ids(std::optional<DatFileType> type = std::nullopt) const;
  /// The same ids in the order their chains start in the file (ties by id), so that reading many
  /// files one after the other moves through the archive instead of seeking back and forth.
  std::vector<std::uint32_t> ids_in_storage_order(
      std::optional<DatFileType> type = std::nullopt) const;

  /// The file's bytes, expanded when its entry is compressed. NotFound for an unknown id.
  [[nodiscard]] Result<std::vector<std::uint8_t>> get_file(std::uint32_t id) const;
  /// get_file into a caller's buffer, for callers that read many files: `out` is replaced by the
  /// file's bytes, reusing its capacity, and left empty on failure.
  [[nodiscard]] Result<void> get_file_into(std::uint32_t id, std::vector<std::uint8_t>& out) const;
  /// get_file for callers that hand the bytes on: the same bytes, except that a compressed file
  /// whose payload is damaged is an error instead of the bytes expanded before the damage. A
  /// payload shorter than its 4-byte declared size, or one that expands to fewer bytes than it
  /// declares, is Corruption naming the id and both sizes ("file 0A000001: the compressed payload
  /// yields 3 of the 100 bytes it declares"). get_file itself passes such bytes on, as the format
  /// has it.
  [[nodiscard]] Result<std::vector<std::uint8_t>> get_file_checked(std::uint32_t id) const;
  /// get_file_checked into a caller's buffer, as get_file_into: left empty on failure.
  [[nodiscard]] Result<void> get_file_checked_into(std::uint32_t id,
                                                   std::vector<std::uint8_t>& out) const;
  /// get_file into caller memory that is not a vector (another language's byte buffer): the file's
  /// bytes are written from the start of `out`, and their count returned. Besides get_file's
  /// errors, Other when `out` is shorter than the file: for a file stored uncompressed, whose
  /// length the directory gives, before anything is read. What `out` holds after a failure is
  /// unspecified.
  [[nodiscard]] Result<std::size_t> get_file_to(std::uint32_t id,
                                                std::span<std::uint8_t> out) const;
  /// The file's bytes without a copy where the archive is mapped (see FileView): the bytes and the
  /// errors of get_file, for callers that only look at them.
  [[nodiscard]] Result<FileView> view_file(std::uint32_t id) const;
  /// view_file with get_file_checked's check: a compressed payload that expands short of its
  /// declared size is Corruption instead of a view of the bytes expanded before the damage.
  [[nodiscard]] Result<FileView> view_file_checked(std::uint32_t id) const;
  /// The string table stored as file `id`, decoded. NotFound for an unknown id; BinRead when its
  /// bytes are not a string table. Bytes after the table are not looked at.
  [[nodiscard]] Result<StringTable> string_table(std::uint32_t id) const;
  /// Gathers `size` bytes from the chain of blocks whose first block is at `offset`: each block
  /// gives its share after its 4-byte next pointer, and a zero pointer means the rest follows
  /// contiguously. The bytes as stored, not expanded. Io when a read fails (also past the end of
  /// the file), Corruption for a chain that cannot be followed (a block size of 4 or less, a
  /// payload start beyond 32 bits) or that would need more bytes than the file has.
  [[nodiscard]] Result<std::vector<std::uint8_t>> read_file_data(std::uint32_t offset,
                                                                 std::uint32_t size) const;

 private:
  friend class detail::DatDatabaseInternals;

  DatDatabase(DatHeader header, std::unique_ptr<detail::OpenArchive> archive);

  // get_file_into and get_file_checked_into: one fetch, with or without the check of the expansion.
  Result<void> fetch_into(std::uint32_t id, std::vector<std::uint8_t>& out, bool checked) const;
  // view_file and view_file_checked.
  Result<FileView> view_into(std::uint32_t id, bool checked) const;

  DatHeader header_;
  std::unordered_map<std::uint32_t, DatFileEntry> files_;
  std::unique_ptr<detail::OpenArchive> archive_;
};

}  // namespace kelvane_dat
