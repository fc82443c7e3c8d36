#include "kelvane_dat/file_type/stored_string_table.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>

#include "detail/debug_format.hpp"
#include "detail/endian.hpp"
#include "detail/string_table_reading.hpp"
#include "detail/utf16.hpp"
#include "detail/utf8.hpp"
#include "kelvane_dat/packed_int.hpp"

namespace kelvane_dat {

namespace {

using detail::bounded_reserve;
using detail::read_failure;

constexpr std::size_t kMaxFixedCount = std::numeric_limits<std::uint32_t>::max();

std::expected<std::u16string, ReadError> read_text_units(ByteCursor& reader) {
  const auto bytes = detail::read_utf16_units(reader);
  if (!bytes) return std::unexpected(bytes.error());
  std::u16string units(bytes->size() / detail::kCodeUnitSize, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(load_le16(bytes->data() + detail::kCodeUnitSize * i));
  }
  return units;
}

std::expected<StoredStringTableEntry, ReadError> read_entry(ByteCursor& reader) {
  StoredStringTableEntry entry;
  const auto key = reader.read_u32();
  if (!key) return read_failure(key);
  entry.key = *key;
  const auto data_id = reader.read_u32();
  if (!data_id) return read_failure(data_id);
  entry.data_id = *data_id;

  const auto flag = detail::read_entry_body(reader, entry.texts, entry.variables, read_text_units);
  if (!flag) return std::unexpected(std::move(flag.error()));
  entry.flag = *flag;
  return entry;
}

void append_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// The entry the decoded table keeps for `key`: a repeated key's last entry replaces the earlier.
template <class Table>
auto* find_last(Table& table, std::uint32_t key) {
  const auto it = std::find_if(table.entries.rbegin(), table.entries.rend(),
                               [key](const StoredStringTableEntry& e) { return e.key == key; });
  return it == table.entries.rend() ? nullptr : &*it;
}

std::string count_error(std::uint32_t table_id, std::string_view what, std::size_t count) {
  return "string table 0x" + hex8(table_id) + ": " + std::string(what) + " " +
         std::to_string(count) + " does not fit its field";
}

}  // namespace

std::expected<StoredStringTable, ReadError> StoredStringTable::read_le(ByteCursor& reader) {
  StoredStringTable table;
  const auto id = reader.read_u32();
  if (!id) return read_failure(id);
  table.id = *id;
  const auto language = reader.read_u32();
  if (!language) return read_failure(language);
  table.language = *language;
  const auto bucket_size_index = reader.read_u8();
  if (!bucket_size_index) return read_failure(bucket_size_index);
  table.bucket_size_index = *bucket_size_index;

  const auto count = read_compressed_u32(reader);
  if (!count) return std::unexpected(count.error());
  table.entries.reserve(bounded_reserve(*count, reader, detail::kMinEntryWithKeySize));
  for (std::uint32_t i = 0; i < *count; ++i) {
    auto entry = read_entry(reader);
    if (!entry) return std::unexpected(std::move(entry.error()));
    table.entries.push_back(std::move(*entry));
  }
  return table;
}

Result<std::vector<std::uint8_t>> StoredStringTable::encode() const {
  if (entries.size() > kMaxCompressedU32) {
    return std::unexpected(DatError::other(count_error(id, "entry count", entries.size())));
  }
  std::vector<std::uint8_t> out;
  append_u32(out, id);
  append_u32(out, language);
  out.push_back(bucket_size_index);
  append_compressed_u32(out, static_cast<std::uint32_t>(entries.size()));
  for (const StoredStringTableEntry& entry : entries) {
    if (entry.texts.size() > kMaxFixedCount || entry.variables.size() > kMaxFixedCount) {
      return std::unexpected(DatError::other(count_error(
          id, "text or variable count", std::max(entry.texts.size(), entry.variables.size()))));
    }
    append_u32(out, entry.key);
    append_u32(out, entry.data_id);
    append_u32(out, static_cast<std::uint32_t>(entry.texts.size()));
    for (const std::u16string& text : entry.texts) {
      if (text.size() > kMaxCompressedU32) {
        return std::unexpected(DatError::other(count_error(id, "text length", text.size())));
      }
      append_compressed_u32(out, static_cast<std::uint32_t>(text.size()));
      for (const char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
      }
    }
    append_u32(out, static_cast<std::uint32_t>(entry.variables.size()));
    for (const std::uint32_t variable : entry.variables) append_u32(out, variable);
    out.push_back(entry.flag);
  }
  return out;
}

StringTable StoredStringTable::decoded() const {
  StringTable table;
  table.id = id;
  table.language = language;
  table.strings.reserve(entries.size());
  for (const StoredStringTableEntry& stored : entries) {
    StringTableString entry;
    entry.data_id = stored.data_id;
    entry.strings.reserve(stored.texts.size());
    for (const std::u16string& text : stored.texts)
      entry.strings.push_back(utf16_to_utf8_lossy(text));
    entry.variables = stored.variables;
    entry.is_var_name_table_worth_packing = stored.flag != 0;
    table.strings.insert_or_assign(stored.key, std::move(entry));
  }
  return table;
}

StoredStringTableEntry* StoredStringTable::find(std::uint32_t key) { return find_last(*this, key); }

const StoredStringTableEntry* StoredStringTable::find(std::uint32_t key) const {
  return find_last(*this, key);
}

std::expected<std::u16string, DatError> utf8_to_utf16(std::string_view utf8) {
  std::u16string units;
  units.reserve(utf8.size());
  // The shared decoder turns invalid bytes into U+FFFD; encoding what it saw back and comparing
  // tells a stored U+FFFD from a replaced byte, and finds where the bytes went wrong.
  std::size_t checked = 0;
  bool valid = true;
  detail::for_each_code_point(utf8, [&](char32_t c) {
    if (!valid) return;
    char encoded[4];
    const std::size_t length = static_cast<std::size_t>(detail::encode_utf8(c, encoded) - encoded);
    if (utf8.substr(checked, length) != std::string_view(encoded, length)) {
      valid = false;
      return;
    }
    checked += length;
    if (c >= 0x10000) {
      units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(c));
    }
  });
  if (!valid) {
    return std::unexpected(
        DatError::other("invalid UTF-8 at byte " + std::to_string(checked) + " of a text"));
  }
  return units;
}

std::string utf16_to_utf8_lossy(std::u16string_view units) {
  if constexpr (std::endian::native == std::endian::little) {
    return detail::utf16le_to_utf8_lossy(
        {reinterpret_cast<const std::uint8_t*>(units.data()), units.size() * sizeof(char16_t)});
  } else {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(units.size() * sizeof(char16_t));
    for (const char16_t unit : units) {
      bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return detail::utf16le_to_utf8_lossy(bytes);
  }
}

}  // namespace kelvane_dat
