#include "text_format.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane_dat::cli {
namespace {

struct JsonCase {
  std::string text;
  std::string json;
};

TEST(JsonString, EscapesWhatJsonRequiresAndNothingElse) {
  const JsonCase cases[] = {
      {"", "\"\""},
      {"Left Alt", "\"Left Alt\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\b", "\"a\\\\b\""},
      {"line\nfeed\ttab\rreturn\bback\fform", "\"line\\nfeed\\ttab\\rreturn\\bback\\fform\""},
      {std::string("nul\0one\x01us\x1F", 11), "\"nul\\u0000one\\u0001us\\u001F\""},
      {"del\x7F", "\"del\x7F\""},
      {"slash/", "\"slash/\""},
      // UTF-8 passes through untouched, supplementary characters included.
      {"Caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x80\xA8",
       "\"Caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x80\xA8\""},
  };
  for (const JsonCase& c : cases) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(json_string(c.text), c.json);
  }
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
