#include "kelvane_dat/file_type/string_table.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <expected>
#include <initializer_list>
#include <string>
#include <vector>

#include "kelvane_dat/byte_cursor.hpp"
#include "largest_allocation.hpp"

namespace kelvane_dat {
namespace {

using Bytes = std::vector<std::uint8_t>;

const ReadError kFillWholeBuffer = ReadError(IoError::fill_whole_buffer());

// Counts in hostile input must not size any allocation, so the tests for them bound the largest
// request made while decoding (largest_allocation.hpp).
using test_support::largest_allocation_during;

// Far above anything a few dozen input bytes justify, far below a count-sized reservation.
constexpr std::size_t kAllocationBound = 4096;

// Little builders so each fixture reads like its layout.
void u32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void packed(Bytes& out, std::uint32_t value) {
  if (value < 0x80) {
    out.push_back(static_cast<std::uint8_t>(value));
  } else if (value < 0x4000) {
    out.push_back(static_cast<std::uint8_t>(0x80 | (value >> 8)));
    out.push_back(static_cast<std::uint8_t>(value));
  } else {
    out.push_back(static_cast<std::uint8_t>(0xC0 | (value >> 24)));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
  }
}

void text(Bytes& out, const std::vector<std::uint16_t>& units) {
  packed(out, static_cast<std::uint32_t>(units.size()));
  for (const std::uint16_t unit : units) {
    out.push_back(static_cast<std::uint8_t>(unit));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
}

void ascii(Bytes& out, std::string_view s) {
  std::vector<std::uint16_t> units(s.begin(), s.end());
  text(out, units);
}

// An entry body: data_id, texts, variables, flag.
void entry(Bytes& out, std::uint32_t data_id, std::initializer_list<std::string_view> texts,
           std::initializer_list<std::uint32_t> variables, std::uint8_t flag) {
  u32(out, data_id);
  u32(out, static_cast<std::uint32_t>(texts.size()));
  for (const std::string_view s : texts) ascii(out, s);
  u32(out, static_cast<std::uint32_t>(variables.size()));
  for (const std::uint32_t v : variables) u32(out, v);
  out.push_back(flag);
}

Bytes table_header(std::uint32_t id, std::uint32_t language, std::uint32_t count) {
  Bytes out;
  u32(out, id);
  u32(out, language);
  out.push_back(0x07);  // bucket size index, ignored
  packed(out, count);
  return out;
}

// One table with one "Left Alt" entry under key 0x014152D5.
const Bytes kExample = {0x0A, 0x00, 0x00, 0x23, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0xD5,
                        0x52, 0x41, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
                        0x08, 0x4C, 0x00, 0x65, 0x00, 0x66, 0x00, 0x74, 0x00, 0x20, 0x00,
                        0x41, 0x00, 0x6C, 0x00, 0x74, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// Where each value of kExample starts and how wide it is.
struct Field {
  std::uint64_t start;
  std::uint64_t width;
};

std::vector<Field> example_fields() {
  std::vector<Field> fields = {
      {0, 4},   // id
      {4, 4},   // language
      {8, 1},   // bucket size index
      {9, 1},   // count
      {10, 4},  // key
      {14, 4},  // data_id
      {18, 4},  // num_strings
      {22, 1},  // text length
  };
  for (std::uint64_t unit = 0; unit < 8; ++unit) fields.push_back({23 + 2 * unit, 2});
  fields.push_back({39, 4});  // num_variables
  fields.push_back({43, 1});  // flag
  return fields;
}

StringTableString left_alt() { return {0, {"Left Alt"}, {}, false}; }

TEST(StringTable, DecodesExample) {
  ByteCursor cursor(kExample);
  const auto table = StringTable::read_le(cursor);
  ASSERT_TRUE(table.has_value()) << table.error();
  EXPECT_EQ(table->id, 0x2300000Au);
  EXPECT_EQ(table->language, 1u);
  ASSERT_EQ(table->strings.size(), 1u);
  ASSERT_TRUE(table->strings.contains(0x014152D5));
  EXPECT_EQ(table->strings.at(0x014152D5), left_alt());
  EXPECT_EQ(cursor.position(), 44u);
}

TEST(StringTable, LeavesTrailingBytesUnread) {
  Bytes bytes = kExample;
  bytes.insert(bytes.end(), {0xAA, 0xBB, 0xCC});
  ByteCursor cursor(bytes);
  const auto table = StringTable::read_le(cursor);
  ASSERT_TRUE(table.has_value()) << table.error();
  EXPECT_EQ(table->strings.at(0x014152D5), left_alt());
  EXPECT_EQ(cursor.position(), 44u);
}

TEST(StringTable, EveryTruncationStopsAtTheValueThatRanOut) {
  const std::vector<Field> fields = example_fields();
  ASSERT_EQ(fields.back().start + fields.back().width, kExample.size());
  for (const Field& field : fields) {
    for (std::uint64_t cut = field.start; cut < field.start + field.width; ++cut) {
      SCOPED_TRACE(cut);
      ByteCursor cursor{std::span(kExample).first(cut)};
      const auto table = StringTable::read_le(cursor);
      ASSERT_FALSE(table.has_value());
      EXPECT_EQ(table.error(), kFillWholeBuffer);
      EXPECT_EQ(table.error().to_string(), "failed to fill whole buffer");
      EXPECT_EQ(cursor.position(), field.start);
    }
  }
}

TEST(StringTable, PackedCountCutAfterFirstByteKeepsThatByte) {
  Bytes bytes = table_header(1, 1, 0);
  bytes.back() = 0x80;  // a two-byte count with its second byte missing
  ByteCursor cursor(bytes);
  const auto table = StringTable::read_le(cursor);
  ASSERT_FALSE(table.has_value());
  EXPECT_EQ(table.error(), kFillWholeBuffer);
  EXPECT_EQ(cursor.position(), 10u);
}

TEST(StringTable, EmptyTableTakesTenBytes) {
  const Bytes bytes = table_header(0x23000001, 2, 0);
  ASSERT_EQ(bytes.size(), 10u);
  ByteCursor cursor(bytes);
  const auto table = StringTable::read_le(cursor);
  ASSERT_TRUE(table.has_value()) << table.error();
  EXPECT_EQ(table->id, 0x23000001u);
  EXPECT_EQ(table->language, 2u);
  EXPECT_TRUE(table->strings.empty());
  EXPECT_EQ(cursor.position(), 10u);
}

TEST(StringTable, LaterDuplicateKeyWins) {
  Bytes bytes = table_header(0x2300000A, 1, 3);
  u32(bytes, 7);
  entry(bytes, 1, {"first"}, {10}, 0);
  u32(bytes, 8);
  entry(bytes, 2, {"other"}, {}, 0);
  u32(bytes, 7);
  entry(bytes, 3, {"second", "again"}, {}, 1);
  ByteCursor cursor(bytes);
  const auto table = StringTable::read_le(cursor);
  ASSERT_TRUE(table.has_value()) << table.error();
  EXPECT_EQ(table->strings.size(), 2u);
  const StringTableString expected{3, {"second", "again"}, {}, true};
  EXPECT_EQ(table->strings.at(7), expected);
  EXPECT_EQ(table->strings.at(8).data_id, 2u);
  EXPECT_EQ(cursor.position(), bytes.size());
}

TEST(StringTable, BigEndianIsRefusedWithoutReading) {
  struct Case {
    std::uint64_t position;
    const char* text;
  };
  constexpr Case kCases[] = {
      {0, "StringTable is little-endian only at 0x0"},
      {0x2C, "StringTable is little-endian only at 0x2c"},
  };
  Bytes bytes(0x30, 0);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    ByteCursor cursor(bytes);
    cursor.seek(c.position);
    const auto table = StringTable::read_options(cursor, ByteOrder::Big);
    ASSERT_FALSE(table.has_value());
    EXPECT_EQ(table.error(), ReadError::assertion("StringTable is little-endian only", c.position));
    EXPECT_EQ(table.error().to_string(), c.text);
    EXPECT_EQ(cursor.position(), c.position);
  }
}

TEST(StringTable, HugeEntryCountFailsOnMissingData) {
  Bytes bytes = table_header(1, 1, 0x3FFFFFFF);
  u32(bytes, 5);
  entry(bytes, 0, {}, {}, 0);
  const std::uint64_t second_key = bytes.size();
  ByteCursor cursor(bytes);
  std::expected<StringTable, ReadError> table;
  EXPECT_LT(largest_allocation_during([&] { table = StringTable::read_le(cursor); }),
            kAllocationBound);
  ASSERT_FALSE(table.has_value());
  EXPECT_EQ(table.error(), kFillWholeBuffer);
  EXPECT_EQ(cursor.position(), second_key);
}

TEST(StringTableString, DecodesFieldsInOrder) {
  Bytes bytes;
  entry(bytes, 0xDEADBEEF, {"", "a", "a"}, {1, 0xFFFFFFFF}, 0x02);
  ByteCursor cursor(bytes);
  const auto decoded = StringTableString::read_le(cursor);
  ASSERT_TRUE(decoded.has_value()) << decoded.error();
  const StringTableString expected{0xDEADBEEF, {"", "a", "a"}, {1, 0xFFFFFFFF}, true};
  EXPECT_EQ(*decoded, expected);
  EXPECT_EQ(cursor.position(), bytes.size());
}

TEST(StringTableString, FlagIsTrueForAnyNonZeroByte) {
  constexpr std::pair<std::uint8_t, bool> kFlags[] = {
      {0x00, false}, {0x01, true}, {0x02, true}, {0xFF, true}};
  for (const auto& [byte, flag] : kFlags) {
    SCOPED_TRACE(static_cast<int>(byte));
    Bytes bytes;
    entry(bytes, 0, {}, {}, byte);
    ASSERT_EQ(bytes.size(), 13u);
    ByteCursor cursor(bytes);
    EXPECT_EQ(StringTableString::read_le(cursor).value().is_var_name_table_worth_packing, flag);
  }
}

TEST(StringTableString, RequestedByteOrderIsIgnored) {
  Bytes bytes;
  entry(bytes, 0x01020304, {"x"}, {0x0A0B0C0D}, 1);
  ByteCursor little(bytes);
  ByteCursor big(bytes);
  EXPECT_EQ(StringTableString::read_options(big, ByteOrder::Big).value(),
            StringTableString::read_le(little).value());
  EXPECT_EQ(big.position(), bytes.size());
}

// Counts no data could satisfy fail once the bytes run out, without reserving for the count.
TEST(StringTableString, HostileCountsFailOnMissingData) {
  struct Case {
    const char* label;
    Bytes bytes;
    std::uint64_t failed_at;
  };
  Bytes strings;
  u32(strings, 0);
  u32(strings, 0xFFFFFFFF);
  strings.resize(20, 0);  // twelve empty texts, then nothing
  Bytes variables;
  u32(variables, 0);
  u32(variables, 0);
  u32(variables, 0xFFFFFFFF);
  variables.resize(22, 0x11);  // two variables, then half of a third
  const Case cases[] = {
      {"num_strings", strings, 20},
      {"num_variables", variables, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ByteCursor cursor(c.bytes);
    std::expected<StringTableString, ReadError> decoded;
    EXPECT_LT(largest_allocation_during([&] { decoded = StringTableString::read_le(cursor); }),
              kAllocationBound);
    ASSERT_FALSE(decoded.has_value());
    EXPECT_EQ(decoded.error().to_string(), "failed to fill whole buffer");
    EXPECT_EQ(cursor.position(), c.failed_at);
  }
}

struct Utf16Case {
  const char* label;
  std::vector<std::uint16_t> units;
  std::string utf8;
};

class Utf16PString : public testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16PString, DecodesLossily) {
  const Utf16Case& c = GetParam();
  Bytes bytes;
  text(bytes, c.units);
  ByteCursor cursor(bytes);
  const auto decoded = read_utf16_pstring(cursor);
  ASSERT_TRUE(decoded.has_value()) << decoded.error();
  EXPECT_EQ(*decoded, c.utf8);
  EXPECT_EQ(cursor.position(), bytes.size());
}

INSTANTIATE_TEST_SUITE_P(
    Units, Utf16PString,
    testing::ValuesIn(std::vector<Utf16Case>{
        {"empty", {}, ""},
        {"ascii", {'L', 'e', 'f', 't'}, "Left"},
        {"nul kept", {0x0041, 0x0000, 0x0042}, std::string("A\0B", 3)},
        {"last one byte", {0x007F}, "\x7F"},
        {"first two byte", {0x0080}, "\xC2\x80"},
        {"last two byte", {0x07FF}, "\xDF\xBF"},
        {"first three byte", {0x0800}, "\xE0\xA0\x80"},
        {"below surrogates", {0xD7FF}, "\xED\x9F\xBF"},
        {"above surrogates", {0xE000}, "\xEE\x80\x80"},
        {"last unit", {0xFFFF}, "\xEF\xBF\xBF"},
        {"pair", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {"lowest pair", {0xD800, 0xDC00}, "\xF0\x90\x80\x80"},
        {"highest pair", {0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
        {"lead then letter",
         {0xD800, 0x0041},
         "\xEF\xBF\xBD"
         "A"},
        {"lone trail", {0xDC00}, "\xEF\xBF\xBD"},
        {"lead at end", {0x0041, 0xDBFF}, "A\xEF\xBF\xBD"},
        {"trail before lead", {0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"lead, then pair", {0xD800, 0xD800, 0xDC00}, "\xEF\xBF\xBD\xF0\x90\x80\x80"},
        {"mixed",
         {'a', 0x00E9, 0x20AC, 0xD83D, 0xDE00, 'z'},
         "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z"},
    }),
    [](const testing::TestParamInfo<Utf16Case>& param_info) {
      std::string name;
      for (const char ch : std::string_view(param_info.param.label))
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

TEST(Utf16PString, LengthInAnyPackedForm) {
  struct Case {
    Bytes length;
    std::uint64_t end;
  };
  const Case cases[] = {
      {{0x02}, 5},
      {{0x80, 0x02}, 6},
      {{0xC0, 0x00, 0x02, 0x00}, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.end);
    Bytes bytes = c.length;
    bytes.insert(bytes.end(), {'H', 0, 'i', 0, '!', 0});
    ByteCursor cursor(bytes);
    EXPECT_EQ(read_utf16_pstring(cursor).value(), "Hi");
    EXPECT_EQ(cursor.position(), c.end);
  }
}

// Lengths at the packed-form boundaries, 200 among them, written in their shortest form.
TEST(Utf16PString, LongTexts) {
  constexpr std::uint32_t kLengths[] = {0x7F, 0x80, 200, 0x3FFF, 0x4000};
  constexpr std::uint64_t kLengthBytes[] = {1, 2, 2, 2, 4};
  for (std::size_t i = 0; i < std::size(kLengths); ++i) {
    SCOPED_TRACE(kLengths[i]);
    std::vector<std::uint16_t> units(kLengths[i]);
    for (std::size_t k = 0; k < units.size(); ++k)
      units[k] = static_cast<std::uint16_t>('a' + k % 26);
    Bytes bytes;
    text(bytes, units);
    ASSERT_EQ(bytes.size(), kLengthBytes[i] + 2 * kLengths[i]);
    ByteCursor cursor(bytes);
    const auto decoded = read_utf16_pstring(cursor);
    ASSERT_TRUE(decoded.has_value()) << decoded.error();
    EXPECT_EQ(decoded->size(), kLengths[i]);
    EXPECT_EQ(decoded->substr(0, 27), "abcdefghijklmnopqrstuvwxyza");
    EXPECT_EQ(cursor.position(), bytes.size());
  }
}

TEST(Utf16PString, HugeLengthFailsAtFirstMissingUnit) {
  Bytes bytes = {0xFF, 0xFF, 0xFF, 0xFF, 'a', 0, 'b'};
  ByteCursor cursor(bytes);
  std::expected<std::string, ReadError> decoded;
  EXPECT_LT(largest_allocation_during([&] { decoded = read_utf16_pstring(cursor); }),
            kAllocationBound);
  ASSERT_FALSE(decoded.has_value());
  EXPECT_EQ(decoded.error(), kFillWholeBuffer);
  EXPECT_EQ(cursor.position(), 6u);
}

}  // namespace
}  // namespace kelvane_dat
