#pragma once

/// \file
/// DatFileEntry, the 24-byte directory entry that says where a stored file's chain starts, how
/// many bytes it holds and whether they are compressed.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <ostream>
#include <string>

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/export.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat {

/// One 24-byte directory entry: where a stored file's block chain starts and how many bytes it
/// holds. Six unsigned 32-bit little-endian fields in file order; values are taken as they are.
struct KELVANE_DAT_EXPORT DatFileEntry {
  /// The bytes an entry takes in a directory node.
  static constexpr std::size_t kEncodedSize = 24;
  /// The only flag bit anything interprets: the stored bytes are a compressed payload.
  static constexpr std::uint32_t kCompressedFlag = 0x1;

  /// Flag bits; only kCompressedFlag is interpreted.
  std::uint32_t bit_flags = 0;
  /// The file id, the key of DatDatabase::files().
  std::uint32_t id = 0;
  /// The file offset of the first block of the file's chain.
  std::uint32_t offset = 0;
  /// Bytes stored in the chain; for a compressed file, the compressed length.
  std::uint32_t size = 0;
  /// When the file was written, as the archive records it (not interpreted).
  std::uint32_t timestamp = 0;
  /// The file's version, as the archive records it (not interpreted).
  std::uint32_t version = 0;

  /// Decodes the entry at the cursor's position. On failure the error names the field that ran
  /// out and the cursor is moved back to the entry's first byte.
  [[nodiscard]] static std::expected<DatFileEntry, ReadError> read(ByteCursor& cursor);

  /// Whether the stored bytes are a compressed payload (decompress_lrs).
  bool is_compressed() const noexcept { return (bit_flags & kCompressedFlag) != 0; }

  /// "DatFileEntry { bit_flags: 1, id: 587202570, ... }", numbers in decimal.
  std::string debug_string() const;

  /// Equal when all six fields are, flags included.
  friend bool operator==(const DatFileEntry&, const DatFileEntry&) = default;
};

/// Writes the entry's debug_string().
KELVANE_DAT_EXPORT std::ostream& operator<<(std::ostream& out, const DatFileEntry& entry);

}  // namespace kelvane_dat
