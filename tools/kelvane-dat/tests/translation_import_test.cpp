// Putting translations back into a table, and pseudo-localising texts.

#include "translation/translation_import.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "translation/pseudo_localization.hpp"

namespace kelvane_dat::cli {
namespace {

constexpr std::uint32_t kTable = 0x2300000A;

StoredStringTable table() {
  return {.id = kTable,
          .entries = {{.key = 1, .texts = {u"Left Alt", u"Alt"}},
                      {.key = 2, .texts = {u"old"}},
                      {.key = 2, .texts = {{0xD800, u'x'}}, .flag = 2}}};
}

struct ImportCase {
  const char* name;
  UnitText unit;
  bool compare_sources;
  std::size_t changed;
  std::string problem;  // empty: none
};

TEST(ImportIntoTable, ChangesOnlyTranslatedTextsAndReportsTheRest) {
  const std::string lone = "\xEF\xBF\xBDx";  // how the lone surrogate reads
  const ImportCase cases[] = {
      {"translated", {.id = {kTable, 1, 1}, .source = "Alt", .target = "Alt Gr"}, true, 1, ""},
      {"empty target keeps the text", {.id = {kTable, 1, 0}, .source = "Left Alt"}, true, 0, ""},
      {"target equal to the decoded text keeps its units",
       {.id = {kTable, 2, 0}, .source = lone, .target = lone},
       true,
       0,
       ""},
      {"the last entry of a repeated key is the one exported",
       {.id = {kTable, 2, 0}, .source = "old", .target = "new"},
       true,
       0,
       "its source text is no longer the archive's (the archive changed since the export)"},
      {"without sources to compare", {.id = {kTable, 2, 0}, .target = "new"}, false, 1, ""},
      {"unknown key",
       {.id = {kTable, 3, 0}, .target = "x"},
       true,
       0,
       "names no text of the archive"},
      {"index past the texts",
       {.id = {kTable, 1, 2}, .target = "x"},
       true,
       0,
       "names no text of the archive"},
      {"another table",
       {.id = {kTable + 1, 1, 0}, .source = "Left Alt", .target = "x"},
       true,
       0,
       "names no text of the archive"},
      {"invalid UTF-8",
       {.id = {kTable, 1, 0}, .source = "Left Alt", .target = "\xC3"},
       true,
       0,
       "its translation is not valid UTF-8"},
  };
  for (const ImportCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> file = table().encode().value();
    ByteCursor cursor(file);
    const StoredTableTexts texts = StoredTableTexts::read_le(cursor).value();
    TableImport result = import_into_table(kTable, texts, {&c.unit, 1}, c.compare_sources);
    EXPECT_EQ(result.changes.size(), c.changed);
    const std::vector<ImportProblem> expected_problems =
        c.problem.empty() ? std::vector<ImportProblem>{}
                          : std::vector<ImportProblem>{{c.unit.id, c.problem}};
    EXPECT_EQ(result.problems, expected_problems);

    // Exactly the translated text differs; everything else keeps its bytes.
    StoredStringTable changed = table();
    apply_text_changes(result.changes, changed);
    StoredStringTable expected = table();
    if (c.changed != 0) {
      expected.find(c.unit.id.key)->texts[c.unit.id.index] = utf8_to_utf16(c.unit.target).value();
    }
    EXPECT_EQ(changed, expected);
  }
}

TEST(UnitsByTable, GroupsKeepingFileOrder) {
  std::vector<UnitText> units = {{.id = {2, 9, 0}}, {.id = {1, 5, 0}}, {.id = {2, 1, 0}}};
  const auto grouped = units_by_table(units);
  ASSERT_EQ(grouped.size(), 2u);
  EXPECT_EQ(grouped.at(2)[0].id.key, 9u);
  EXPECT_EQ(grouped.at(2)[1].id.key, 1u);
}

TEST(PseudoLocalize, AccentsLettersKeepsPlaceholdersAndGrowsByAThird) {
  const std::pair<std::string, std::string> cases[] = {
      {"Start Game", "[Ŝţàŕţ Ĝàɱé ~~~]"},
      {"", ""},
      {"%s has %1$d <b>{0}</b>!", "[%s ĥàš %1$d <b>{0}</b>! ~~~~]"},
      {"Caf\xC3\xA9", "[Çàƒé ~~]"},
      {"50%", "[50% ~]"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(pseudo_localize(text), expected);
  }
}

}  // namespace
}  // namespace kelvane_dat::cli
