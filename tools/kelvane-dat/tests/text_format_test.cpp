#include "text_format.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane_dat::cli {
namespace {

// The tool's one choice in writing JSON: bytes that are not UTF-8 do not fail the output.
TEST(JsonLine, CompactOnOneLineAndBytesThatAreNotUtf8Replaced) {
  const Json record = {{"key", "0x00000001"}, {"text", "bad\xFF end\n"}, {"index", 0}};
  EXPECT_EQ(json_line(record),
            "{\"key\":\"0x00000001\",\"text\":\"bad\xEF\xBF\xBD end\\n\",\"index\":0}\n");
}

TEST(Iso8601Utc, CivilDatesAcrossLeapDaysAndTheEnd) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0, "1970-01-01T00:00:00Z"},           {951782400, "2000-02-29T00:00:00Z"},
      {1593835530, "2020-07-04T04:05:30Z"},  {4107542399u, "2100-02-28T23:59:59Z"},
      {4294967295u, "2106-02-07T06:28:15Z"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(iso8601_utc(seconds), text) << seconds;
}

TEST(Columns, PadsToTheWidestCellAndAlignsNumbersRight) {
  Columns table({false, true, false});
  table.add_row({"StringTable", "7", "stored"});
  table.add_row({"Font", "1234", "compressed"});
  table.add_row({"Audio", "56", "x"});
  EXPECT_EQ(table.render(),
            "StringTable     7  stored\n"
            "Font         1234  compressed\n"
            "Audio          56  x\n");
}

TEST(Columns, NothingToRender) { EXPECT_EQ(Columns({false}).render(), ""); }

}  // namespace
}  // namespace kelvane_dat::cli
