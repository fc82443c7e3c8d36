#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <ostream>
#include <string>

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/export.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat {

// One 24-byte directory entry: where a stored file's block chain starts and how many bytes it
// holds. Six unsigned 32-bit little-endian fields in file order; values are taken as they are.
struct KELVANE_DAT_EXPORT DatFileEntry {
  static constexpr std::size_t kEncodedSize = 24;
  // The only flag bit anything interprets: the stored bytes are a compressed payload.
  static constexpr std::uint32_t kCompressedFlag = 0x1;

  std::uint32_t bit_flags = 0;
  std::uint32_t id = 0;
  std::uint32_t offset = 0;
  // Bytes stored in the chain; for a compressed file, the compressed length.
  std::uint32_t size = 0;
  std::uint32_t timestamp = 0;
  std::uint32_t version = 0;

  // Decodes the entry at the cursor's position. On failure the error names the field that ran
  // out and the cursor is moved back to the entry's first byte.
  [[nodiscard]] static std::expected<DatFileEntry, ReadError> read(ByteCursor& cursor);

  bool is_compressed() const noexcept { return (bit_flags & kCompressedFlag) != 0; }

  // "DatFileEntry { bit_flags: 1, id: 587202570, ... }", numbers in decimal.
  std::string debug_string() const;

  friend bool operator==(const DatFileEntry&, const DatFileEntry&) = default;
};

KELVANE_DAT_EXPORT std::ostream& operator<<(std::ostream& out, const DatFileEntry& entry);

}  // namespace kelvane_dat
