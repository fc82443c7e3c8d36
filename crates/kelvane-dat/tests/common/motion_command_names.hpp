#pragma once

// The motion command vocabulary: every known 32-bit motion command id with its name, lookup of
// a name by id, and the classification of any id into a MotionCommandClass.
//
// Id layout: bits 24-31 are the class byte, bits 16-23 are always zero, bits 0-15 are a command
// number unique across the table. The table is sorted by the whole id, so it is grouped by class
// byte and command numbers are not ascending across groups.

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace common::motion_command_names {

struct MotionCommand {
  std::uint32_t id;
  std::string_view name;
};

inline constexpr std::size_t kMotionCommandCount = 409;

// Strictly ascending by id (compared unsigned); motion_command_name's binary search relies on it.
// Constant-initialised: the rows and their names live in read-only data, nothing runs at start-up.
extern const std::array<MotionCommand, kMotionCommandCount> MOTION_COMMAND_NAMES;

// The name of the row whose id equals `id` exactly; nothing for ids between, below or above rows.
// The returned view points into the table, which lives for the whole program.
std::optional<std::string_view> motion_command_name(std::uint32_t id);

enum class MotionCommandClass : std::uint8_t {
  Invalid = 0,
  Stance = 1,
  Locomotion = 2,
  Turn = 3,
  Jump = 4,
  Stop = 5,
  HoldKey = 6,
  Aim = 7,
  MagicGesture = 8,
  Posture = 9,
  StateEmote = 10,
  QuickEmote = 11,
  UiPanel = 12,
  Action = 13,
  AttackHigh = 14,
  AttackMedium = 15,
  AttackLow = 16,
  Misc = 17,
};

constexpr std::string_view to_string(MotionCommandClass value) {
  switch (value) {
    case MotionCommandClass::Invalid:
      return "Invalid";
    case MotionCommandClass::Stance:
      return "Stance";
    case MotionCommandClass::Locomotion:
      return "Locomotion";
    case MotionCommandClass::Turn:
      return "Turn";
    case MotionCommandClass::Jump:
      return "Jump";
    case MotionCommandClass::Stop:
      return "Stop";
    case MotionCommandClass::HoldKey:
      return "HoldKey";
    case MotionCommandClass::Aim:
      return "Aim";
    case MotionCommandClass::MagicGesture:
      return "MagicGesture";
    case MotionCommandClass::Posture:
      return "Posture";
    case MotionCommandClass::StateEmote:
      return "StateEmote";
    case MotionCommandClass::QuickEmote:
      return "QuickEmote";
    case MotionCommandClass::UiPanel:
      return "UiPanel";
    case MotionCommandClass::Action:
      return "Action";
    case MotionCommandClass::AttackHigh:
      return "AttackHigh";
    case MotionCommandClass::AttackMedium:
      return "AttackMedium";
    case MotionCommandClass::AttackLow:
      return "AttackLow";
    case MotionCommandClass::Misc:
      return "Misc";
  }
  std::unreachable();
}

// The variant name, as check failures print it (found by argument-dependent lookup).
std::string debug_string(MotionCommandClass value);
std::ostream& operator<<(std::ostream& out, MotionCommandClass value);

// Defined for every id, in the table or not: a few special ids first, then the name's prefix,
// then the class byte, with the attack words deciding within class byte 0x10.
MotionCommandClass motion_command_class(std::uint32_t id);

}  // namespace common::motion_command_names

// Check cases of the check program. Each passes by returning and throws case_runner::CheckFailure
// at its first failed expectation.
namespace common::motion_command_names::tests {

void lookup_known_commands();
void classify_known_commands();
void table_is_strictly_sorted_for_binary_search();

// The ordering check on any table, so a deliberately broken copy can be checked too.
void check_strictly_sorted(std::span<const MotionCommand> table);

}  // namespace common::motion_command_names::tests
