#include "common/motion_command_names.hpp"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "case_runner/check.hpp"

namespace common::motion_command_names {
namespace {

constexpr std::uint32_t kClassByteMask = 0xFF000000;

constexpr std::uint32_t kJumpId = 0x2500003B;
constexpr std::uint32_t kStopTurningId = 0x2000003A;

// Within class byte 0x10 a name needs one of these to count as an attack at all...
constexpr std::array<std::string_view, 5> kAttackWords{"Attack", "Slash", "Thrust", "Punch",
                                                       "Kick"};

// ...and then its height word decides; "Med" is how the stored names abbreviate medium.
MotionCommandClass attack_class(std::optional<std::string_view> name) {
  if (!name.has_value()) return MotionCommandClass::Action;
  const bool is_attack = std::ranges::any_of(
      kAttackWords, [&](std::string_view word) { return name->contains(word); });
  if (!is_attack) return MotionCommandClass::Action;
  if (name->contains("High")) return MotionCommandClass::AttackHigh;
  if (name->contains("Med")) return MotionCommandClass::AttackMedium;
  if (name->contains("Low")) return MotionCommandClass::AttackLow;
  return MotionCommandClass::Action;
}

}  // namespace

std::optional<std::string_view> motion_command_name(std::uint32_t id) {
  const auto row = std::ranges::lower_bound(MOTION_COMMAND_NAMES, id, {}, &MotionCommand::id);
  if (row == MOTION_COMMAND_NAMES.end() || row->id != id) return std::nullopt;
  return row->name;
}

std::string debug_string(MotionCommandClass value) { return std::string(to_string(value)); }

std::ostream& operator<<(std::ostream& out, MotionCommandClass value) {
  return out << to_string(value);
}

MotionCommandClass motion_command_class(std::uint32_t id) {
  if (id == 0) return MotionCommandClass::Invalid;
  const std::optional<std::string_view> name = motion_command_name(id);
  const std::uint32_t class_bits = id & kClassByteMask;

  if (id == kJumpId) return MotionCommandClass::Jump;
  // The one known stop command is matched by id; the class-byte rule after it covers the 0x20
  // ids the table does not list.
  if (id == kStopTurningId) return MotionCommandClass::Stop;
  if (class_bits == 0x20000000) return MotionCommandClass::Stop;

  // The name outranks the class byte here: the Aim rows sit under 0x40 with the plain movement
  // states, and "Magic" names outside 0x40 (MagicPowerUp01, the Magic stance) are not gestures.
  if (name.has_value()) {
    if (name->starts_with("Aim")) return MotionCommandClass::Aim;
    if (name->starts_with("Magic") && class_bits == 0x40000000) {
      return MotionCommandClass::MagicGesture;
    }
  }

  // UI panels are 0x90, not 0x09: the 0x09 rows (UseSelected, AllegiancePanel, ...) are Misc.
  switch (class_bits) {
    case 0x80000000:
      return MotionCommandClass::Stance;
    case 0x85000000:
      return MotionCommandClass::HoldKey;
    case 0x90000000:
      return MotionCommandClass::UiPanel;
    case 0x10000000:
      return attack_class(name);
    case 0x13000000:
      return MotionCommandClass::QuickEmote;
    case 0x40000000:
    case 0x44000000:
    case 0x45000000:
      return MotionCommandClass::Locomotion;
    case 0x41000000:
      return MotionCommandClass::Posture;
    case 0x43000000:
      return MotionCommandClass::StateEmote;
    case 0x65000000:
      return MotionCommandClass::Turn;
    default:
      return MotionCommandClass::Misc;
  }
}

}  // namespace common::motion_command_names

namespace common::motion_command_names::tests {
namespace {

using OptionalName = std::optional<std::string_view>;

std::string hex0x8(std::uint32_t value) {
  char buffer[11];
  std::snprintf(buffer, sizeof buffer, "0x%08X", value);
  return buffer;
}

}  // namespace

void check_strictly_sorted(std::span<const MotionCommand> table) {
  // Equal ids fail too: a duplicate would make the lookup's answer depend on where it lands.
  const auto pair = std::ranges::adjacent_find(
      table, [](const MotionCommand& first, const MotionCommand& second) {
        return first.id >= second.id;
      });
  if (pair == table.end()) return;
  const MotionCommand& first = pair[0];
  const MotionCommand& second = pair[1];
  case_runner::fail("table not strictly sorted: " + hex0x8(first.id) + " (" +
                    std::string(first.name) + ") >= " + hex0x8(second.id) + " (" +
                    std::string(second.name) + ")");
}

void table_is_strictly_sorted_for_binary_search() { check_strictly_sorted(MOTION_COMMAND_NAMES); }

void lookup_known_commands() {
  case_runner::check_eq(motion_command_name(0x8000003D), OptionalName{"NonCombat"});
  case_runner::check_eq(motion_command_name(0x4000000C), OptionalName{"Off"});
  case_runner::check_eq(motion_command_name(0x45000005), OptionalName{"WalkForward"});
  case_runner::check_eq(motion_command_name(0x44000007), OptionalName{"RunForward"});
  case_runner::check_eq(motion_command_name(0x6500000D), OptionalName{"TurnRight"});
  case_runner::check_eq(motion_command_name(0x2500003B), OptionalName{"Jump"});
  case_runner::check_eq(motion_command_name(0x10000186), OptionalName{"AttackHigh4"});
  case_runner::check_eq(motion_command_name(0xDEADBEEF), OptionalName{});
}

void classify_known_commands() {
  using enum MotionCommandClass;
  case_runner::check_eq(motion_command_class(0x8000003D), Stance);
  case_runner::check_eq(motion_command_class(0x45000005), Locomotion);
  case_runner::check_eq(motion_command_class(0x6500000D), Turn);
  case_runner::check_eq(motion_command_class(0x2500003B), Jump);
  case_runner::check_eq(motion_command_class(0x4000001E), Aim);
  case_runner::check_eq(motion_command_class(0x4000002B), MagicGesture);
  case_runner::check_eq(motion_command_class(0x10000186), AttackHigh);
  case_runner::check_eq(motion_command_class(0x10000187), AttackMedium);
  case_runner::check_eq(motion_command_class(0x10000188), AttackLow);
  case_runner::check_eq(motion_command_class(0x1000011F), AttackLow);
  case_runner::check_eq(motion_command_class(0x10000121), AttackHigh);
  case_runner::check_eq(motion_command_class(0x10000185), Action);
}

}  // namespace common::motion_command_names::tests
