#include "kelvane_dat/file_type/string_table.hpp"

#include <utility>

#include "detail/string_table_reading.hpp"
#include "detail/utf16.hpp"
#include "kelvane_dat/packed_int.hpp"

namespace kelvane_dat {

using detail::bounded_reserve;
using detail::kMinEntryWithKeySize;
using detail::read_failure;

std::expected<std::string, ReadError> read_utf16_pstring(ByteCursor& reader) {
  const auto units = detail::read_utf16_units(reader);
  if (!units) return std::unexpected(units.error());
  return detail::utf16le_to_utf8_lossy(*units);
}

std::expected<StringTableString, ReadError> StringTableString::read_options(
    ByteCursor& reader, ByteOrder /*byte_order*/) {
  StringTableString entry;
  const auto data_id = reader.read_u32();
  if (!data_id) return read_failure(data_id);
  entry.data_id = *data_id;

  const auto flag =
      detail::read_entry_body(reader, entry.strings, entry.variables, read_utf16_pstring);
  if (!flag) return std::unexpected(std::move(flag.error()));
  entry.is_var_name_table_worth_packing = *flag != 0;
  return entry;
}

std::expected<StringTableString, ReadError> StringTableString::read_le(ByteCursor& reader) {
  return read_options(reader, ByteOrder::Little);
}

std::expected<StringTable, ReadError> StringTable::read_options(ByteCursor& reader,
                                                                ByteOrder byte_order) {
  switch (byte_order) {
    case ByteOrder::Little:
      break;
    case ByteOrder::Big:
      return std::unexpected(
          ReadError::assertion("StringTable is little-endian only", reader.position()));
  }

  StringTable table;
  const auto id = reader.read_u32();
  if (!id) return read_failure(id);
  table.id = *id;

  const auto language = reader.read_u32();
  if (!language) return read_failure(language);
  table.language = *language;

  // The writer's hash-bucket sizing hint; a map sizes itself.
  const auto bucket_size_index = reader.read_u8();
  if (!bucket_size_index) return read_failure(bucket_size_index);

  const auto count = read_compressed_u32(reader);
  if (!count) return std::unexpected(count.error());
  table.strings.reserve(bounded_reserve(*count, reader, kMinEntryWithKeySize));
  for (std::uint32_t i = 0; i < *count; ++i) {
    const auto key = reader.read_u32();
    if (!key) return read_failure(key);
    auto entry = StringTableString::read_le(reader);
    if (!entry) return std::unexpected(std::move(entry.error()));
    table.strings.insert_or_assign(*key, std::move(*entry));
  }
  return table;
}

std::expected<StringTable, ReadError> StringTable::read_le(ByteCursor& reader) {
  return read_options(reader, ByteOrder::Little);
}

}  // namespace kelvane_dat
