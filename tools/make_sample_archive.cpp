// Writes a realistic sample local-language archive, so the check program's main job can run on a
// machine without the game installed: a few hundred string tables of English interface texts
// (including the known table 0x2300000A), some stored compressed and some plain, with non-ASCII and
// supplementary characters, plus files of other types, in a directory tree several levels deep.
//
// Usage: make_sample_archive OUTPUT.dat [--scale N] (--help for more)
// The archive is the same on every run: everything comes from a fixed seed. --scale N stores N
// times as many string tables and other files, for measuring the check program on a big archive.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "CLI/CLI.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/file_type/stored_string_table.hpp"
#include "support/archive_builder.hpp"
#include "support/tree_layout.hpp"

namespace {

using kelvane_dat::DatFileEntry;
using kelvane_dat::StoredStringTable;
using kelvane_dat::StoredStringTableEntry;
using kelvane_dat::utf8_to_utf16;
using kelvane_dat::test_support::ArchiveBuilder;
using kelvane_dat::test_support::StoreOptions;

constexpr std::uint32_t kKnownTableId = 0x2300000A;
constexpr std::size_t kStringTableCount = 320;
constexpr std::uint32_t kEnglish = 1;

constexpr std::string_view kVerbs[] = {
    "Open",   "Close", "Show",   "Hide",  "Toggle", "Select", "Use",     "Drop",   "Give",
    "Split",  "Equip", "Repair", "Trade", "Cast",   "Summon", "Recall",  "Accept", "Decline",
    "Invite", "Leave", "Follow", "Mute",  "Report", "Reset",  "Confirm", "Cancel",
};
constexpr std::string_view kObjects[] = {
    "Inventory", "Spellbook", "Map",     "Chat Window", "Fellowship", "Allegiance", "Vendor",
    "Backpack",  "Quest Log", "Options", "Keybindings", "Character",  "Radar",      "Compass",
    "Shortcut",  "Target",    "Corpse",  "Portal",      "Lifestone",  "House",      "Mailbox",
    "Salvage",   "Tinkering", "Armor",   "Weapon",      "Shield",     "Mana Stone", "Pack",
};
// Texts a translator or a content team would really write: accents, typographic punctuation,
// symbols outside the Basic Multilingual Plane.
constexpr std::string_view kDecorated[] = {
    "Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu",
    "Na\xC3\xAFve r\xC3\xA9sum\xC3\xA9",
    "Loading\xE2\x80\xA6",
    "\xE2\x80\x9CWelcome back\xE2\x80\x9D",
    "M\xC3\xBCnchen \xE2\x80\x94 Z\xC3\xBCrich",
    "\xC2\xA9 2026 Kelvane Studios",
    "Temperature: 21\xC2\xB0"
    "C",
    "Press \xE2\x86\x90 or \xE2\x86\x92 to turn",
    "Victory! \xF0\x9F\x8E\x89",
    "Controller ready \xF0\x9F\x8E\xAE",
    "\xF0\x9D\x84\x9E Music volume",
    "Smile \xF0\x9F\x98\x80 and wave",
};
constexpr std::string_view kKeys[] = {
    "Left Shift", "Right Shift", "Right Alt", "Right Ctrl", "Tab", "Space",
    "Escape",     "Enter",       "Backspace", "Home",       "End", "Page Up",
    "Page Down",  "Insert",      "Delete",    "Num Lock",   "F1",  "F12",
};

class SampleWriter {
 public:
  explicit SampleWriter(std::size_t scale) : builder_(1024), random_(0x5A17E), scale_(scale) {
    builder_.header.dataset = 3;  // a local-language archive, neither portal nor cell
    builder_.header.engine_version = 0x0000002A;
    builder_.header.game_version = 0x00000B5E;
    builder_.header.version_minor = 1;
  }

  void add_known_table() {
    StoredStringTable table;
    table.id = kKnownTableId;
    table.language = kEnglish;
    table.entries.resize(2);
    table.entries[0].key = 0x014152D5;
    table.entries[0].texts = {utf8_to_utf16("Left Alt").value()};
    table.entries[1].key = 0x04CD833C;
    table.entries[1].texts = {utf8_to_utf16("Left Ctrl").value()};
    store_table(table, /*compressed=*/true);
  }

  void add_string_tables() {
    std::uint32_t id = 0x23000001;
    for (std::size_t made = 0; made < kStringTableCount * scale_; ++id) {
      if (id == kKnownTableId) continue;
      store_table(make_table(id), made % 3 == 0);
      ++made;
    }
  }

  // Files of other types share the archive with the tables, as they do in the game.
  void add_other_files() {
    struct Kind {
      std::uint32_t prefix;
      std::size_t count;
      std::size_t max_size;
    };
    constexpr Kind kKinds[] = {
        {0x06, 40, 24 * 1024}, {0x0A, 12, 60 * 1024}, {0x0E, 6, 3 * 1024},
        {0x22, 10, 900},       {0x25, 8, 2048},       {0x31, 20, 400},
    };
    for (const Kind& kind : kKinds) {
      for (std::size_t i = 0; i < kind.count * scale_; ++i) {
        std::vector<std::uint8_t> data(pick(16, kind.max_size));
        for (auto& byte : data)
          byte = static_cast<std::uint8_t>(pick(0, 255) & (i % 2 ? 0xFF : 0x1F));
        const std::uint32_t id = (kind.prefix << 24) | static_cast<std::uint32_t>(0x1000 + i);
        store(id, data, i % 2 == 0);
      }
    }
  }

  bool write(const char* path) {
    std::sort(entries_.begin(), entries_.end(),
              [](const DatFileEntry& a, const DatFileEntry& b) { return a.id < b.id; });
    // Small nodes make the tree several levels deep, as a real archive's is.
    kelvane_dat::test_support::TreeShape shape;
    shape.entries_per_node = 12;
    shape.max_children = 6;
    builder_.header.root_offset = kelvane_dat::test_support::store_tree(builder_, entries_, shape);
    if (const auto error = builder_.write_to(path)) {
      std::fprintf(stderr, "make_sample_archive: %s\n", error->c_str());
      return false;
    }
    std::printf(
        "wrote %s: %zu files, %zu string tables (%zu entries, %zu string variants), %llu bytes\n",
        path, entries_.size(), tables_, table_entries_, string_variants_,
        static_cast<unsigned long long>(builder_.size()));
    return true;
  }

 private:
  std::size_t pick(std::size_t low, std::size_t high) {
    return std::uniform_int_distribution<std::size_t>(low, high)(random_);
  }

  std::string interface_text() {
    switch (pick(0, 5)) {
      case 0:
        return std::string(kDecorated[pick(0, std::size(kDecorated) - 1)]);
      case 1:
        return "Press " + std::string(kKeys[pick(0, std::size(kKeys) - 1)]) + " to continue";
      default:
        return std::string(kVerbs[pick(0, std::size(kVerbs) - 1)]) + " " +
               std::string(kObjects[pick(0, std::size(kObjects) - 1)]);
    }
  }

  StoredStringTable make_table(std::uint32_t id) {
    StoredStringTable table;
    table.id = id;
    table.language = kEnglish;
    table.bucket_size_index = static_cast<std::uint8_t>(pick(0, 9));
    const std::size_t entry_count = pick(1, 60);
    for (std::size_t i = 0; i < entry_count; ++i) {
      StoredStringTableEntry entry;
      entry.key = static_cast<std::uint32_t>(random_());
      entry.data_id =
          pick(0, 3) == 0 ? 0x31000000 | static_cast<std::uint32_t>(pick(0, 0xFFFF)) : 0;
      // Most entries hold one text; some carry variants (plural forms, short labels).
      const std::size_t variants = pick(0, 9) == 0 ? pick(2, 4) : 1;
      for (std::size_t v = 0; v < variants; ++v)
        entry.texts.push_back(utf8_to_utf16(interface_text()).value());
      if (pick(0, 4) == 0) {
        for (std::size_t v = pick(1, 3); v > 0; --v) {
          entry.variables.push_back(static_cast<std::uint32_t>(random_()));
        }
      }
      entry.flag = pick(0, 7) == 0 ? 1 : 0;
      table.entries.push_back(std::move(entry));
    }
    return table;
  }

  void store_table(const StoredStringTable& table, bool compressed) {
    store(table.id, table.encode().value(), compressed);
    ++tables_;
    // Keys are random 32-bit values; count what a reader will see, one per distinct key.
    std::vector<std::uint32_t> keys;
    for (const auto& entry : table.entries) keys.push_back(entry.key);
    std::sort(keys.begin(), keys.end());
    table_entries_ +=
        static_cast<std::size_t>(std::unique(keys.begin(), keys.end()) - keys.begin());
    for (const auto& entry : table.entries) string_variants_ += entry.texts.size();
  }

  void store(std::uint32_t id, const std::vector<std::uint8_t>& data, bool compressed) {
    StoreOptions options;
    options.compressed = compressed;
    options.timestamp = 0x5F000000u + static_cast<std::uint32_t>(entries_.size());
    options.version = 1;
    entries_.push_back(builder_.store_file(id, data, options));
  }

  ArchiveBuilder builder_;
  std::mt19937 random_;
  std::size_t scale_;
  std::vector<DatFileEntry> entries_;
  std::size_t tables_ = 0;
  std::size_t table_entries_ = 0;
  std::size_t string_variants_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Writes the sample local-language archive the check program runs on when no real\n"
      "archive is named. The archive is the same on every run.",
      "make_sample_archive");
  // Options are spelled alike on every system: on Windows too, /dir/archive.dat is a path.
  app.allow_windows_style_options(false);
  std::string output;
  std::size_t scale = 1;
  app.add_option("OUTPUT", output, "the archive to write")->required();
  app.add_option("--scale", scale,
                 "store N times as many string tables and other files, for measuring the check "
                 "program on a big archive")
      ->type_name("N")
      ->check(CLI::Range(std::size_t{1}, std::size_t{1000}));
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& error) {
    std::fprintf(stderr, "make_sample_archive: %s\nTry 'make_sample_archive --help'.\n",
                 error.what());
    return 2;
  }
  SampleWriter writer(scale);
  writer.add_known_table();
  writer.add_string_tables();
  writer.add_other_files();
  return writer.write(output.c_str()) ? 0 : 1;
}
