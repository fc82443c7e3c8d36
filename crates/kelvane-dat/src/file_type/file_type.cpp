#include "kelvane_dat/file_type/file_type.hpp"

#include <algorithm>
#include <cctype>
#include <vector>

namespace kelvane_dat {

namespace {

// The iteration record has one fixed id in every archive, whatever its prefix or low half say.
constexpr std::uint32_t kIterationId = 0xFFFF0001;
constexpr std::uint32_t kLandblockLowHalf = 0xFFFF;
constexpr std::uint32_t kLandblockInfoLowHalf = 0xFFFE;

constexpr std::uint8_t prefix_of(std::uint32_t id) { return static_cast<std::uint8_t>(id >> 24); }
constexpr std::uint32_t low_half_of(std::uint32_t id) { return id & 0xFFFFu; }

// How a cell archive reads an id: by its low half alone.
DatFileType classify_cell_low_half(std::uint32_t low_half) {
  if (low_half == kLandblockLowHalf) return DatFileType::Landblock;
  if (low_half == kLandblockInfoLowHalf) return DatFileType::LandblockInfo;
  if (low_half == 0) return DatFileType::Unknown;
  return DatFileType::IndoorCell;
}

std::vector<DatFileType> collect_classifiable_types() {
  std::vector<DatFileType> types;
  const auto add = [&types](DatFileType type) {
    if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
  };
  // Asking the classifier keeps this list in step with it: a prefix it learns shows up here.
  for (unsigned prefix = 0; prefix <= 0xFF; ++prefix) {
    add(classify_portal_prefix(static_cast<std::uint8_t>(prefix)));
  }
  for (const DatFileType special : {DatFileType::IndoorCell, DatFileType::Landblock,
                                    DatFileType::LandblockInfo, DatFileType::Iteration}) {
    add(special);
  }
  std::stable_partition(types.begin(), types.end(),
                        [](DatFileType type) { return type != DatFileType::Unknown; });
  return types;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::span<const DatFileType> classifiable_file_types() {
  static const std::vector<DatFileType> types = collect_classifiable_types();
  return types;
}

std::optional<DatFileType> file_type_from_name(std::string_view name) {
  for (const DatFileType type : classifiable_file_types()) {
    if (equal_ignoring_case(to_string(type), name)) return type;
  }
  return std::nullopt;
}

std::string debug_string(DatFileType type) { return std::string(to_string(type)); }

std::ostream& operator<<(std::ostream& out, DatFileType type) { return out << to_string(type); }

DatFileType classify_portal_prefix(std::uint8_t prefix) noexcept {
  switch (prefix) {
    case 0x01:
      return DatFileType::Model;
    case 0x02:
      return DatFileType::SetupModel;
    case 0x03:
      return DatFileType::Animation;
    case 0x04:
      return DatFileType::Palette;
    case 0x05:
      return DatFileType::SurfaceTexture;
    case 0x06:
    case 0x07:
      return DatFileType::Texture;
    case 0x08:
      return DatFileType::Surface;
    case 0x09:
      return DatFileType::MotionTable;
    case 0x0A:
      return DatFileType::Audio;
    case 0x0D:
      return DatFileType::EnvCell;
    case 0x0E:
      return DatFileType::Table;
    case 0x0F:
      return DatFileType::PaletteSet;
    case 0x10:
      return DatFileType::Clothing;
    case 0x11:
      return DatFileType::DegradeInfo;
    case 0x12:
      return DatFileType::Scene;
    case 0x13:
      return DatFileType::Region;
    case 0x14:
      return DatFileType::Keymap;
    case 0x15:
      return DatFileType::RenderTexture;
    case 0x16:
      return DatFileType::RenderMaterial;
    case 0x17:
      return DatFileType::MaterialModifier;
    case 0x18:
      return DatFileType::MaterialInstance;
    case 0x19:
      return DatFileType::RenderMesh;
    case 0x20:
      return DatFileType::SoundTable;
    case 0x21:
      return DatFileType::Layout;
    case 0x22:
      return DatFileType::EnumMapper;
    case 0x23:
      return DatFileType::StringTable;
    case 0x24:
      return DatFileType::StringTableString;
    case 0x25:
      return DatFileType::DataIDMapper;
    case 0x26:
      return DatFileType::ActionMap;
    case 0x27:
      return DatFileType::DualDataIDMapper;
    case 0x30:
      return DatFileType::CombatManeuverTable;
    case 0x31:
      return DatFileType::LanguageString;
    case 0x32:
      return DatFileType::ParticleEmitter;
    case 0x33:
      return DatFileType::PhysicsScript;
    case 0x34:
      return DatFileType::PhysicsScriptTable;
    case 0x38:
      return DatFileType::MutateFilter;
    case 0x39:
      return DatFileType::MasterProperty;
    case 0x40:
      return DatFileType::Font;
    case 0x41:
      return DatFileType::StringState;
    case 0x42:
      return DatFileType::BSPNodeType;
    case 0x78:
      return DatFileType::DatabaseProperties;
    default:
      return DatFileType::Unknown;
  }
}

DatFileType from_id(std::uint32_t id) noexcept {
  if (id == kIterationId) return DatFileType::Iteration;
  const std::uint32_t low_half = low_half_of(id);
  if (low_half == kLandblockLowHalf) return DatFileType::Landblock;
  if (low_half == kLandblockInfoLowHalf) return DatFileType::LandblockInfo;
  const DatFileType by_prefix = classify_portal_prefix(prefix_of(id));
  if (by_prefix != DatFileType::Unknown) return by_prefix;
  return low_half != 0 ? DatFileType::IndoorCell : DatFileType::Unknown;
}

DatFileType from_id_in_dat(std::uint32_t id, DatKind kind) noexcept {
  if (id == kIterationId) return DatFileType::Iteration;
  switch (kind) {
    case DatKind::Portal:
    case DatKind::Local:
      return classify_portal_prefix(prefix_of(id));
    case DatKind::Cell:
      return classify_cell_low_half(low_half_of(id));
    case DatKind::Unknown:
      return from_id(id);
  }
  std::unreachable();
}

}  // namespace kelvane_dat
