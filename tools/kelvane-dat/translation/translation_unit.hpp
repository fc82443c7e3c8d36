#pragma once

// One text of a string table as translators see it: a unit named by table, key and index
// ("0x2300000A/0x014152D5/0"), its source text, a target the translator fills in, and what the
// entry says about the text (its data id and variables), which goes out as a translator's comment.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "translation/stored_table_texts.hpp"

namespace kelvane_dat::cli {

struct UnitId {
  std::uint32_t table = 0;
  std::uint32_t key = 0;
  std::uint32_t index = 0;

  friend auto operator<=>(const UnitId&, const UnitId&) = default;
};

struct TranslationUnit {
  UnitId id;
  // UTF-8; empty in a format that does not carry it (JSON Lines).
  std::string source{};
  // UTF-8; empty while untranslated.
  std::string target{};
  std::uint32_t data_id = 0;
  std::vector<std::uint32_t> variables{};
  // The entry's flag, which only JSON Lines carries: it prints entries as `strings --json` does.
  bool var_name_table_worth_packing = false;

  friend bool operator==(const TranslationUnit&, const TranslationUnit&) = default;
};

// A unit's id and texts viewing storage that outlives them (a file's text, or TranslationUnits):
// what putting a translation back needs, without a copy of any text.
struct UnitText {
  UnitId id;
  std::string_view source{};
  std::string_view target{};
};

// "0x2300000A/0x014152D5/0".
std::string unit_id_text(const UnitId& id);
// unit_id_text appended to `out`, for writers that print millions of ids.
void append_unit_id(std::string& out, const UnitId& id);
std::expected<UnitId, std::string> parse_unit_id(std::string_view text);

// The unit ids a reader met, with the line of each (0 where the format tells none). A file that
// names one unit twice would put two translations on one text, the later silently winning, so
// every reader refuses it once the rest of the file has read well. Exported files name units in
// ascending order, which one pass confirms; only files in another order are sorted.
class SeenUnitIds {
 public:
  void add(const UnitId& id, std::size_t line) { seen_.push_back({id, line}); }
  void reserve(std::size_t ids) { seen_.reserve(ids); }

  // "line 4: unit 0x2300000A/0x014152D5/0 appears twice" (no line where none was given) for the
  // repeat nearest the start of the file; nothing when no id repeats.
  std::optional<std::string> repeated();

 private:
  struct Seen {
    UnitId id;
    std::size_t line = 0;
  };
  std::vector<Seen> seen_;
};

// "data id 0x31000001; variables 0x00000001 0x00000002" ("variables none" without any): what a
// translator needs to know about the text without this tool.
std::string unit_note(const TranslationUnit& unit);

// Nothing, when `text` is UTF-8 throughout; else "line N: not UTF-8" for the first byte that breaks
// it. A text format's reader checks first: a translation's bytes that are no UTF-8 would reach the
// archive each as U+FFFD, not as the translator wrote them.
std::expected<void, std::string> check_utf8(std::string_view text);

// Every text of the table stored as file `table_id`, as StringTable decodes it: keys ascending,
// texts in entry order; targets empty.
std::vector<TranslationUnit> translation_units(std::uint32_t table_id,
                                               const StoredTableTexts& table);

}  // namespace kelvane_dat::cli
