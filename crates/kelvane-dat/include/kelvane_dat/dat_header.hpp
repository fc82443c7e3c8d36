#pragma once

/// \file
/// DatHeader, the fixed record at offset 0x140 that gives an archive's block size, root directory
/// node and versions, and header_fields, its fields as text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "kelvane_dat/export.hpp"
#include "kelvane_dat/file_type/dat_kind.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat {

/// The fixed 80-byte record at file offset 0x140. Field order is file order; every integer is
/// unsigned 32-bit little-endian. Nothing is validated: only dat_kind() ever looks at `magic`.
struct KELVANE_DAT_EXPORT DatHeader {
  /// Where every archive keeps its header; the bytes before it are never read.
  static constexpr std::uint64_t kFileOffset = 0x140;
  /// The bytes the header takes in the file.
  static constexpr std::size_t kEncodedSize = 80;
  /// "BT" followed by two zero bytes, read little-endian.
  static constexpr std::uint32_t kMagic = 0x5442;

  /// The archive's marker; kMagic in the archives this library knows.
  std::uint32_t magic = 0;
  /// The size of every block, its 4-byte pointer included.
  std::uint32_t block_size = 0;
  /// The file's length as the archive records it (not checked against the file).
  std::uint32_t file_size = 0;
  /// With the magic and the block size, tells the archive's DatKind.
  std::uint32_t dataset = 0;
  /// Stored as read; not interpreted.
  std::uint32_t subset = 0;
  /// Free-block bookkeeping of the archive's writer; not interpreted.
  std::uint32_t free_head = 0;
  /// Free-block bookkeeping of the archive's writer; not interpreted.
  std::uint32_t free_tail = 0;
  /// Free-block bookkeeping of the archive's writer; not interpreted.
  std::uint32_t free_count = 0;
  /// The file offset of the root directory node.
  std::uint32_t root_offset = 0;
  /// Cache bookkeeping of the game client; not interpreted.
  std::uint32_t new_lru = 0;
  /// Cache bookkeeping of the game client; not interpreted.
  std::uint32_t old_lru = 0;
  /// Cache bookkeeping of the game client; not interpreted.
  std::uint32_t use_lru = 0;
  /// Stored as read; not interpreted.
  std::uint32_t master_map_id = 0;
  /// Stored as read; not interpreted.
  std::uint32_t engine_version = 0;
  /// Stored as read; not interpreted.
  std::uint32_t game_version = 0;
  /// Held byte for byte: not text, not trimmed at a zero byte.
  std::array<std::uint8_t, 16> version_string{};
  /// Stored as read; not interpreted.
  std::uint32_t version_minor = 0;

  /// Decodes the header at the reader's position. On failure the error names the field that could
  /// not be read and the reader is moved back to where the header starts. `Reader` is ByteCursor
  /// (DatDatabase::open reads it straight from the file).
  template <class Reader>
  [[nodiscard]] static std::expected<DatHeader, ReadError> read(Reader& reader);

  /// The kind of archive the magic, block size and dataset describe.
  DatKind dat_kind() const noexcept;

  /// Equal when every field is, version_string byte for byte.
  friend bool operator==(const DatHeader&, const DatHeader&) = default;
};

/// One header field as people read it: its name and its value as text.
struct HeaderField {
  /// The field's name as declared in DatHeader, e.g. "root_offset".
  std::string_view name;
  /// The field's value as header_fields() formats it.
  std::string value;
};

/// Every field of `header` in file order: offsets, ids and the magic as "0x" and eight hexadecimal
/// digits, sizes, counts and versions in decimal, version_string as its 16 bytes in hexadecimal
/// ("42 54 00 ..."), since it is not reliably text.
KELVANE_DAT_EXPORT std::vector<HeaderField> header_fields(const DatHeader& header);

}  // namespace kelvane_dat
