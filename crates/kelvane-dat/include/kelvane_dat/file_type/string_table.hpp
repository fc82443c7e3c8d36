#pragma once

/// \file
/// The string table record: a stored file of localised texts, keyed by 32-bit ids.
///
/// Layout, little-endian, no padding anywhere:
///
/// \verbatim
///   table  id:u32  language:u32  bucket_size_index:u8 (unused)  count:packed
///          count x { key:u32  entry }
///   entry  data_id:u32  num_strings:u32  num_strings x text
///          num_variables:u32  num_variables x u32  is_var_name_table_worth_packing:u8 (0 = false)
///   text   len:packed (UTF-16 code units)  len x u16
/// \endverbatim
///
/// The table's count and the text lengths are packed integers (packed_int.hpp); num_strings and
/// num_variables are always four bytes.
///
/// The readers only decode: they check no value and leave any bytes after the record unread.
/// When the data ends inside a value, the error is the plain "failed to fill whole buffer", the
/// reader is left at the first byte of that value (bytes of earlier values stay consumed), and no
/// partial record is returned.

#include <cstdint>
#include <expected>
#include <string>
#include <unordered_map>
#include <vector>

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/export.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat {

/// The byte order a caller asks a record reader for.
enum class ByteOrder : std::uint8_t { Little, Big };

/// One entry of a string table: the texts of one key and their variables.
struct KELVANE_DAT_EXPORT StringTableString {
  /// The id of the data the texts belong to, as stored.
  std::uint32_t data_id = 0;
  /// UTF-8, decoded from the stored UTF-16; file order, may repeat.
  std::vector<std::string> strings;
  /// The ids of the variables the texts use, as stored.
  std::vector<std::uint32_t> variables;
  /// A flag of the archive's writer, as stored; not interpreted.
  bool is_var_name_table_worth_packing = false;

  /// Reads one entry body (everything after its key). The format has only the little-endian
  /// layout, so `byte_order` is accepted and ignored.
  [[nodiscard]] static std::expected<StringTableString, ReadError> read_options(
      ByteCursor& reader, ByteOrder byte_order);
  /// read_options in little-endian.
  [[nodiscard]] static std::expected<StringTableString, ReadError> read_le(ByteCursor& reader);

  /// Equal when every decoded value is, texts byte for byte.
  friend bool operator==(const StringTableString&, const StringTableString&) = default;
};

/// A decoded string table: its id, its language and its entries by key.
struct KELVANE_DAT_EXPORT StringTable {
  /// The table's own id, which is also the id of the file that stores it.
  std::uint32_t id = 0;
  /// 1 is English.
  std::uint32_t language = 0;
  /// One entry per distinct key; when a key repeats in the file, its last entry wins.
  std::unordered_map<std::uint32_t, StringTableString> strings;

  /// Reads a whole table. Asking for big-endian fails with the assertion "StringTable is
  /// little-endian only" at the reader's position, before anything is read.
  [[nodiscard]] static std::expected<StringTable, ReadError> read_options(ByteCursor& reader,
                                                                          ByteOrder byte_order);
  /// read_options in little-endian, the table's only byte order.
  [[nodiscard]] static std::expected<StringTable, ReadError> read_le(ByteCursor& reader);

  /// Equal when id, language and every entry are.
  friend bool operator==(const StringTable&, const StringTable&) = default;
};

/// Reads one length-prefixed UTF-16 text and returns it as UTF-8. Invalid UTF-16 is not an error:
/// unpaired surrogates become U+FFFD. Cut short inside its code units, the reader is left at the
/// first byte of the unit that ran out.
[[nodiscard]] KELVANE_DAT_EXPORT std::expected<std::string, ReadError> read_utf16_pstring(
    ByteCursor& reader);

}  // namespace kelvane_dat
