#include "common/motion_command_names.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "case_runner/check.hpp"

namespace common::motion_command_names {
namespace {

std::uint32_t class_byte(std::uint32_t id) { return id >> 24; }

std::string hex(std::uint32_t id) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << id;
  return out.str();
}

// --- Table data -------------------------------------------------------------------------------

TEST(MotionCommandNames, TableRunsFromInvalidToHoldSidestep) {
  // A short initialiser list would leave value-initialised rows at the end, so the last row and
  // the non-empty names below catch a dropped row even though the array size is fixed.
  EXPECT_EQ(MOTION_COMMAND_NAMES.front().id, 0x00000000u);
  EXPECT_EQ(MOTION_COMMAND_NAMES.front().name, "Invalid");
  EXPECT_EQ(MOTION_COMMAND_NAMES.back().id, 0x85000002u);
  EXPECT_EQ(MOTION_COMMAND_NAMES.back().name, "HoldSidestep");
}

TEST(MotionCommandNames, IdsAreStrictlyAscending) {
  for (std::size_t i = 1; i < MOTION_COMMAND_NAMES.size(); ++i) {
    SCOPED_TRACE(MOTION_COMMAND_NAMES[i].name);
    EXPECT_LT(MOTION_COMMAND_NAMES[i - 1].id, MOTION_COMMAND_NAMES[i].id);
  }
}

TEST(MotionCommandNames, NamesAreUniqueShortAsciiAlphanumerics) {
  std::set<std::string_view> seen;
  for (const MotionCommand& row : MOTION_COMMAND_NAMES) {
    SCOPED_TRACE(hex(row.id));
    EXPECT_TRUE(seen.insert(row.name).second) << row.name;
    EXPECT_GE(row.name.size(), 2u);
    EXPECT_LE(row.name.size(), 37u);
    const bool alphanumeric = std::ranges::all_of(row.name, [](char c) {
      return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
    EXPECT_TRUE(alphanumeric) << row.name;
  }
}

TEST(MotionCommandNames, CommandNumbersCoverZeroTo411ExceptUnassigned) {
  std::vector<std::uint32_t> numbers;
  for (const MotionCommand& row : MOTION_COMMAND_NAMES) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.id & 0x00FF0000u, 0u);
    numbers.push_back(row.id & 0xFFFFu);
  }
  std::ranges::sort(numbers);
  std::vector<std::uint32_t> expected;
  for (std::uint32_t number = 0; number <= 411; ++number) {
    if (number < 277 || number > 279) expected.push_back(number);
  }
  EXPECT_EQ(numbers, expected);
}

TEST(MotionCommandNames, GroupSizesPerClassByte) {
  std::map<std::uint32_t, int> sizes;
  for (const MotionCommand& row : MOTION_COMMAND_NAMES) ++sizes[class_byte(row.id)];
  const std::map<std::uint32_t, int> expected{
      {0x00, 1},  {0x08, 5}, {0x09, 83}, {0x0C, 1},  {0x0D, 10}, {0x10, 133}, {0x12, 3},
      {0x13, 49}, {0x20, 1}, {0x25, 1},  {0x40, 54}, {0x41, 4},  {0x42, 1},   {0x43, 36},
      {0x44, 1},  {0x45, 2}, {0x65, 4},  {0x80, 18}, {0x85, 2}};
  EXPECT_EQ(sizes, expected);
}

// --- Lookup -----------------------------------------------------------------------------------

TEST(MotionCommandName, EveryRowFindsItsOwnNameText) {
  for (const MotionCommand& row : MOTION_COMMAND_NAMES) {
    SCOPED_TRACE(hex(row.id));
    const std::optional<std::string_view> name = motion_command_name(row.id);
    ASSERT_TRUE(name.has_value());
    // The lookup hands out the table's own text, not a copy.
    EXPECT_EQ(name->data(), row.name.data());
    EXPECT_EQ(name->size(), row.name.size());
  }
}

struct NameCase {
  std::uint32_t id;
  std::optional<std::string_view> name;
};

constexpr NameCase kNameCases[] = {
    {0x00000000, "Invalid"},
    {0x85000002, "HoldSidestep"},
    {0x8000003D, "NonCombat"},
    {0x40000004, "Stop"},
    {0x2000003A, "StopTurning"},
    {0x1000004B, "Jumpup"},
    {0x43000142, "TalktotheHandState"},
    {0x4300013E, "SitCrossleggedState"},
    {0x1000019B, "WoahDuplicate2"},
    {0x420000F9, "ATOYOT"},
    {0x4300011B, "AFKState"},
    {0x09000169, "AutomaticallyAcceptFellowshipRequests"},
    // Misses: past the last row, between rows, and a command number without its class byte.
    {0x85000003, std::nullopt},
    {0xFFFFFFFF, std::nullopt},
    {0xDEADBEEF, std::nullopt},
    {0x00000001, std::nullopt},
    {0x080000A1, std::nullopt},
    {0x09000115, std::nullopt},
    {0x0000003D, std::nullopt},
    {0x1100004B, std::nullopt},
};

TEST(MotionCommandName, KnownIdsAndMisses) {
  for (const NameCase& c : kNameCases) {
    SCOPED_TRACE(hex(c.id));
    EXPECT_EQ(motion_command_name(c.id), c.name);
  }
}

// --- Classification ---------------------------------------------------------------------------

TEST(MotionCommandClass, EveryVariantHasItsName) {
  constexpr std::string_view kNames[] = {
      "Invalid", "Stance", "Locomotion",   "Turn",         "Jump",       "Stop",
      "HoldKey", "Aim",    "MagicGesture", "Posture",      "StateEmote", "QuickEmote",
      "UiPanel", "Action", "AttackHigh",   "AttackMedium", "AttackLow",  "Misc"};
  for (std::uint8_t value = 0; value < std::size(kNames); ++value) {
    const auto variant = static_cast<MotionCommandClass>(value);
    SCOPED_TRACE(kNames[value]);
    EXPECT_EQ(to_string(variant), kNames[value]);
    EXPECT_EQ(debug_string(variant), kNames[value]);
    std::ostringstream out;
    out << variant;
    EXPECT_EQ(out.str(), kNames[value]);
  }
}

// Counting over the whole table catches a rule applied in the wrong order, which single ids miss.
TEST(MotionCommandClass, TableRowsPerClassByte) {
  using enum MotionCommandClass;
  std::map<std::pair<std::uint32_t, MotionCommandClass>, int> counts;
  for (const MotionCommand& row : MOTION_COMMAND_NAMES) {
    ++counts[{class_byte(row.id), motion_command_class(row.id)}];
  }
  const std::map<std::pair<std::uint32_t, MotionCommandClass>, int> expected{
      {{0x00, Invalid}, 1},       {{0x08, Misc}, 5},          {{0x09, Misc}, 83},
      {{0x0C, Misc}, 1},          {{0x0D, Misc}, 10},         {{0x10, Action}, 67},
      {{0x10, AttackHigh}, 22},   {{0x10, AttackMedium}, 22}, {{0x10, AttackLow}, 22},
      {{0x12, Misc}, 3},          {{0x13, QuickEmote}, 49},   {{0x20, Stop}, 1},
      {{0x25, Jump}, 1},          {{0x40, Locomotion}, 26},   {{0x40, Aim}, 13},
      {{0x40, MagicGesture}, 15}, {{0x41, Posture}, 4},       {{0x42, Misc}, 1},
      {{0x43, StateEmote}, 36},   {{0x44, Locomotion}, 1},    {{0x45, Locomotion}, 2},
      {{0x65, Turn}, 4},          {{0x80, Stance}, 18},       {{0x85, HoldKey}, 2}};
  EXPECT_EQ(counts, expected);
}

struct ClassCase {
  std::uint32_t id;
  MotionCommandClass expected;
};

constexpr ClassCase kClassCases[] = {
    {0x00000000, MotionCommandClass::Invalid},      {0x2500003B, MotionCommandClass::Jump},
    {0x2500003C, MotionCommandClass::Misc},          // only the one id is Jump
    {0x2000003A, MotionCommandClass::Stop},          // StopTurning
    {0x20000001, MotionCommandClass::Stop},          // unknown, class byte 0x20
    {0x40000004, MotionCommandClass::Locomotion},    // "Stop" under 0x40
    {0x4000001E, MotionCommandClass::Aim},           // AimLevel
    {0x4000002B, MotionCommandClass::MagicGesture},  // MagicBlast
    {0x1000006F, MotionCommandClass::Action},        // MagicPowerUp01: no attack word
    {0x80000049, MotionCommandClass::Stance},        // Magic
    {0x10000185, MotionCommandClass::Action},        // OffhandKick: attack word, no height
    {0x1000006E, MotionCommandClass::Action},        // SpinAttack
    {0x100000CD, MotionCommandClass::Action},        // SpecialAttack1
    {0x1000011F, MotionCommandClass::AttackLow},     // DoubleSlashLow
    {0x10000121, MotionCommandClass::AttackHigh},    // DoubleSlashHigh
    {0x10000187, MotionCommandClass::AttackMedium},  // AttackMed4
    {0x10FFFFFF, MotionCommandClass::Action},        // unknown, class byte 0x10
    {0x0D0000B2, MotionCommandClass::Misc},          // HighAttack outside 0x10
    {0x090000D6, MotionCommandClass::Misc},          // AllegiancePanel: 0x09 is not 0x90
    {0x90000000, MotionCommandClass::UiPanel},      {0x900000D6, MotionCommandClass::UiPanel},
    {0x85000099, MotionCommandClass::HoldKey},      {0x80000099, MotionCommandClass::Stance},
    {0x13000001, MotionCommandClass::QuickEmote},   {0x40000099, MotionCommandClass::Locomotion},
    {0x41000099, MotionCommandClass::Posture},      {0x43000001, MotionCommandClass::StateEmote},
    {0x44000099, MotionCommandClass::Locomotion},   {0x45000099, MotionCommandClass::Locomotion},
    {0x65000099, MotionCommandClass::Turn},         {0xDEADBEEF, MotionCommandClass::Misc},
};

TEST(MotionCommandClass, EdgeIds) {
  for (const ClassCase& c : kClassCases) {
    SCOPED_TRACE(hex(c.id));
    EXPECT_EQ(motion_command_class(c.id), c.expected);
  }
}

// --- Check cases ------------------------------------------------------------------------------

std::optional<std::string> sorting_failure(std::span<const MotionCommand> table) {
  try {
    tests::check_strictly_sorted(table);
  } catch (const case_runner::CheckFailure& failure) {
    return failure.message;
  }
  return std::nullopt;
}

std::size_t index_of(std::uint32_t id) {
  const auto row = std::ranges::find(MOTION_COMMAND_NAMES, id, &MotionCommand::id);
  return static_cast<std::size_t>(row - MOTION_COMMAND_NAMES.begin());
}

TEST(CheckStrictlySorted, ReportsFirstSwappedPair) {
  auto table = MOTION_COMMAND_NAMES;
  const std::size_t hand_combat = index_of(0x8000003C);
  std::swap(table[hand_combat], table[hand_combat + 1]);
  EXPECT_EQ(sorting_failure(table),
            "table not strictly sorted: 0x8000003D (NonCombat) >= 0x8000003C (HandCombat)");
}

TEST(CheckStrictlySorted, RejectsDuplicateId) {
  auto table = MOTION_COMMAND_NAMES;
  const std::size_t cancel = index_of(0x080000A2);
  table[cancel + 1] = table[cancel];
  // A later fault must not be reported ahead of the first one.
  std::swap(table[table.size() - 2], table[table.size() - 1]);
  EXPECT_EQ(sorting_failure(table),
            "table not strictly sorted: 0x080000A2 (Cancel) >= 0x080000A2 (Cancel)");
}

TEST(CheckStrictlySorted, ComparesIdsUnsigned) {
  const MotionCommand ascending[] = {{0x65000010, "SideStepLeft"}, {0x8000003C, "HandCombat"}};
  EXPECT_EQ(sorting_failure(ascending), std::nullopt);
  const MotionCommand descending[] = {ascending[1], ascending[0]};
  EXPECT_EQ(sorting_failure(descending),
            "table not strictly sorted: 0x8000003C (HandCombat) >= 0x65000010 (SideStepLeft)");
}

TEST(CheckCases, PassOnTheBuiltInTable) {
  const std::pair<std::string_view, void (*)()> cases[] = {
      {"lookup_known_commands", tests::lookup_known_commands},
      {"classify_known_commands", tests::classify_known_commands},
      {"table_is_strictly_sorted_for_binary_search",
       tests::table_is_strictly_sorted_for_binary_search},
  };
  for (const auto& [name, run] : cases) {
    SCOPED_TRACE(name);
    try {
      run();
    } catch (const case_runner::CheckFailure& failure) {
      ADD_FAILURE() << failure.message;
    }
  }
}

}  // namespace
}  // namespace common::motion_command_names
