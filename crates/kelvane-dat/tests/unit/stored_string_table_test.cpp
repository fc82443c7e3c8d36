#include "kelvane_dat/file_type/stored_string_table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/process.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/file_type/file_type.hpp"
#include "kelvane_dat/file_type/string_table.hpp"
#include "support/temp_file.hpp"
#include "text_corpus.hpp"

namespace kelvane_dat {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The table a reader keeps (`stored`) and the decoded table (`StringTable::read_le`) of the same
// bytes agree, and encoding the kept table gives the bytes back.
void expect_exact_round_trip(const Bytes& bytes) {
  ByteCursor reader(bytes);
  const auto stored = StoredStringTable::read_le(reader);
  ASSERT_TRUE(stored.has_value()) << stored.error();
  EXPECT_EQ(reader.position(), bytes.size());
  EXPECT_EQ(stored->encode(), bytes);

  ByteCursor decoded_reader(bytes);
  EXPECT_EQ(stored->decoded(), StringTable::read_le(decoded_reader));
}

struct RoundTripCase {
  const char* name;
  StoredStringTable table;
};

TEST(StoredStringTable, KeepsWhatTheDecodedTableDrops) {
  const std::u16string lone_lead = {0xD800, u'A'};
  const std::u16string lone_trail = {0xDC00};
  const std::u16string zero_inside = {u'A', 0x0000, u'B'};
  const std::u16string emoji = {0xD83D, 0xDE00};
  const std::u16string long_text(200, u'x');  // two-byte length
  const RoundTripCase cases[] = {
      {"empty", StoredStringTable{.id = 0x23000001, .language = 1, .bucket_size_index = 0}},
      {"bucket byte and language",
       {.id = 0x23000002, .language = 7, .bucket_size_index = 0xA5, .entries = {{.key = 1}}}},
      {"entry order and repeated keys",
       {.id = 0x23000003,
        .entries = {{.key = 9, .texts = {u"late"}},
                    {.key = 2, .texts = {u"first"}},
                    {.key = 9, .data_id = 5, .texts = {u"wins"}}}}},
      {"code units the reader replaces",
       {.id = 0x23000004,
        .entries = {{.key = 1, .texts = {lone_lead, lone_trail, zero_inside, emoji, u""}}}}},
      {"flag bytes, variables, long texts",
       {.id = 0x23000005,
        .entries = {{.key = 1, .data_id = 0x31000001, .variables = {1, 2, 0xFFFFFFFF}, .flag = 2},
                    {.key = 2, .texts = {long_text}, .flag = 1}}}},
  };
  for (const RoundTripCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto bytes = c.table.encode();
    ASSERT_TRUE(bytes.has_value()) << bytes.error();
    ByteCursor reader(*bytes);
    EXPECT_EQ(StoredStringTable::read_le(reader), c.table);
    expect_exact_round_trip(*bytes);
  }
}

TEST(StoredStringTable, ReencodesTheKnownTableByteForByte) {
  const Bytes known = {0x0A, 0x00, 0x00, 0x23, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0xD5,
                       0x52, 0x41, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
                       0x08, 0x4C, 0x00, 0x65, 0x00, 0x66, 0x00, 0x74, 0x00, 0x20, 0x00,
                       0x41, 0x00, 0x6C, 0x00, 0x74, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  expect_exact_round_trip(known);
}

TEST(StoredStringTable, ReencodesTheBenchmarkTextArchive) {
  for (const StoredStringTable& table : bench::text_archive_tables()) {
    SCOPED_TRACE(table.id);
    expect_exact_round_trip(table.encode().value());
  }
}

TEST(StoredStringTable, ReencodesEveryTableOfTheSampleArchive) {
  // The sample tool writes over the empty file, which goes away with the test.
  const test_support::TempFile sample({}, "sample");
  const std::filesystem::path& archive = sample.path();
  const e2e::ProcessResult made = e2e::run_process(KELVANE_SAMPLE_TOOL, {archive.string()});
  ASSERT_EQ(made.exit_status, 0) << made.err;
  const auto dat = DatDatabase::open(archive);
  ASSERT_TRUE(dat.has_value()) << dat.error();
  const auto ids = dat->ids(DatFileType::StringTable);
  ASSERT_GT(ids.size(), 100u);
  for (const std::uint32_t id : ids) {
    SCOPED_TRACE(id);
    const auto bytes = dat->get_file(id);
    ASSERT_TRUE(bytes.has_value()) << bytes.error();
    expect_exact_round_trip(*bytes);
  }
}

// The documented losses: longer packed forms come back shortest, bytes after the record are not
// the table's; the decoded table stays the same.
TEST(StoredStringTable, RewritesLongerPackedFormsAndDropsTrailingBytes) {
  const Bytes header = {0x01, 0x00, 0x00, 0x23, 0x01, 0x00, 0x00, 0x00, 0x03};
  const Bytes entry_head = {0x07, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0x01, 0x00, 0x00, 0x00};
  const Bytes entry_tail = {0x41, 0x00, 0, 0, 0, 0, 0x00};
  const auto table_bytes = [&](const Bytes& count, const Bytes& length, const Bytes& trailing) {
    Bytes out = header;
    out.insert(out.end(), count.begin(), count.end());
    out.insert(out.end(), entry_head.begin(), entry_head.end());
    out.insert(out.end(), length.begin(), length.end());
    out.insert(out.end(), entry_tail.begin(), entry_tail.end());
    out.insert(out.end(), trailing.begin(), trailing.end());
    return out;
  };
  const Bytes shortest = table_bytes({0x01}, {0x01}, {});
  const Bytes cases[] = {table_bytes({0x80, 0x01}, {0x01}, {}),
                         table_bytes({0x01}, {0xC0, 0x00, 0x01, 0x00}, {}),
                         table_bytes({0x01}, {0x01}, {0xEE, 0xFF})};
  for (const Bytes& bytes : cases) {
    ByteCursor reader(bytes);
    const auto stored = StoredStringTable::read_le(reader);
    ASSERT_TRUE(stored.has_value()) << stored.error();
    EXPECT_EQ(stored->encode(), shortest);
    ByteCursor shortest_reader(shortest);
    EXPECT_EQ(stored->decoded(), StringTable::read_le(shortest_reader));
  }
}

TEST(StoredStringTable, AChangedTextChangesOnlyItsLengthAndUnits) {
  StoredStringTable table{.id = 0x23000001,
                          .entries = {{.key = 1, .texts = {u"before", u"short"}, .flag = 3},
                                      {.key = 2, .texts = {{0xD800}}}}};
  const Bytes original = table.encode().value();
  const std::string longer(130, 'y');  // the length grows to two bytes
  table.find(1)->texts[1] = utf8_to_utf16(longer).value();
  const Bytes changed = table.encode().value();

  // Up to the text's length byte, and from its end on, the bytes are the original ones.
  const std::size_t text_start = 9 + 1 + 12 + 1 + 2 * 6;
  const std::size_t old_end = text_start + 1 + 2 * 5;
  const std::size_t new_end = text_start + 2 + 2 * longer.size();
  ASSERT_EQ(changed.size(), original.size() - old_end + new_end);
  const auto at = [](const Bytes& bytes, std::size_t offset) {
    return bytes.begin() + static_cast<std::ptrdiff_t>(offset);
  };
  EXPECT_TRUE(std::equal(original.begin(), at(original, text_start), changed.begin()));
  EXPECT_TRUE(std::equal(at(original, old_end), original.end(), at(changed, new_end)));
  EXPECT_EQ(changed[text_start], 0x80);
  EXPECT_EQ(changed[text_start + 1], 130);
}

TEST(StoredStringTable, FindsTheEntryTheDecodedTableKeeps) {
  StoredStringTable table{.entries = {{.key = 4, .data_id = 1}, {.key = 4, .data_id = 2}}};
  ASSERT_NE(table.find(4), nullptr);
  EXPECT_EQ(table.find(4)->data_id, 2u);
  EXPECT_EQ(table.find(5), nullptr);
}

TEST(StoredStringTable, ReadFailsLikeTheDecodedReader) {
  StoredStringTable table{.id = 1, .entries = {{.key = 1, .texts = {u"Left Alt"}}}};
  const Bytes bytes = table.encode().value();
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    SCOPED_TRACE(size);
    const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    ByteCursor stored_reader(cut);
    ByteCursor decoded_reader(cut);
    const auto stored = StoredStringTable::read_le(stored_reader);
    const auto decoded = StringTable::read_le(decoded_reader);
    ASSERT_FALSE(stored.has_value());
    EXPECT_EQ(stored.error().to_string(), decoded.error().to_string());
    EXPECT_EQ(stored_reader.position(), decoded_reader.position());
  }
}

struct Utf8Case {
  std::string utf8;
  std::u16string units;  // empty with `error` set when invalid
  std::string error;
};

TEST(Utf8ToUtf16, EncodesValidTextAndNamesWhereInvalidTextBreaks) {
  const Utf8Case cases[] = {
      {"Caf\xC3\xA9", u"Caf\u00E9", ""},
      {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}, ""},
      {"\xEF\xBF\xBD", u"\uFFFD", ""},  // a real replacement character is kept
      {std::string("a\0b", 3), {u'a', 0, u'b'}, ""},
      {"ab\x80", u"", "Other error: invalid UTF-8 at byte 2 of a text"},
      {"\xED\xA0\x80", u"",
       "Other error: invalid UTF-8 at byte 0 of a text"},  // an encoded surrogate
      {"x\xF0\x9F\x98", u"", "Other error: invalid UTF-8 at byte 1 of a text"},  // cut short
  };
  for (const Utf8Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    const auto units = utf8_to_utf16(c.utf8);
    if (c.error.empty()) {
      EXPECT_EQ(units, c.units);
      EXPECT_EQ(utf16_to_utf8_lossy(c.units), c.utf8);
    } else {
      ASSERT_FALSE(units.has_value());
      EXPECT_EQ(units.error().to_string(), c.error);
    }
  }
}

}  // namespace
}  // namespace kelvane_dat
