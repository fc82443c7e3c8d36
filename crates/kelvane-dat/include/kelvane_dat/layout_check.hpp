#pragma once

/// \file
/// The layout check: which bytes of an archive each chain claims, and where two claims meet.
///
/// In an archive written by a sound writer every block belongs to one file or one directory node.
/// Chains that share blocks make no single read wrong, but they make reading every file cost
/// entries times sizes: 100,000 entries over one 32 MiB chain fit in 42 MB and read as 3.3 TB.
/// Whole-archive operations run this check first and refuse such an archive, or read each distinct
/// chain once.

#include <cstdint>
#include <string>
#include <vector>

#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/export.hpp"

namespace kelvane_dat {

/// What claims a range of the archive file.
struct KELVANE_DAT_EXPORT LayoutOwner {
  /// What kind of owner this is.
  enum class Kind : std::uint8_t { Header, DirectoryNode, File };

  /// The owner's kind.
  Kind kind = Kind::Header;
  /// The file id of a File, the offset of a DirectoryNode, 0 for the Header.
  std::uint32_t value = 0;

  /// "the header", "directory node 0x00173000", "file 0x06001000".
  std::string to_string() const;
  /// Equal when kind and value are: the same file, node or header.
  friend bool operator==(const LayoutOwner&, const LayoutOwner&) = default;
};

/// A range of the file claimed twice: by `first`, met earlier in the check's order, and by the
/// chain of `second`, whose walk stopped there. Both are the same owner when a chain runs into its
/// own blocks, or when two branches lead to one directory node.
struct KELVANE_DAT_EXPORT LayoutOverlap {
  /// The owner met first.
  LayoutOwner first;
  /// The owner whose walk stopped at the range.
  LayoutOwner second;
  /// Where the range starts in the file.
  std::uint32_t offset = 0;
  /// How many bytes it spans.
  std::uint64_t length = 0;

  /// "file 0x00000002 and file 0x00000001 both claim 1024 bytes at 0x00000400".
  std::string to_string() const;
  /// Equal when both owners, the offset and the length are.
  friend bool operator==(const LayoutOverlap&, const LayoutOverlap&) = default;
};

/// What check_layout found: the ranges claimed twice and how the file's bytes divide up.
struct ArchiveLayout {
  /// In the order the check met them; at most one per chain.
  std::vector<LayoutOverlap> overlaps;
  /// Bytes claimed by file chains. Each byte counts once in one of file_bytes, directory_bytes and
  /// unclaimed_bytes, so with the header's 0x190 bytes the three add up to the file's length.
  std::uint64_t file_bytes = 0;
  /// Bytes claimed by directory node chains.
  std::uint64_t directory_bytes = 0;
  /// Bytes claimed by nothing: neither a chain nor the header.
  std::uint64_t unclaimed_bytes = 0;
};

/// Walks the chain of every directory node (in the order open read them), then of every file (by
/// offset, then id), reading only block pointers, and records the bytes each block gives its chain:
/// the pointer and the payload share it contributes. A block whose bytes are already claimed adds
/// an overlap and ends its chain's walk, so the work grows with the file's length, not with entries
/// times sizes, and memory with the number of blocks walked. A chain the reader could not follow
/// (a block past the end of the file, a payload start beyond 32 bits, no room for payload) ends
/// where a read would fail; its file reports that when fetched. Fails only with DatError::Io when
/// reading a pointer fails.
[[nodiscard]] KELVANE_DAT_EXPORT Result<ArchiveLayout> check_layout(const DatDatabase& archive);

}  // namespace kelvane_dat
