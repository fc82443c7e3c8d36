#pragma once

// What a stored file holds, told from its 32-bit id.
//
// An id splits into a prefix (its top byte) and a low half (its bottom 16 bits). Portal and local
// archives name the content by the prefix; cell archives name it by the low half (0xFFFF a
// landblock, 0xFFFE its info, anything else non-zero an indoor cell), so the same id can mean
// different things depending on the archive it comes from.

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "kelvane_dat/export.hpp"
#include "kelvane_dat/file_type/dat_kind.hpp"

namespace kelvane_dat {

// The value of each prefix type is its prefix, except Texture, which prefixes 0x06 and 0x07 share.
enum class DatFileType : std::uint32_t {
  Model = 1,
  SetupModel = 2,
  Animation = 3,
  Palette = 4,
  SurfaceTexture = 5,
  Texture = 6,
  Surface = 8,
  MotionTable = 9,
  Audio = 10,
  EnvCell = 13,
  Table = 14,
  PaletteSet = 15,
  Clothing = 16,
  DegradeInfo = 17,
  Scene = 18,
  Region = 19,
  Keymap = 20,
  RenderTexture = 21,
  RenderMaterial = 22,
  MaterialModifier = 23,
  MaterialInstance = 24,
  RenderMesh = 25,
  SoundTable = 32,
  Layout = 33,
  EnumMapper = 34,
  StringTable = 35,
  StringTableString = 36,
  DataIDMapper = 37,
  ActionMap = 38,
  DualDataIDMapper = 39,
  CombatManeuverTable = 48,
  LanguageString = 49,
  ParticleEmitter = 50,
  PhysicsScript = 51,
  PhysicsScriptTable = 52,
  MutateFilter = 56,
  MasterProperty = 57,
  Font = 64,
  StringState = 65,
  BSPNodeType = 66,
  DatabaseProperties = 120,
  // Kinds of data that exist outside the archives; no id classifies as these.
  Custom = 0xFFFFFF00,
  MotionKinematics = 0xFFFFFF01,
  Landblock = 254,
  LandblockInfo = 255,
  IndoorCell = 253,
  Iteration = 0xFE01,
  Unknown = 0,
};

constexpr std::string_view to_string(DatFileType type) {
  switch (type) {
    case DatFileType::Model:
      return "Model";
    case DatFileType::SetupModel:
      return "SetupModel";
    case DatFileType::Animation:
      return "Animation";
    case DatFileType::Palette:
      return "Palette";
    case DatFileType::SurfaceTexture:
      return "SurfaceTexture";
    case DatFileType::Texture:
      return "Texture";
    case DatFileType::Surface:
      return "Surface";
    case DatFileType::MotionTable:
      return "MotionTable";
    case DatFileType::Audio:
      return "Audio";
    case DatFileType::EnvCell:
      return "EnvCell";
    case DatFileType::Table:
      return "Table";
    case DatFileType::PaletteSet:
      return "PaletteSet";
    case DatFileType::Clothing:
      return "Clothing";
    case DatFileType::DegradeInfo:
      return "DegradeInfo";
    case DatFileType::Scene:
      return "Scene";
    case DatFileType::Region:
      return "Region";
    case DatFileType::Keymap:
      return "Keymap";
    case DatFileType::RenderTexture:
      return "RenderTexture";
    case DatFileType::RenderMaterial:
      return "RenderMaterial";
    case DatFileType::MaterialModifier:
      return "MaterialModifier";
    case DatFileType::MaterialInstance:
      return "MaterialInstance";
    case DatFileType::RenderMesh:
      return "RenderMesh";
    case DatFileType::SoundTable:
      return "SoundTable";
    case DatFileType::Layout:
      return "Layout";
    case DatFileType::EnumMapper:
      return "EnumMapper";
    case DatFileType::StringTable:
      return "StringTable";
    case DatFileType::StringTableString:
      return "StringTableString";
    case DatFileType::DataIDMapper:
      return "DataIDMapper";
    case DatFileType::ActionMap:
      return "ActionMap";
    case DatFileType::DualDataIDMapper:
      return "DualDataIDMapper";
    case DatFileType::CombatManeuverTable:
      return "CombatManeuverTable";
    case DatFileType::LanguageString:
      return "LanguageString";
    case DatFileType::ParticleEmitter:
      return "ParticleEmitter";
    case DatFileType::PhysicsScript:
      return "PhysicsScript";
    case DatFileType::PhysicsScriptTable:
      return "PhysicsScriptTable";
    case DatFileType::MutateFilter:
      return "MutateFilter";
    case DatFileType::MasterProperty:
      return "MasterProperty";
    case DatFileType::Font:
      return "Font";
    case DatFileType::StringState:
      return "StringState";
    case DatFileType::BSPNodeType:
      return "BSPNodeType";
    case DatFileType::DatabaseProperties:
      return "DatabaseProperties";
    case DatFileType::Custom:
      return "Custom";
    case DatFileType::MotionKinematics:
      return "MotionKinematics";
    case DatFileType::Landblock:
      return "Landblock";
    case DatFileType::LandblockInfo:
      return "LandblockInfo";
    case DatFileType::IndoorCell:
      return "IndoorCell";
    case DatFileType::Iteration:
      return "Iteration";
    case DatFileType::Unknown:
      return "Unknown";
  }
  std::unreachable();
}

// The variant's name, as debug output shows it.
KELVANE_DAT_EXPORT std::string debug_string(DatFileType type);
KELVANE_DAT_EXPORT std::ostream& operator<<(std::ostream& out, DatFileType type);

// Every type an id can classify as: the types the prefixes name in prefix order, then the cell and
// special types, Unknown last. Custom and MotionKinematics are not among them.
KELVANE_DAT_EXPORT std::span<const DatFileType> classifiable_file_types();

// The classifiable type whose name (as to_string gives it) is `name`, compared without regard to
// ASCII case; nothing for any other name.
KELVANE_DAT_EXPORT std::optional<DatFileType> file_type_from_name(std::string_view name);

// The type a portal or local archive gives to ids with this top byte; Unknown for the prefixes
// that name nothing.
KELVANE_DAT_EXPORT DatFileType classify_portal_prefix(std::uint8_t prefix) noexcept;

// Classifies an id without knowing its archive. The landblock low halves win over the prefix, so
// 0x0600FFFF is a Landblock here although a portal archive calls it a Texture; an unrecognised
// prefix with a non-zero low half is taken for an indoor cell.
KELVANE_DAT_EXPORT DatFileType from_id(std::uint32_t id) noexcept;

// Classifies an id as the archive of kind `kind` means it. An archive of unknown kind falls back
// to from_id.
KELVANE_DAT_EXPORT DatFileType from_id_in_dat(std::uint32_t id, DatKind kind) noexcept;

}  // namespace kelvane_dat
