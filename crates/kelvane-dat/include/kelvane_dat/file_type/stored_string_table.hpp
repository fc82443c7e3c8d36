#pragma once

/// \file
/// A string table as its file stores it, for programs that change texts and write the table back:
/// the entries in file order (a repeated key keeps every entry), the bucket-size byte, each text's
/// UTF-16 code units (lone surrogates included) and each entry's flag byte. `encode` is the exact
/// inverse of `read_le` (layout in string_table.hpp).
///
/// What does not round-trip byte for byte:
/// - Packed integers (the entry count, text lengths) are written in their shortest form. A table
///   stored with a longer form decodes to the same record but re-encodes shorter.
/// - Bytes after the record are not part of it: `read_le` leaves them unread and `encode` does not
///   write them.
/// - A text set from UTF-8 cannot hold a lone surrogate, and U+FFFD stays U+FFFD: set only the
/// texts
///   that change, and every other text keeps its stored code units.

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/export.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat {

/// One entry as stored: its key beside its body, its texts as code units.
struct KELVANE_DAT_EXPORT StoredStringTableEntry {
  /// The key the entry is stored under.
  std::uint32_t key = 0;
  /// The id of the data the texts belong to, as stored.
  std::uint32_t data_id = 0;
  /// The texts' UTF-16 code units as stored, in file order.
  std::vector<std::u16string> texts{};
  /// The ids of the variables the texts use, as stored.
  std::vector<std::uint32_t> variables{};
  /// The stored byte of `is_var_name_table_worth_packing`: any value but 0 reads as true.
  std::uint8_t flag = 0;

  /// Member by member.
  friend bool operator==(const StoredStringTableEntry&, const StoredStringTableEntry&) = default;
};

/// A string table in the order and form of its file.
struct KELVANE_DAT_EXPORT StoredStringTable {
  /// The table's own id, which is also the id of the file that stores it.
  std::uint32_t id = 0;
  /// 1 is English.
  std::uint32_t language = 1;
  /// The writer's hash-bucket sizing hint, which the decoded StringTable drops.
  std::uint8_t bucket_size_index = 0;
  /// Every entry in file order, repeated keys included.
  std::vector<StoredStringTableEntry> entries{};

  /// Reads a whole table; the same bytes, errors and end position as StringTable::read_le.
  [[nodiscard]] static std::expected<StoredStringTable, ReadError> read_le(ByteCursor& reader);

  /// The table's bytes. Fails when a count or a text is too long for its field (an entry count or
  /// text length above 0x3FFFFFFF, a text or variable count above 0xFFFFFFFF).
  [[nodiscard]] Result<std::vector<std::uint8_t>> encode() const;

  /// The table as StringTable::read_le decodes the same bytes: the last entry of a repeated key
  /// wins, texts become UTF-8 with U+FFFD for a lone surrogate, the flag becomes a bool.
  [[nodiscard]] StringTable decoded() const;

  /// The entry StringTable::read_le keeps for `key` (the last one in file order), or nullptr.
  [[nodiscard]] StoredStringTableEntry* find(std::uint32_t key);
  /// The entry StringTable::read_le keeps for `key` (the last one in file order), or nullptr.
  [[nodiscard]] const StoredStringTableEntry* find(std::uint32_t key) const;

  /// Member by member.
  friend bool operator==(const StoredStringTable&, const StoredStringTable&) = default;
};

/// The UTF-16 code units of a UTF-8 text. Invalid UTF-8 (encoded surrogates included) is an Other
/// error naming the byte offset: a text written into a table must be what its translator meant.
[[nodiscard]] KELVANE_DAT_EXPORT std::expected<std::u16string, DatError> utf8_to_utf16(
    std::string_view utf8);

/// UTF-8 of UTF-16 code units as the table reader decodes them: a lone surrogate becomes U+FFFD.
[[nodiscard]] KELVANE_DAT_EXPORT std::string utf16_to_utf8_lossy(std::u16string_view units);

}  // namespace kelvane_dat
