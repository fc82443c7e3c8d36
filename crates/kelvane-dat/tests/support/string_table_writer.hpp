#pragma once

// Encoding string tables, for tests and sample archives: the inverse of StringTable::read_le, with
// every count written as given so hostile tables are as easy to make as sound ones.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane_dat::test_support {

// Shortest packed form of `value` (at most 0x3FFFFFFF): 1, 2 or 4 bytes, the long form with its
// upper half high byte first and its lower half low byte first.
void append_packed_u32(std::vector<std::uint8_t>& out, std::uint32_t value);

// UTF-16 code units of a UTF-8 text (valid UTF-8 expected).
std::u16string utf16(std::string_view utf8);

struct StringTableEntryData {
  std::uint32_t key = 0;
  std::uint32_t data_id = 0;
  // Raw code units, so lone surrogates can be written too.
  std::vector<std::u16string> texts;
  std::vector<std::uint32_t> variables;
  std::uint8_t flag = 0;
};

struct StringTableData {
  std::uint32_t id = 0;
  std::uint32_t language = 1;
  std::uint8_t bucket_size_index = 0;
  // In file order; duplicate keys are written as they are.
  std::vector<StringTableEntryData> entries;
};

std::vector<std::uint8_t> encode_string_table(const StringTableData& table);

}  // namespace kelvane_dat::test_support
