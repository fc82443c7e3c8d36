// Translation files: each format reads back what it wrote, and the tools translators use accept
// it (gettext's msgfmt and msgmerge, xmllint, Python's csv module).

#include "translation/translation_file.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive.hpp"
#include "e2e/process.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "support/temp_file.hpp"
#include "translation/translation_codecs.hpp"
#include "translation/xml_reader.hpp"

namespace kelvane_dat::cli {
namespace {

namespace fs = std::filesystem;

// Texts that break naive writers: separators and quotes of every format, line ends, controls,
// markup, characters beyond the BMP, the replacement character a lone surrogate reads as.
std::vector<TranslationUnit> tricky_units() {
  const std::vector<std::string> texts = {
      "Left Alt",
      "",
      "Say \"hi\", then \\ bye",
      "Line\nbreak\r\nand\ttab\x01",
      "<b>&amp;</b> 'x' \xEF\xBF\xBE",
      "Caf\xC3\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBD",
      "  spaces around  ",
      "#. not a comment\nmsgid \"x\"",
  };
  std::vector<TranslationUnit> units;
  for (std::uint32_t i = 0; i < texts.size(); ++i) {
    units.push_back({.id = {0x2300000A + i / 4, 0x014152D5 + i / 2, i % 2},
                     .source = texts[i],
                     .target = i % 3 == 0 ? texts[texts.size() - 1 - i] : "",
                     .data_id = i % 2 == 0 ? 0u : 0x31000000 + i,
                     .variables = std::vector<std::uint32_t>(i % 3, 0x10 + i)});
  }
  return units;
}

// What a format carries back: JSON Lines has no source and one data id and variable list per entry,
// and its strings are the targets where given, else the sources.
std::vector<TranslationUnit> as_read(TranslationFormat format, std::vector<TranslationUnit> units) {
  for (TranslationUnit& unit : units) {
    switch (format) {
      case TranslationFormat::Po:
      case TranslationFormat::Xliff:
        unit.data_id = 0;
        unit.variables.clear();
        break;
      case TranslationFormat::Csv:
        break;
      case TranslationFormat::JsonLines:
        if (unit.target.empty()) unit.target = unit.source;
        unit.source.clear();
        unit.data_id = 0;
        unit.variables.clear();
        break;
    }
  }
  return units;
}

fs::path scratch_file(const test_support::TempFile& base, std::string_view extension) {
  fs::path path = base.path();
  return path.replace_extension(extension);
}

// The program's path on PATH, or empty where it (or a POSIX shell to look for it) is missing.
std::string find_program(const std::string& name) {
  const e2e::ProcessResult found = e2e::run_process("/bin/sh", {"-c", "command -v " + name});
  if (found.exit_status != 0) return {};
  std::string path = found.out;
  while (!path.empty() && path.back() == '\n') path.pop_back();
  return path;
}

TEST(TranslationFile, EachFormatReadsBackWhatItWrote) {
  const test_support::TempFile base({}, "translation");
  for (const TranslationFormat format : {TranslationFormat::Po, TranslationFormat::Xliff,
                                         TranslationFormat::Csv, TranslationFormat::JsonLines}) {
    SCOPED_TRACE(std::string(to_string(format)));
    if (!translation_format_available(format)) continue;
    const fs::path path = scratch_file(base, to_string(format));
    const std::vector<TranslationUnit> units = tricky_units();
    ASSERT_TRUE(write_translation(format, units, 1, path).has_value());
    const auto read = read_translation(format, path);
    // What import reads, which for CSV views the file's text instead of copying it.
    TranslationTexts texts;
    const auto read_texts = read_translation_texts(format, path, texts);
    fs::remove(path);
    ASSERT_TRUE(read.has_value()) << read.error();
    EXPECT_EQ(*read, as_read(format, units));
    ASSERT_TRUE(read_texts.has_value()) << read_texts.error();
    ASSERT_EQ(texts.units.size(), read->size());
    for (std::size_t i = 0; i < read->size(); ++i) {
      EXPECT_EQ(texts.units[i].id, (*read)[i].id);
      EXPECT_EQ(texts.units[i].source, (*read)[i].source);
      EXPECT_EQ(texts.units[i].target, (*read)[i].target);
    }
  }
}

// Export reads a table's texts where its file holds them: its units must be the decoded table's,
// and its CSV the CSV of those units.
TEST(TranslationFile, ATablesUnitsAreItsDecodedTexts) {
  StoredStringTable stored{.id = 0x2300000A, .language = 1, .entries = {}};
  for (const TranslationUnit& unit : tricky_units()) {
    if (unit.id.index == 0) {
      stored.entries.push_back(
          {.key = unit.id.key, .data_id = unit.data_id, .variables = unit.variables, .flag = 2});
    }
    stored.entries.back().texts.push_back(utf8_to_utf16(unit.source).value());
  }
  // Keys out of order, a key repeated (its last entry is the one decoded), a lone surrogate, an
  // entry without texts.
  stored.entries.push_back({.key = 0x014152D5, .texts = {u"first"}});
  stored.entries.push_back({.key = 1, .texts = {{0xDC00, u'a', 0xD800}, u"x"}});
  stored.entries.push_back({.key = 0x014152D5, .data_id = 7, .texts = {u"last", u""}});
  stored.entries.push_back({.key = 2, .variables = {3}});
  const std::vector<std::uint8_t> file = stored.encode().value();
  ByteCursor cursor(file);
  const StoredTableTexts texts = StoredTableTexts::read_le(cursor).value();

  const StringTable decoded = stored.decoded();
  std::vector<TranslationUnit> expected;
  for (const std::uint32_t key : sorted_keys(decoded)) {
    const StringTableString& entry = decoded.strings.at(key);
    for (std::uint32_t i = 0; i < entry.strings.size(); ++i) {
      expected.push_back({.id = {stored.id, key, i},
                          .source = entry.strings[i],
                          .data_id = entry.data_id,
                          .variables = entry.variables,
                          .var_name_table_worth_packing = entry.is_var_name_table_worth_packing});
    }
  }
  const std::vector<TranslationUnit> units = translation_units(stored.id, texts);
  EXPECT_EQ(units, expected);
  std::string by_table;
  append_csv_table(by_table, stored.id, texts);
  std::string by_units;
  append_csv(by_units, units);
  EXPECT_EQ(by_table, by_units);
}

TEST(TranslationFile, GettextChecksAndMergesThePoFile) {
  const std::string msgfmt = find_program("msgfmt");
  const std::string msgmerge = find_program("msgmerge");
  if (!translation_format_available(TranslationFormat::Po) || msgfmt.empty() || msgmerge.empty()) {
    GTEST_SKIP() << "no libgettextpo or gettext tools";
  }
  const test_support::TempFile base({}, "translation");
  const fs::path old_po = scratch_file(base, ".old.po");
  const fs::path new_pot = scratch_file(base, ".pot");
  std::vector<TranslationUnit> units = tricky_units();
  ASSERT_TRUE(write_translation(TranslationFormat::Po, units, 1, old_po).has_value());
  const e2e::ProcessResult check =
      e2e::run_process(msgfmt, {"--check", "-o", "/dev/null", old_po.string()});
  EXPECT_EQ(check.exit_status, 0) << check.err;

  // The archive changed: one source text is new. msgmerge keeps the other translations and marks
  // the changed one fuzzy, which reads back untranslated.
  units[3].source = "Line break, reworded";
  for (TranslationUnit& unit : units) unit.target.clear();
  ASSERT_TRUE(write_translation(TranslationFormat::Po, units, 1, new_pot).has_value());
  const e2e::ProcessResult merge = e2e::run_process(
      msgmerge, {"--quiet", "--update", "--backup=off", old_po.string(), new_pot.string()});
  ASSERT_EQ(merge.exit_status, 0) << merge.err;
  const auto merged = read_translation(TranslationFormat::Po, old_po);
  fs::remove(old_po);
  fs::remove(new_pot);
  ASSERT_TRUE(merged.has_value()) << merged.error();
  const std::vector<TranslationUnit> written = tricky_units();
  ASSERT_EQ(merged->size(), written.size());
  for (std::size_t i = 0; i < written.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ((*merged)[i].source, units[i].source);
    EXPECT_EQ((*merged)[i].target, i == 3 ? "" : written[i].target);
  }
}

TEST(TranslationFile, XliffIsWellFormedWithOneUnitPerText) {
  const std::string xmllint = find_program("xmllint");
  if (xmllint.empty()) GTEST_SKIP() << "no xmllint";
  const test_support::TempFile base({}, "translation");
  const fs::path path = scratch_file(base, ".xlf");
  const std::vector<TranslationUnit> units = tricky_units();
  ASSERT_TRUE(write_translation(TranslationFormat::Xliff, units, 1, path).has_value());
  const e2e::ProcessResult lint = e2e::run_process(xmllint, {"--noout", path.string()});
  EXPECT_EQ(lint.exit_status, 0) << lint.err;
  // No Debian package ships the XLIFF 2.0 schema; its structure is checked instead: the 2.0
  // namespace, units inside files, each with its notes before one segment with a source.
  const std::string xliff =
      "/*[local-name()='xliff' and namespace-uri()="
      "'urn:oasis:names:tc:xliff:document:2.0' and @version='2.0']";
  const std::string unit = xliff + "/*[local-name()='file' and @id]/*[local-name()='unit' and @id]";
  const std::string complete_unit =
      unit +
      "[*[1][local-name()='notes'] and *[2][local-name()='segment']/*[1][local-name()='source']]";
  const e2e::ProcessResult counted = e2e::run_process(
      xmllint, {"--xpath",
                "concat(count(" + unit + "), ' ', count(" + complete_unit + "), ' ', count(" +
                    xliff + "/*/*/*/*[local-name()='target']), ' ', count(//*[local-name()='cp']))",
                path.string()});
  fs::remove(path);
  // Two targets; U+0001 and U+FFFE (twice) as <cp>.
  EXPECT_EQ(counted.out, "8 8 2 3\n");
}

TEST(TranslationFile, PythonsCsvModuleReadsTheRowsBack) {
  const std::string python = find_program("/usr/bin/python3");
  if (python.empty()) GTEST_SKIP() << "no Python";
  const test_support::TempFile base({}, "translation");
  const fs::path path = scratch_file(base, ".csv");
  const std::vector<TranslationUnit> units = tricky_units();
  ASSERT_TRUE(write_translation(TranslationFormat::Csv, units, 1, path).has_value());
  // Each field back as its UTF-8 bytes in hexadecimal, one record a line.
  const e2e::ProcessResult read = e2e::run_process(
      python, {"-c",
               "import csv,sys\n"
               "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
               "  for row in csv.reader(f): print(' '.join(c.encode().hex() for c in row))",
               path.string()});
  fs::remove(path);
  ASSERT_EQ(read.exit_status, 0) << read.err;
  const auto hex = [](const std::string& text) {
    std::string out;
    for (const char c : text) {
      static constexpr char kDigits[] = "0123456789abcdef";
      out += kDigits[static_cast<unsigned char>(c) >> 4];
      out += kDigits[static_cast<unsigned char>(c) & 0xF];
    }
    return out;
  };
  std::string expected = hex("id") + " " + hex("source") + " " + hex("target") + " " +
                         hex("data_id") + " " + hex("variables") + "\n";
  for (const TranslationUnit& unit : units) {
    std::string variables;
    for (const std::uint32_t v : unit.variables) {
      char text[16];
      std::snprintf(text, sizeof text, "%s0x%08X", variables.empty() ? "" : " ", v);
      variables += text;
    }
    char data_id[16];
    std::snprintf(data_id, sizeof data_id, "0x%08X", unit.data_id);
    expected += hex(unit_id_text(unit.id)) + " " + hex(unit.source) + " " + hex(unit.target) + " " +
                hex(data_id) + " " + hex(variables) + "\n";
  }
  EXPECT_EQ(read.out, expected);
}

struct BadInput {
  TranslationFormat format;
  std::string text;
  std::string error;
};

TEST(TranslationFile, ReadersNameWhatIsWrong) {
  const BadInput cases[] = {
      {TranslationFormat::Csv, "id,source\r\n",
       "line 1: the header must name the columns id, source and target"},
      {TranslationFormat::Csv, "id,source,target\r\n0x1/0x2,a,b\r\n",
       "line 2: invalid unit id \"0x1/0x2\" (expected TABLE/KEY/INDEX, e.g. "
       "0x2300000A/0x014152D5/0)"},
      {TranslationFormat::Csv, "id,source,target\r\n0x1/0x2/0,\"a,b\r\n", "line 2: unclosed quote"},
      // Bytes that are no UTF-8 would reach the archive as U+FFFD, whatever the translator meant;
      // past the first eight ASCII bytes, and alone among them.
      {TranslationFormat::Csv, "id,source,target\r\n0x1/0x2/0,a,\xC3\r\n", "line 2: not UTF-8"},
      {TranslationFormat::Csv, "\xFF", "line 1: not UTF-8"},
      {TranslationFormat::Csv,
       "id,source,target\r\n0x1/0x2/0,a long text of forty-odd ASCII bytes before it \x80,\r\n",
       "line 2: not UTF-8"},
      {TranslationFormat::Xliff, "<xliff version=\"2.0\">\n\n<!-- \xED\xA0\x80 -->",
       "line 3: not UTF-8"},
      {TranslationFormat::JsonLines,
       "{\"table\":\"0x1\",\"key\":\"0x2\",\"strings\":[\"a\"]}\n[1]\n",
       "line 2: not a JSON object"},
      {TranslationFormat::JsonLines, "{\"table\":\"0x1\",\"key\":2,\"strings\":[]}\n",
       "line 1: \"key\" is missing or not a string"},
      {TranslationFormat::Xliff, "<xliff version=\"1.2\"/>", "line 1: not an XLIFF 2.0 document"},
      {TranslationFormat::Xliff, "<!DOCTYPE x [<!ENTITY a \"aaaa\">]><xliff version=\"2.0\"/>",
       "line 1: document type declarations are not accepted"},
      {TranslationFormat::Xliff,
       "<xliff version=\"2.0\"><file>\n<unit "
       "name=\"0x1/0x2/0\"><source>a</target></unit></file></xliff>",
       "line 2: </target> does not close the open element"},
      {TranslationFormat::Xliff, "<xliff version=\"2.0\"><unit name=\"x\">&bogus;</unit></xliff>",
       "line 1: invalid unit id \"x\" (expected TABLE/KEY/INDEX, e.g. 0x2300000A/0x014152D5/0)"},
  };
  for (const BadInput& c : cases) {
    SCOPED_TRACE(c.text);
    const auto read = c.format == TranslationFormat::Csv         ? read_csv(c.text)
                      : c.format == TranslationFormat::JsonLines ? read_json_lines(c.text)
                                                                 : read_xliff(c.text);
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error(), c.error);
  }
}

TEST(TranslationFile, ReadersRefuseAUnitNamedTwice) {
  const BadInput cases[] = {
      {TranslationFormat::Po,
       "msgctxt \"0x1/0x2/0\"\nmsgid \"a\"\nmsgstr \"\"\n\n"
       "msgctxt \"0x1/0x2/0\"\nmsgid \"b\"\nmsgstr \"\"\n",
       "unit 0x00000001/0x00000002/0 appears twice"},
      {TranslationFormat::Csv,
       "id,source,target\r\n0x1/0x2/0,a,\r\n0x1/0x2/1,b,\r\n0x1/0x2/0,c,\r\n",
       "line 4: unit 0x00000001/0x00000002/0 appears twice"},
      {TranslationFormat::JsonLines,
       "{\"table\":\"0x1\",\"key\":\"0x2\",\"strings\":[\"a\"]}\n"
       "{\"table\":\"0x1\",\"key\":\"0x2\",\"strings\":[\"b\"]}\n",
       "line 2: unit 0x00000001/0x00000002/0 appears twice"},
      {TranslationFormat::Xliff,
       "<xliff version=\"2.0\"><file>\n<unit name=\"0x1/0x2/0\"/>\n<unit name=\"0x1/0x2/0\"/>"
       "</file></xliff>",
       "line 3: unit 0x00000001/0x00000002/0 appears twice"},
  };
  for (const BadInput& c : cases) {
    SCOPED_TRACE(std::string(to_string(c.format)));
    if (!translation_format_available(c.format)) continue;
    const test_support::TempFile file(
        {reinterpret_cast<const std::uint8_t*>(c.text.data()), c.text.size()}, "translation");
    const auto read = read_translation(c.format, file.path());
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error(), c.error);
  }
}

// CSV shows an exported file's ascending ids free of repeats without keeping them; any other order
// must find the repeat the other readers' check finds, every id with its line.
TEST(TranslationFile, CsvFindsTheRepeatTheSharedCheckFinds) {
  const std::vector<std::vector<std::uint32_t>> orders = {
      {1, 2, 3},
      {3, 2, 1},
      {1, 2, 1},
      {2, 2},
      {1, 3, 2, 3},
      {1, 5, 2, 5, 2},
      {4, 1, 2, 3, 1, 4},
      {1, 2, 3, 0, 3, 2},
      {6, 7, 1, 6},
      {1, 3, 5, 2, 4},
      {},
  };
  for (const std::vector<std::uint32_t>& keys : orders) {
    std::string csv = "id,source,target\r\n";
    SeenUnitIds seen;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      // A quoted line end first, so records and lines differ.
      csv += "0x1/" + std::to_string(keys[i]) + "/0,\"a\nb\",\r\n";
      seen.add({1, keys[i], 0}, 2 + 2 * i);
    }
    SCOPED_TRACE(csv);
    const auto read = read_csv(csv);
    const std::optional<std::string> repeated = seen.repeated();
    ASSERT_EQ(read.has_value(), !repeated.has_value());
    if (repeated) {
      EXPECT_EQ(read.error(), *repeated);
    }
  }
}

TEST(XmlReader, ResolvesReferencesAndCdataAndKeepsLineEndsAsParsersDo) {
  XmlReader reader(
      "<?xml version=\"1.0\"?><!-- c --><a x='&lt;&#x41;&#66;'>1&amp;2\r\n"
      "<![CDATA[<raw>]]>&#xD;<b/></a>");
  auto start = reader.next();
  ASSERT_TRUE(start.has_value());
  EXPECT_EQ(start->name, "a");
  ASSERT_NE(start->attribute("x"), nullptr);
  EXPECT_EQ(*start->attribute("x"), "<AB");
  const auto text = reader.next();
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->text, "1&2\n<raw>\r");
  EXPECT_EQ(reader.next()->kind, XmlEvent::Kind::Start);
  EXPECT_EQ(reader.next()->kind, XmlEvent::Kind::End);
  EXPECT_EQ(reader.next()->kind, XmlEvent::Kind::End);
  EXPECT_EQ(reader.next()->kind, XmlEvent::Kind::Finish);
}

}  // namespace
}  // namespace kelvane_dat::cli
