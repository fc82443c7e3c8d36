#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <source_location>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "case_runner/check.hpp"
#include "case_runner/debug_repr.hpp"

namespace {

using case_runner::CheckFailure;
using case_runner::debug_repr;

namespace motion {
enum class Kind { Stance, AttackMedium };
std::string debug_string(Kind kind) { return kind == Kind::Stance ? "Stance" : "AttackMedium"; }

struct WithMember {
  std::string debug_string() const { return "WithMember(7)"; }
  bool operator==(const WithMember&) const = default;
};
}  // namespace motion

template <class Body>
CheckFailure failure_of(Body body) {
  try {
    body();
  } catch (const CheckFailure& failure) {
    return failure;
  }
  ADD_FAILURE() << "the check did not fail";
  return {};
}

TEST(DebugRepr, Integers) {
  EXPECT_EQ(debug_repr(std::uint32_t{587202571}), "587202571");
  EXPECT_EQ(debug_repr(-5), "-5");
  EXPECT_EQ(debug_repr(std::uint8_t{200}), "200");
  EXPECT_EQ(debug_repr(std::int8_t{-3}), "-3");
  EXPECT_EQ(debug_repr(std::uint64_t{18446744073709551615u}), "18446744073709551615");
  EXPECT_EQ(debug_repr(std::size_t{44}), "44");
}

TEST(DebugRepr, BoolCharAndFloat) {
  EXPECT_EQ(debug_repr(true), "true");
  EXPECT_EQ(debug_repr(false), "false");
  EXPECT_EQ(debug_repr('a'), "'a'");
  EXPECT_EQ(debug_repr('\''), "'\\''");
  EXPECT_EQ(debug_repr('"'), "'\"'");
  EXPECT_EQ(debug_repr(1.0), "1.0");
  EXPECT_EQ(debug_repr(0.1), "0.1");
  EXPECT_EQ(debug_repr(1.5f), "1.5");
  EXPECT_EQ(debug_repr(1e16), "1e16");
  EXPECT_EQ(debug_repr(1.5e-7), "1.5e-7");
  EXPECT_EQ(debug_repr(-0.0), "-0.0");
  EXPECT_EQ(debug_repr(1.0 / 0.0), "inf");
}

TEST(DebugRepr, TextsAreQuotedAndEscaped) {
  EXPECT_EQ(debug_repr(std::string("Left Alt")), "\"Left Alt\"");
  EXPECT_EQ(debug_repr(std::string_view("Off")), "\"Off\"");
  EXPECT_EQ(debug_repr("literal"), "\"literal\"");
  const char* pointer = "p";
  EXPECT_EQ(debug_repr(pointer), "\"p\"");
  EXPECT_EQ(debug_repr(std::string_view("q\"b\\t\tr\rn\n")), R"("q\"b\\t\tr\rn\n")");
  EXPECT_EQ(debug_repr(std::string("nul\0end", 7)), R"("nul\0end")");
  EXPECT_EQ(debug_repr(std::string_view("\x1b[0m\x7f")), R"("\u{1b}[0m\u{7f}")");
  EXPECT_EQ(debug_repr(std::string_view("it's")), R"("it's")");
}

TEST(DebugRepr, UnicodeNonPrintablesUseBraceEscapes) {
  EXPECT_EQ(debug_repr(std::string_view("caf\xC3\xA9")), "\"caf\xC3\xA9\"");  // é stays
  EXPECT_EQ(debug_repr(std::string_view("a\xC2\xA0"
                                        "b")),
            R"("a\u{a0}b")");                                                // no-break space
  EXPECT_EQ(debug_repr(std::string_view("\xC2\xAD")), R"("\u{ad}")");        // soft hyphen
  EXPECT_EQ(debug_repr(std::string_view("\xE2\x80\x8B")), R"("\u{200b}")");  // zero width space
  EXPECT_EQ(debug_repr(std::string_view("\xE2\x80\xA8")), R"("\u{2028}")");  // line separator
  EXPECT_EQ(debug_repr(std::string_view("\xEF\xBB\xBF")), R"("\u{feff}")");  // byte order mark
  EXPECT_EQ(debug_repr(std::string_view("\xC2\x85")), R"("\u{85}")");        // C1 control
  EXPECT_EQ(debug_repr(std::string_view("\xF0\x9F\x98\x80")), "\"\xF0\x9F\x98\x80\"");  // emoji
}

TEST(DebugRepr, InvalidUtf8BytesAreHexEscaped) {
  EXPECT_EQ(debug_repr(std::string_view("a\xFF"
                                        "b")),
            R"("a\xFFb")");
  EXPECT_EQ(debug_repr(std::string_view("\xC3")), R"("\xC3")");          // truncated sequence
  EXPECT_EQ(debug_repr(std::string_view("\xC0\x80")), R"("\xC0\x80")");  // overlong NUL
  EXPECT_EQ(debug_repr(std::string_view("\xED\xA0\x80")), R"("\xED\xA0\x80")");  // surrogate
}

TEST(DebugRepr, WideTexts) {
  EXPECT_EQ(debug_repr(std::u16string(u"Left\u00A0Alt")), R"("Left\u{a0}Alt")");
  EXPECT_EQ(debug_repr(std::u16string(1, static_cast<char16_t>(0xD800))), R"("\u{d800}")");
  EXPECT_EQ(debug_repr(u"x"), R"("x")");
  EXPECT_EQ(debug_repr(std::u32string(U"\U0001F600")), "\"\xF0\x9F\x98\x80\"");
  EXPECT_EQ(debug_repr(std::u8string(u8"\u00E9")), "\"\xC3\xA9\"");
}

TEST(DebugRepr, OptionalsAndContainers) {
  EXPECT_EQ(debug_repr(std::optional<std::string_view>("Off")), "Some(\"Off\")");
  EXPECT_EQ(debug_repr(std::optional<std::string_view>()), "None");
  EXPECT_EQ(debug_repr(std::nullopt), "None");
  EXPECT_EQ(debug_repr(std::optional<int>(3)), "Some(3)");
  EXPECT_EQ(debug_repr(std::vector<std::string>{"Left Alt"}), R"(["Left Alt"])");
  EXPECT_EQ(debug_repr(std::vector<std::string>{"a", "b"}), R"(["a", "b"])");
  EXPECT_EQ(debug_repr(std::vector<int>{}), "[]");
  EXPECT_EQ(debug_repr(std::array<std::uint8_t, 3>{1, 2, 3}), "[1, 2, 3]");
  const std::vector<std::uint32_t> values{7, 8};
  EXPECT_EQ(debug_repr(std::span<const std::uint32_t>(values)), "[7, 8]");
  EXPECT_EQ(debug_repr(std::map<int, std::string>{{1, "a"}, {2, "b"}}), R"({1: "a", 2: "b"})");
  EXPECT_EQ(debug_repr(std::set<int>{3, 1}), "{1, 3}");
  EXPECT_EQ(debug_repr(std::pair<int, bool>{1, true}), "(1, true)");
  EXPECT_EQ(debug_repr(std::tuple<int>{1}), "(1,)");
  EXPECT_EQ(debug_repr(std::vector<std::optional<int>>{1, std::nullopt}), "[Some(1), None]");
}

TEST(DebugRepr, UserTypesUseTheirDebugString) {
  EXPECT_EQ(debug_repr(motion::Kind::AttackMedium), "AttackMedium");
  EXPECT_EQ(debug_repr(motion::WithMember{}), "WithMember(7)");
  EXPECT_EQ(debug_repr(std::vector<motion::Kind>{motion::Kind::Stance}), "[Stance]");
  EXPECT_EQ(debug_repr(std::optional<motion::Kind>(motion::Kind::Stance)), "Some(Stance)");
}

TEST(CheckEq, PassesOnEqualValues) {
  case_runner::check_eq(std::uint32_t{2}, 2);
  case_runner::check_eq(std::size_t{2}, 2, "count");
  case_runner::check_eq(std::string("x"), "x");
  case_runner::check_eq(std::optional<std::string_view>("Off"),
                        std::optional<std::string_view>("Off"));
  case_runner::check_eq(motion::WithMember{}, motion::WithMember{});
  case_runner::check_ne(1, 2);
}

TEST(CheckEq, MixedSignednessComparesValues) {
  // -1 converted to unsigned would equal the maximum value; the check compares values.
  const auto failure = failure_of([] { case_runner::check_eq(-1, 4294967295u); });
  EXPECT_EQ(failure.message, "assertion `left == right` failed\n  left: -1\n right: 4294967295");
}

TEST(CheckEq, MessageWithoutText) {
  const auto failure = failure_of([] { case_runner::check_eq(std::size_t{3}, 2); });
  EXPECT_EQ(failure.message, "assertion `left == right` failed\n  left: 3\n right: 2");
}

TEST(CheckEq, MessageWithText) {
  const auto failure = failure_of(
      [] { case_runner::check_eq(44, 46, "StringTable 0x2300000A parser stopped at 44 of 46"); });
  EXPECT_EQ(failure.message,
            "assertion `left == right` failed: StringTable 0x2300000A parser stopped at 44 of "
            "46\n  left: 44\n right: 46");
}

TEST(CheckEq, RendersListsAndOptionals) {
  const auto lists = failure_of([] {
    case_runner::check_eq(std::vector<std::string>{"Left Alt", "x"},
                          std::vector<std::string>{"Left Alt"});
  });
  EXPECT_EQ(
      lists.message,
      "assertion `left == right` failed\n  left: [\"Left Alt\", \"x\"]\n right: [\"Left Alt\"]");
  const auto optionals = failure_of([] {
    case_runner::check_eq(std::optional<std::string_view>(),
                          std::optional<std::string_view>("Off"));
  });
  EXPECT_EQ(optionals.message,
            "assertion `left == right` failed\n  left: None\n right: Some(\"Off\")");
}

TEST(CheckEq, RecordsTheCallersLocation) {
  const std::uint_least32_t line = __LINE__ + 1;
  const auto failure = failure_of([] { case_runner::check_eq(1, 2); });
  EXPECT_EQ(failure.location.line(), line);
  EXPECT_TRUE(
      std::string_view(failure.location.file_name()).ends_with("case_runner_check_test.cpp"))
      << failure.location.file_name();
}

TEST(CheckNe, MessageNamesTheOperator) {
  const auto failure = failure_of([] { case_runner::check_ne(5, 5, "same"); });
  EXPECT_EQ(failure.message, "assertion `left != right` failed: same\n  left: 5\n right: 5");
}

TEST(Fail, CarriesTheMessageUnchangedAndTheLocation) {
  const auto where = std::source_location::current();
  const auto failure = failure_of(
      [&] { case_runner::fail("did not encounter known StringTable 0x2300000A", where); });
  EXPECT_EQ(failure.message, "did not encounter known StringTable 0x2300000A");
  EXPECT_EQ(failure.location.line(), where.line());
  EXPECT_EQ(failure.location.column(), where.column());
  EXPECT_EQ(failure_of([] { case_runner::check(false, "plain"); }).message, "plain");
}

TEST(CaseOutput, IsStandardOutputOutsideACase) {
  EXPECT_EQ(&case_runner::case_output(), &std::cout);
}

}  // namespace
