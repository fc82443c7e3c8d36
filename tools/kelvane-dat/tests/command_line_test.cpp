#include "command_line.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kelvane_dat::cli {
namespace {

struct IdCase {
  const char* text;
  std::optional<std::uint32_t> value;
};

TEST(ParseFileId, HexadecimalOrDecimalBelowTwoToThe32) {
  const IdCase cases[] = {
      {"0x2300000A", 0x2300000A},
      {"0X2300000a", 0x2300000A},
      {"0x0", 0},
      {"0xFFFFFFFF", 0xFFFFFFFF},
      {"0x00000000FF", 0xFF},  // leading zeros are not digits that overflow
      {"587202570", 0x2300000A},
      {"0", 0},
      {"4294967295", 0xFFFFFFFF},
      {"0x100000000", std::nullopt},
      {"4294967296", std::nullopt},
      {"", std::nullopt},
      {"0x", std::nullopt},
      {"2300000A", std::nullopt},  // hexadecimal needs its prefix
      {"-1", std::nullopt},
      {"+1", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"0x-1", std::nullopt},
      {"0x 1", std::nullopt},
      {"0xaBcD09eF", 0xABCD09EF},
      {"0x0000000G", std::nullopt},
      {"0x/", std::nullopt},
      {"1e3", std::nullopt},
  };
  for (const IdCase& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = parse_file_id(c.text);
    ASSERT_EQ(parsed.has_value(), c.value.has_value()) << (parsed ? "" : parsed.error());
    if (c.value) {
      EXPECT_EQ(*parsed, *c.value);
    }
  }
}

TEST(ParseFileId, ErrorSaysWhatWasWrong) {
  EXPECT_EQ(parse_file_id("0x123456789").error(), "file id '0x123456789' does not fit in 32 bits");
  EXPECT_EQ(parse_file_id("abc").error(),
            "invalid file id 'abc' (expected hexadecimal like 0x2300000A, or a decimal number)");
}

TEST(ParseCount, PositiveUpToTheLimit) {
  EXPECT_EQ(parse_count("1", 8).value(), 1u);
  EXPECT_EQ(parse_count("8", 8).value(), 8u);
  for (const char* bad : {"0", "9", "", "-1", "+2", "2x", " 2", "99999999999999999999999"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(parse_count(bad, 8).has_value());
  }
}

struct TestOptions {
  std::string archive;
  std::optional<std::uint32_t> id;
  bool long_format = false;
  bool force = false;
  std::string type;
  bool json = false;

  friend bool operator==(const TestOptions&, const TestOptions&) = default;
};

int record(const TestOptions&) { return 0; }

// A command with every kind of argument the tool's commands have; `options` is where it parses to.
struct TestCommand {
  TestCommand() {
    const auto [app, parsed] = commands.add<TestOptions>("test", "", "", &record);
    options = &parsed;
    add_path_argument(app, "ARCHIVE", parsed.archive, "");
    add_file_id_argument(app, parsed.id, "");
    app.add_flag("-l,--long", parsed.long_format, "");
    app.add_flag("-f,--force", parsed.force, "");
    app.add_option("-t,--type", parsed.type, "")->type_name("NAME");
    app.add_flag("--json", parsed.json, "");
  }

  std::expected<ParseOutcome, std::string> parse(const std::vector<std::string>& args) {
    return parse_command(commands.commands().front(), args);
  }

  CommandSet commands;
  TestOptions* options = nullptr;
};

struct ParseCase {
  const char* label;
  std::vector<std::string> args;
  // archive, id, long, force, type, json
  TestOptions expected;
};

TEST(ParseCommand, OptionsAnywhereInEveryForm) {
  const ParseCase cases[] = {
      {"positional only", {"a.dat"}, {"a.dat", {}, false, false, "", false}},
      {"options after", {"a.dat", "--long", "--json"}, {"a.dat", {}, true, false, "", true}},
      {"options between", {"a.dat", "-l", "7"}, {"a.dat", 7, true, false, "", false}},
      {"value as next argument",
       {"--type", "Font", "a.dat"},
       {"a.dat", {}, false, false, "Font", false}},
      {"value after equals", {"a.dat", "--type=Font"}, {"a.dat", {}, false, false, "Font", false}},
      {"short value attached", {"-tFont", "a.dat"}, {"a.dat", {}, false, false, "Font", false}},
      {"short value next", {"-t", "Font", "a.dat"}, {"a.dat", {}, false, false, "Font", false}},
      {"clustered flags", {"-lf", "a.dat"}, {"a.dat", {}, true, true, "", false}},
      {"cluster ending in a value",
       {"-ltFont", "a.dat"},
       {"a.dat", {}, true, false, "Font", false}},
      {"last value wins", {"-t", "A", "a.dat", "-t", "B"}, {"a.dat", {}, false, false, "B", false}},
      {"double dash", {"--", "-l", "0x10"}, {"-l", 16, false, false, "", false}},
      {"single dash is positional", {"-"}, {"-", {}, false, false, "", false}},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.label);
    TestCommand command;
    const auto parsed = command.parse(c.args);
    ASSERT_TRUE(parsed.has_value()) << parsed.error();
    EXPECT_EQ(*parsed, ParseOutcome::Run);
    EXPECT_TRUE(*command.options == c.expected)
        << command.options->archive << " " << command.options->id.value_or(0) << " "
        << command.options->type;
  }
}

TEST(ParseCommand, HelpAnywhereWins) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-h"}, {"a", "1", "--help"}, {"-lh"}, {"--help", "--unknown"}}) {
    TestCommand command;
    EXPECT_EQ(command.parse(args), ParseOutcome::Help) << args.front();
  }
  TestCommand command;
  const auto after_dashes = command.parse({"--", "--help"});
  ASSERT_TRUE(after_dashes.has_value()) << after_dashes.error();
  EXPECT_EQ(command.options->archive, "--help");
}

TEST(ParseCommand, UsageErrors) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{}, "missing ARCHIVE"},
      {{"a", "1", "c"}, "unexpected argument 'c'"},
      {{"a", "--bogus"}, "unknown option '--bogus'"},
      {{"a", "--bogus=1"}, "unknown option '--bogus'"},
      {{"a", "-x"}, "unknown option '-x'"},
      {{"a", "-lx"}, "unknown option '-x'"},
      {{"a", "--type"}, "option '--type' needs a value (NAME)"},
      {{"a", "--jso"}, "unknown option '--jso'"},
      {{"a", "12x"},
       "invalid file id '12x' (expected hexadecimal like 0x2300000A, or a decimal number)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    TestCommand command;
    const auto parsed = command.parse(c.args);
    ASSERT_FALSE(parsed.has_value());
    EXPECT_EQ(parsed.error(), c.error);
  }
}

}  // namespace
}  // namespace kelvane_dat::cli
