#include "kelvane_dat/file_type/string_table.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "detail/utf16.hpp"
#include "kelvane_dat/packed_int.hpp"

namespace kelvane_dat {

namespace {

// The smallest encodings, which bound how many elements the remaining bytes can still hold: an
// entry with its key is four u32 fields and the flag byte; an empty text is its one-byte length.
constexpr std::size_t kMinEntryWithKeySize = 17;
constexpr std::size_t kMinTextSize = 1;
constexpr std::size_t kVariableSize = 4;
constexpr std::size_t kCodeUnitSize = 2;

// Counts come straight from the data, so never reserve more than the rest of it could fill; a
// bogus count then fails on the missing bytes instead of on the allocation.
std::size_t bounded_reserve(std::uint32_t count, const ByteCursor& reader,
                            std::size_t min_element_size) {
  return std::min<std::size_t>(count, reader.remaining() / min_element_size);
}

template <class T>
std::unexpected<ReadError> failure(const std::expected<T, IoError>& result) {
  return std::unexpected(ReadError(result.error()));
}

}  // namespace

std::expected<std::string, ReadError> read_utf16_pstring(ByteCursor& reader) {
  const auto unit_count = read_compressed_u32(reader);
  if (!unit_count) return std::unexpected(unit_count.error());

  const std::size_t whole_units_left = reader.remaining() / kCodeUnitSize;
  if (whole_units_left < *unit_count) {
    // Units are decoded in one pass over the bytes in place; stop where a unit-by-unit read
    // would have: at the first byte of the unit that ran out.
    reader.seek(reader.position() + whole_units_left * kCodeUnitSize);
    return std::unexpected(ReadError(IoError::fill_whole_buffer()));
  }
  const auto units = reader.read_bytes(std::size_t{*unit_count} * kCodeUnitSize);
  if (!units) return failure(units);
  return detail::utf16le_to_utf8_lossy(*units);
}

std::expected<StringTableString, ReadError> StringTableString::read_options(
    ByteCursor& reader, ByteOrder /*byte_order*/) {
  StringTableString entry;
  const auto data_id = reader.read_u32();
  if (!data_id) return failure(data_id);
  entry.data_id = *data_id;

  const auto num_strings = reader.read_u32();
  if (!num_strings) return failure(num_strings);
  entry.strings.reserve(bounded_reserve(*num_strings, reader, kMinTextSize));
  for (std::uint32_t i = 0; i < *num_strings; ++i) {
    auto text = read_utf16_pstring(reader);
    if (!text) return std::unexpected(std::move(text.error()));
    entry.strings.push_back(std::move(*text));
  }

  const auto num_variables = reader.read_u32();
  if (!num_variables) return failure(num_variables);
  entry.variables.reserve(bounded_reserve(*num_variables, reader, kVariableSize));
  for (std::uint32_t i = 0; i < *num_variables; ++i) {
    const auto variable = reader.read_u32();
    if (!variable) return failure(variable);
    entry.variables.push_back(*variable);
  }

  const auto flag = reader.read_u8();
  if (!flag) return failure(flag);
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
  if (!id) return failure(id);
  table.id = *id;

  const auto language = reader.read_u32();
  if (!language) return failure(language);
  table.language = *language;

  // The writer's hash-bucket sizing hint; a map sizes itself.
  const auto bucket_size_index = reader.read_u8();
  if (!bucket_size_index) return failure(bucket_size_index);

  const auto count = read_compressed_u32(reader);
  if (!count) return std::unexpected(count.error());
  table.strings.reserve(bounded_reserve(*count, reader, kMinEntryWithKeySize));
  for (std::uint32_t i = 0; i < *count; ++i) {
    const auto key = reader.read_u32();
    if (!key) return failure(key);
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
