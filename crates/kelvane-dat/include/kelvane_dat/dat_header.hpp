#pragma once

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

// The fixed 80-byte record at file offset 0x140. Field order is file order; every integer is
// unsigned 32-bit little-endian. Nothing is validated: only dat_kind() ever looks at `magic`.
struct KELVANE_DAT_EXPORT DatHeader {
  // Where every archive keeps its header; the bytes before it are never read.
  static constexpr std::uint64_t kFileOffset = 0x140;
  static constexpr std::size_t kEncodedSize = 80;
  // "BT" followed by two zero bytes, read little-endian.
  static constexpr std::uint32_t kMagic = 0x5442;

  std::uint32_t magic = 0;
  std::uint32_t block_size = 0;
  std::uint32_t file_size = 0;
  std::uint32_t dataset = 0;
  std::uint32_t subset = 0;
  std::uint32_t free_head = 0;
  std::uint32_t free_tail = 0;
  std::uint32_t free_count = 0;
  std::uint32_t root_offset = 0;
  std::uint32_t new_lru = 0;
  std::uint32_t old_lru = 0;
  std::uint32_t use_lru = 0;
  std::uint32_t master_map_id = 0;
  std::uint32_t engine_version = 0;
  std::uint32_t game_version = 0;
  // Held byte for byte: not text, not trimmed at a zero byte.
  std::array<std::uint8_t, 16> version_string{};
  std::uint32_t version_minor = 0;

  // Decodes the header at the reader's position. On failure the error names the field that could
  // not be read and the reader is moved back to where the header starts. `Reader` is ByteCursor
  // or FileCursor.
  template <class Reader>
  [[nodiscard]] static std::expected<DatHeader, ReadError> read(Reader& reader);

  // The kind of archive the magic, block size and dataset describe.
  DatKind dat_kind() const noexcept;

  friend bool operator==(const DatHeader&, const DatHeader&) = default;
};

// One header field as people read it: its name and its value as text.
struct HeaderField {
  std::string_view name;
  std::string value;
};

// Every field of `header` in file order: offsets, ids and the magic as "0x" and eight hexadecimal
// digits, sizes, counts and versions in decimal, version_string as its 16 bytes in hexadecimal
// ("42 54 00 ..."), since it is not reliably text.
KELVANE_DAT_EXPORT std::vector<HeaderField> header_fields(const DatHeader& header);

}  // namespace kelvane_dat
