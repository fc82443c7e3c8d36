// Decodes the input as a string table, and as a single UTF-16 text.
//
// Properties: the table reader agrees with the plain reference reader of the kelvane_dat_reference
// target (src/detail/string_table_reference.hpp) on success, on the decoded table and on where it
// leaves the reader, failures included; a successful read ends at or before the end of the data;
// the only failure is the plain "failed to fill whole buffer"; asking for big-endian is refused at
// the reader's position without reading. The text reader agrees with the reference in the same
// way. The order-keeping reader stops where the table reader does and decodes to the same table;
// its encoding reads back to itself and encodes again to the same bytes.

#include <charconv>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>

#include "detail/string_table_reference.hpp"
#include "fuzz_check.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "kelvane_dat/file_type/string_table.hpp"

namespace {

using kelvane_dat::ByteCursor;
using kelvane_dat::ReadError;
using kelvane_dat::fuzz::require;

std::string lower_hex(std::uint64_t value) {
  char digits[16];
  const auto end = std::to_chars(std::begin(digits), std::end(digits), value, 16).ptr;
  return std::string(std::begin(digits), end);
}

void require_end_of_data(const ReadError& error) {
  require(error.frames().empty(), "string table errors carry no context");
  require(error.to_string() == "failed to fill whole buffer",
          "a string table read fails only by running out of data");
}

void require_stable_encoding(std::span<const std::uint8_t> bytes,
                             const std::expected<kelvane_dat::StringTable, ReadError>& table,
                             std::uint64_t table_end) {
  ByteCursor reader(bytes);
  const auto stored = kelvane_dat::StoredStringTable::read_le(reader);
  require(reader.position() == table_end, "the order-keeping reader stops where the table's does");
  require(stored.has_value() == table.has_value(),
          "the order-keeping reader succeeds exactly when the table's does");
  if (!stored) return;
  require(stored->decoded() == *table, "the order-keeping table decodes to the same table");

  const auto encoded = stored->encode();
  require(encoded.has_value(), "a table that was read can be encoded");
  ByteCursor encoded_reader(*encoded);
  const auto reread = kelvane_dat::StoredStringTable::read_le(encoded_reader);
  require(reread.has_value() && *reread == *stored && encoded_reader.position() == encoded->size(),
          "an encoded table reads back to itself, consuming every byte");
  require(reread->encode() == *encoded, "encoding is stable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = kelvane_dat::fuzz::input_bytes(data, size);

  ByteCursor reader(bytes);
  const auto table = kelvane_dat::StringTable::read_le(reader);
  const auto expected = kelvane_dat::detail::read_string_table_reference(bytes);
  require(reader.position() <= size, "the reader never ends past the data");
  require(reader.position() == expected.position, "the reader ends where the reference does");
  require(table.has_value() == expected.value.has_value(),
          "the table decodes exactly when the reference's does");
  if (table) {
    require(*table == *expected.value, "the table equals the reference's");
  } else {
    require_end_of_data(table.error());
  }

  require_stable_encoding(bytes, table, reader.position());

  // The refusal does not depend on the bytes, only on where the reader stands.
  ByteCursor refused_reader(bytes);
  refused_reader.seek(size / 2);
  const auto refused =
      kelvane_dat::StringTable::read_options(refused_reader, kelvane_dat::ByteOrder::Big);
  require(!refused && refused.error().to_string() ==
                          "StringTable is little-endian only at 0x" + lower_hex(size / 2),
          "big-endian is refused at the reader's position");
  require(refused_reader.position() == size / 2, "a refusal reads nothing");

  ByteCursor text_reader(bytes);
  const auto text = kelvane_dat::read_utf16_pstring(text_reader);
  const auto expected_text = kelvane_dat::detail::read_utf16_pstring_reference(bytes);
  require(text_reader.position() == expected_text.position,
          "the text reader ends where the reference does");
  require(text.has_value() == expected_text.value.has_value(),
          "a text decodes exactly when the reference's does");
  if (text) {
    require(*text == *expected_text.value, "the text equals the reference's");
  } else {
    require_end_of_data(text.error());
  }
  return 0;
}
