#pragma once

/// \file
/// DatKind, which of the three kinds of archive a header describes, and its name.

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace kelvane_dat {

/// The kind of an archive, derived from its header's marker, block size and dataset.
enum class DatKind : std::uint8_t {
  Portal = 0,
  Cell = 1,
  Local = 2,
  Unknown = 3,
};

/// The kind's name: "Portal", "Cell", "Local" or "Unknown".
constexpr std::string_view to_string(DatKind kind) {
  switch (kind) {
    case DatKind::Portal:
      return "Portal";
    case DatKind::Cell:
      return "Cell";
    case DatKind::Local:
      return "Local";
    case DatKind::Unknown:
      return "Unknown";
  }
  std::unreachable();
}

/// The kind's name, as debug output shows it.
inline std::string debug_string(DatKind kind) { return std::string(to_string(kind)); }

/// Writes the kind's name.
inline std::ostream& operator<<(std::ostream& out, DatKind kind) { return out << to_string(kind); }

}  // namespace kelvane_dat
