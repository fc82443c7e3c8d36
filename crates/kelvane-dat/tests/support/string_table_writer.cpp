#include "support/string_table_writer.hpp"

#include <cstdlib>

namespace kelvane_dat::test_support {

namespace {

void append_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void append_text(std::vector<std::uint8_t>& out, const std::u16string& text) {
  append_packed_u32(out, static_cast<std::uint32_t>(text.size()));
  for (const char16_t unit : text) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
}

}  // namespace

void append_packed_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  if (value <= 0x7F) {
    out.push_back(static_cast<std::uint8_t>(value));
  } else if (value <= 0x3FFF) {
    out.push_back(static_cast<std::uint8_t>(0x80 | (value >> 8)));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  } else {
    if (value > 0x3FFFFFFF) std::abort();  // not representable: a test bug
    out.push_back(static_cast<std::uint8_t>(0xC0 | (value >> 24)));
    out.push_back(static_cast<std::uint8_t>((value >> 16) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
  }
}

std::u16string utf16(std::string_view utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b0 = static_cast<std::uint8_t>(utf8[i]);
    const std::size_t length = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
    char32_t c = length == 1   ? b0
                 : length == 2 ? (b0 & 0x1Fu)
                 : length == 3 ? (b0 & 0x0Fu)
                               : (b0 & 0x07u);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<std::uint8_t>(utf8[i + k]) & 0x3Fu);
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += length;
  }
  return out;
}

std::vector<std::uint8_t> encode_string_table(const StringTableData& table) {
  std::vector<std::uint8_t> out;
  append_u32(out, table.id);
  append_u32(out, table.language);
  out.push_back(table.bucket_size_index);
  append_packed_u32(out, static_cast<std::uint32_t>(table.entries.size()));
  for (const StringTableEntryData& entry : table.entries) {
    append_u32(out, entry.key);
    append_u32(out, entry.data_id);
    append_u32(out, static_cast<std::uint32_t>(entry.texts.size()));
    for (const std::u16string& text : entry.texts) append_text(out, text);
    append_u32(out, static_cast<std::uint32_t>(entry.variables.size()));
    for (const std::uint32_t variable : entry.variables) append_u32(out, variable);
    out.push_back(entry.flag);
  }
  return out;
}

}  // namespace kelvane_dat::test_support
