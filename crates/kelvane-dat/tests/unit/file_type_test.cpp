#include "kelvane_dat/file_type/file_type.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

namespace kelvane_dat {
namespace {

struct Variant {
  DatFileType type;
  std::uint32_t value;
  std::string_view name;
};

// Every variant, in declaration order, with its number and name.
constexpr Variant kVariants[] = {
    {DatFileType::Model, 1, "Model"},
    {DatFileType::SetupModel, 2, "SetupModel"},
    {DatFileType::Animation, 3, "Animation"},
    {DatFileType::Palette, 4, "Palette"},
    {DatFileType::SurfaceTexture, 5, "SurfaceTexture"},
    {DatFileType::Texture, 6, "Texture"},
    {DatFileType::Surface, 8, "Surface"},
    {DatFileType::MotionTable, 9, "MotionTable"},
    {DatFileType::Audio, 10, "Audio"},
    {DatFileType::EnvCell, 13, "EnvCell"},
    {DatFileType::Table, 14, "Table"},
    {DatFileType::PaletteSet, 15, "PaletteSet"},
    {DatFileType::Clothing, 16, "Clothing"},
    {DatFileType::DegradeInfo, 17, "DegradeInfo"},
    {DatFileType::Scene, 18, "Scene"},
    {DatFileType::Region, 19, "Region"},
    {DatFileType::Keymap, 20, "Keymap"},
    {DatFileType::RenderTexture, 21, "RenderTexture"},
    {DatFileType::RenderMaterial, 22, "RenderMaterial"},
    {DatFileType::MaterialModifier, 23, "MaterialModifier"},
    {DatFileType::MaterialInstance, 24, "MaterialInstance"},
    {DatFileType::RenderMesh, 25, "RenderMesh"},
    {DatFileType::SoundTable, 32, "SoundTable"},
    {DatFileType::Layout, 33, "Layout"},
    {DatFileType::EnumMapper, 34, "EnumMapper"},
    {DatFileType::StringTable, 35, "StringTable"},
    {DatFileType::StringTableString, 36, "StringTableString"},
    {DatFileType::DataIDMapper, 37, "DataIDMapper"},
    {DatFileType::ActionMap, 38, "ActionMap"},
    {DatFileType::DualDataIDMapper, 39, "DualDataIDMapper"},
    {DatFileType::CombatManeuverTable, 48, "CombatManeuverTable"},
    {DatFileType::LanguageString, 49, "LanguageString"},
    {DatFileType::ParticleEmitter, 50, "ParticleEmitter"},
    {DatFileType::PhysicsScript, 51, "PhysicsScript"},
    {DatFileType::PhysicsScriptTable, 52, "PhysicsScriptTable"},
    {DatFileType::MutateFilter, 56, "MutateFilter"},
    {DatFileType::MasterProperty, 57, "MasterProperty"},
    {DatFileType::Font, 64, "Font"},
    {DatFileType::StringState, 65, "StringState"},
    {DatFileType::BSPNodeType, 66, "BSPNodeType"},
    {DatFileType::DatabaseProperties, 120, "DatabaseProperties"},
    {DatFileType::Custom, 0xFFFFFF00, "Custom"},
    {DatFileType::MotionKinematics, 0xFFFFFF01, "MotionKinematics"},
    {DatFileType::Landblock, 254, "Landblock"},
    {DatFileType::LandblockInfo, 255, "LandblockInfo"},
    {DatFileType::IndoorCell, 253, "IndoorCell"},
    {DatFileType::Iteration, 0xFE01, "Iteration"},
    {DatFileType::Unknown, 0, "Unknown"},
};

TEST(DatFileType, EveryVariantHasItsValueAndName) {
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    EXPECT_EQ(std::to_underlying(v.type), v.value);
    EXPECT_EQ(to_string(v.type), v.name);
    EXPECT_EQ(debug_string(v.type), v.name);
    std::ostringstream out;
    out << v.type;
    EXPECT_EQ(out.str(), v.name);
  }
}

// The 42 recognised prefixes; every other byte is Unknown.
constexpr std::pair<std::uint8_t, DatFileType> kPrefixes[] = {
    {0x01, DatFileType::Model},
    {0x02, DatFileType::SetupModel},
    {0x03, DatFileType::Animation},
    {0x04, DatFileType::Palette},
    {0x05, DatFileType::SurfaceTexture},
    {0x06, DatFileType::Texture},
    {0x07, DatFileType::Texture},
    {0x08, DatFileType::Surface},
    {0x09, DatFileType::MotionTable},
    {0x0A, DatFileType::Audio},
    {0x0D, DatFileType::EnvCell},
    {0x0E, DatFileType::Table},
    {0x0F, DatFileType::PaletteSet},
    {0x10, DatFileType::Clothing},
    {0x11, DatFileType::DegradeInfo},
    {0x12, DatFileType::Scene},
    {0x13, DatFileType::Region},
    {0x14, DatFileType::Keymap},
    {0x15, DatFileType::RenderTexture},
    {0x16, DatFileType::RenderMaterial},
    {0x17, DatFileType::MaterialModifier},
    {0x18, DatFileType::MaterialInstance},
    {0x19, DatFileType::RenderMesh},
    {0x20, DatFileType::SoundTable},
    {0x21, DatFileType::Layout},
    {0x22, DatFileType::EnumMapper},
    {0x23, DatFileType::StringTable},
    {0x24, DatFileType::StringTableString},
    {0x25, DatFileType::DataIDMapper},
    {0x26, DatFileType::ActionMap},
    {0x27, DatFileType::DualDataIDMapper},
    {0x30, DatFileType::CombatManeuverTable},
    {0x31, DatFileType::LanguageString},
    {0x32, DatFileType::ParticleEmitter},
    {0x33, DatFileType::PhysicsScript},
    {0x34, DatFileType::PhysicsScriptTable},
    {0x38, DatFileType::MutateFilter},
    {0x39, DatFileType::MasterProperty},
    {0x40, DatFileType::Font},
    {0x41, DatFileType::StringState},
    {0x42, DatFileType::BSPNodeType},
    {0x78, DatFileType::DatabaseProperties},
};

std::array<DatFileType, 256> expected_prefix_types() {
  std::array<DatFileType, 256> types;
  types.fill(DatFileType::Unknown);
  for (const auto& [prefix, type] : kPrefixes) types[prefix] = type;
  return types;
}

TEST(DatFileType, ClassifyPortalPrefixCoversEveryByte) {
  static_assert(std::size(kPrefixes) == 42);
  const auto expected = expected_prefix_types();
  for (std::size_t prefix = 0; prefix < expected.size(); ++prefix) {
    SCOPED_TRACE(prefix);
    EXPECT_EQ(classify_portal_prefix(static_cast<std::uint8_t>(prefix)), expected[prefix]);
  }
}

struct IdCase {
  std::uint32_t id;
  DatFileType type;
};

constexpr IdCase kFromId[] = {
    {0xFFFF0001, DatFileType::Iteration},
    {0x2300000A, DatFileType::StringTable},
    // The landblock low halves are tested before the prefix.
    {0x0600FFFF, DatFileType::Landblock},
    {0x2300FFFE, DatFileType::LandblockInfo},
    {0x0000FFFE, DatFileType::LandblockInfo},
    {0xFFFFFFFF, DatFileType::Landblock},
    {0xFFFF0002, DatFileType::IndoorCell},
    {0x0700ABCD, DatFileType::Texture},
    {0x23000000, DatFileType::StringTable},
    {0x0B000001, DatFileType::IndoorCell},
    {0x0B00FFFD, DatFileType::IndoorCell},
    {0x0B000000, DatFileType::Unknown},
    {0x00000000, DatFileType::Unknown},
    {0x00010000, DatFileType::Unknown},
    {0x78000000, DatFileType::DatabaseProperties},
};

TEST(DatFileType, FromIdAppliesRulesInOrder) {
  for (const IdCase& c : kFromId) {
    SCOPED_TRACE(testing::Message() << std::hex << c.id);
    EXPECT_EQ(from_id(c.id), c.type);
  }
}

struct InDatCase {
  std::uint32_t id;
  DatKind kind;
  DatFileType type;
};

constexpr InDatCase kFromIdInDat[] = {
    {0x2300000A, DatKind::Local, DatFileType::StringTable},
    {0x2300000A, DatKind::Portal, DatFileType::StringTable},
    {0x0700ABCD, DatKind::Portal, DatFileType::Texture},
    // Portal archives never look at the low half.
    {0x0600FFFF, DatKind::Portal, DatFileType::Texture},
    {0x0600FFFE, DatKind::Local, DatFileType::Texture},
    {0x0B000001, DatKind::Portal, DatFileType::Unknown},
    {0x0000FFFF, DatKind::Local, DatFileType::Unknown},
    // Cell archives never look at the prefix.
    {0x2300FFFF, DatKind::Cell, DatFileType::Landblock},
    {0x2300FFFE, DatKind::Cell, DatFileType::LandblockInfo},
    {0x23000000, DatKind::Cell, DatFileType::Unknown},
    {0x23000001, DatKind::Cell, DatFileType::IndoorCell},
    {0xFFFF0002, DatKind::Cell, DatFileType::IndoorCell},
    {0x0700ABCD, DatKind::Cell, DatFileType::IndoorCell},
    {0x0600FFFF, DatKind::Unknown, DatFileType::Landblock},
    {0x0B000001, DatKind::Unknown, DatFileType::IndoorCell},
    {0x2300000A, DatKind::Unknown, DatFileType::StringTable},
    {0xFFFF0001, DatKind::Portal, DatFileType::Iteration},
    {0xFFFF0001, DatKind::Cell, DatFileType::Iteration},
    {0xFFFF0001, DatKind::Local, DatFileType::Iteration},
    {0xFFFF0001, DatKind::Unknown, DatFileType::Iteration},
};

TEST(DatFileType, FromIdInDatDependsOnKind) {
  for (const InDatCase& c : kFromIdInDat) {
    SCOPED_TRACE(testing::Message() << std::hex << c.id << ' ' << to_string(c.kind));
    EXPECT_EQ(from_id_in_dat(c.id, c.kind), c.type);
  }
}

constexpr DatKind kKinds[] = {DatKind::Portal, DatKind::Cell, DatKind::Local, DatKind::Unknown};
// Low halves at every rule boundary.
constexpr std::uint32_t kLowHalves[] = {0x0000, 0x0001, 0x0002, 0x00FF,
                                        0x8000, 0xFFFD, 0xFFFE, 0xFFFF};

// Walks every prefix against the low-half boundaries and checks the kinds against each other:
// portal and local agree, the cell kind sees only the low half, the unknown kind is from_id, and
// nothing ever comes out as a type that has no id.
TEST(DatFileType, KindsAgreeAcrossPrefixesAndLowHalves) {
  for (std::uint32_t prefix = 0; prefix <= 0xFF; ++prefix) {
    for (const std::uint32_t low_half : kLowHalves) {
      const std::uint32_t id = (prefix << 24) | (0xABu << 16) | low_half;
      SCOPED_TRACE(testing::Message() << std::hex << id);
      EXPECT_EQ(from_id_in_dat(id, DatKind::Portal), from_id_in_dat(id, DatKind::Local));
      EXPECT_EQ(from_id_in_dat(id, DatKind::Portal),
                classify_portal_prefix(static_cast<std::uint8_t>(prefix)));
      EXPECT_EQ(from_id_in_dat(id, DatKind::Cell), from_id_in_dat(low_half, DatKind::Cell));
      EXPECT_EQ(from_id_in_dat(id, DatKind::Unknown), from_id(id));
      for (const DatKind kind : kKinds) {
        const DatFileType type = from_id_in_dat(id, kind);
        EXPECT_NE(type, DatFileType::Custom);
        EXPECT_NE(type, DatFileType::MotionKinematics);
        EXPECT_NE(type, DatFileType::Iteration);
      }
      EXPECT_NE(from_id(id), DatFileType::Custom);
      EXPECT_NE(from_id(id), DatFileType::MotionKinematics);
    }
  }
}

TEST(DatFileType, NamesParseBackIgnoringCase) {
  const std::span<const DatFileType> types = classifiable_file_types();
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(types.back(), DatFileType::Unknown);
  for (const DatFileType type : types) {
    SCOPED_TRACE(to_string(type));
    std::string upper(to_string(type));
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(file_type_from_name(to_string(type)), type);
    EXPECT_EQ(file_type_from_name(upper), type);
  }
  // Types no id classifies as, and names that are not types, parse as nothing.
  for (const std::string_view name : {"Custom", "MotionKinematics", "", "String", "StringTables"}) {
    EXPECT_EQ(file_type_from_name(name), std::nullopt) << name;
  }
}

}  // namespace
}  // namespace kelvane_dat
