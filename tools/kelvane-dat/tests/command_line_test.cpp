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

constexpr std::string_view kPositionals[] = {"ARCHIVE", "ID"};
constexpr OptionSyntax kOptions[] = {
    {.name = "long", .short_name = 'l', .value_name = "", .help = ""},
    {.name = "force", .short_name = 'f', .value_name = "", .help = ""},
    {.name = "type", .short_name = 't', .value_name = "NAME", .help = ""},
    {.name = "json", .short_name = 0, .value_name = "", .help = ""},
};
constexpr CommandSyntax kSyntax{.name = "test",
                                .summary = "",
                                .positionals = kPositionals,
                                .required_positionals = 1,
                                .options = kOptions,
                                .details = ""};

struct ParseCase {
  const char* label;
  std::vector<std::string> args;
  std::vector<std::string> positionals;
  std::vector<std::string> flags;
  std::optional<std::string> type;
};

TEST(ParseArguments, OptionsAnywhereInEveryForm) {
  const ParseCase cases[] = {
      {"positional only", {"a.dat"}, {"a.dat"}, {}, {}},
      {"options after", {"a.dat", "--long", "--json"}, {"a.dat"}, {"long", "json"}, {}},
      {"options between", {"a.dat", "-l", "7"}, {"a.dat", "7"}, {"long"}, {}},
      {"value as next argument", {"--type", "Font", "a.dat"}, {"a.dat"}, {}, "Font"},
      {"value after equals", {"a.dat", "--type=Font"}, {"a.dat"}, {}, "Font"},
      {"empty value after equals", {"a.dat", "--type="}, {"a.dat"}, {}, ""},
      {"short value attached", {"-tFont", "a.dat"}, {"a.dat"}, {}, "Font"},
      {"short value next", {"-t", "Font", "a.dat"}, {"a.dat"}, {}, "Font"},
      {"clustered flags", {"-lf", "a.dat"}, {"a.dat"}, {"long", "force"}, {}},
      {"cluster ending in a value", {"-ltFont", "a.dat"}, {"a.dat"}, {"long"}, "Font"},
      {"value that looks like an option", {"--type", "--long", "a.dat"}, {"a.dat"}, {}, "--long"},
      {"last value wins", {"-t", "A", "a.dat", "-t", "B"}, {"a.dat"}, {}, "B"},
      {"double dash", {"--", "-l", "--json"}, {"-l", "--json"}, {}, {}},
      {"single dash is positional", {"-"}, {"-"}, {}, {}},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.label);
    const auto parsed = parse_arguments(kSyntax, c.args);
    ASSERT_TRUE(parsed.has_value()) << parsed.error();
    EXPECT_FALSE(parsed->help_requested());
    EXPECT_EQ(parsed->positionals(), c.positionals);
    for (const char* flag : {"long", "force", "json"}) {
      const bool expected = std::find(c.flags.begin(), c.flags.end(), flag) != c.flags.end();
      EXPECT_EQ(parsed->has(flag), expected) << flag;
    }
    EXPECT_EQ(parsed->value("type"), c.type);
  }
}

TEST(ParseArguments, HelpStopsParsing) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-h"}, {"a", "b", "c", "--help"}, {"-lh"}, {"--help", "--unknown"}}) {
    SCOPED_TRACE(args.front());
    const auto parsed = parse_arguments(kSyntax, args);
    ASSERT_TRUE(parsed.has_value()) << parsed.error();
    EXPECT_TRUE(parsed->help_requested());
  }
  const auto after_dashes = parse_arguments(kSyntax, std::vector<std::string>{"--", "--help"});
  ASSERT_TRUE(after_dashes.has_value());
  EXPECT_FALSE(after_dashes->help_requested());
}

TEST(ParseArguments, UsageErrors) {
  struct ErrorCase {
    std::vector<std::string> args;
    const char* error;
  };
  const ErrorCase cases[] = {
      {{}, "missing ARCHIVE"},
      {{"a", "b", "c"}, "unexpected argument 'c'"},
      {{"a", "--bogus"}, "unknown option '--bogus'"},
      {{"a", "--bogus=1"}, "unknown option '--bogus'"},
      {{"a", "-x"}, "unknown option '-x'"},
      {{"a", "-lx"}, "unknown option '-x'"},
      {{"a", "--long=1"}, "option '--long' takes no value"},
      {{"a", "--type"}, "option '--type' needs a value (NAME)"},
      {{"a", "-t"}, "option '-t' needs a value (NAME)"},
      {{"a", "--jso"}, "unknown option '--jso'"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.error);
    const auto parsed = parse_arguments(kSyntax, c.args);
    ASSERT_FALSE(parsed.has_value());
    EXPECT_EQ(parsed.error(), c.error);
  }
}

TEST(ParseArguments, OptionalPositionalMayBeLeftOut) {
  const auto parsed = parse_arguments(kSyntax, std::vector<std::string>{"a.dat"});
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->positional(0), "a.dat");
  EXPECT_EQ(parsed->positional(1), std::nullopt);
}

}  // namespace
}  // namespace kelvane_dat::cli
