#include "translation/translation_import.hpp"

#include <algorithm>
#include <utility>

#include "detail/string_table_reading.hpp"
#include "detail/utf16.hpp"
#include "detail/utf8.hpp"
#include "kelvane_dat/packed_int.hpp"

namespace kelvane_dat::cli {

namespace {

using detail::read_failure;

std::uint16_t code_unit(std::span<const std::uint8_t> units, std::size_t i) {
  return static_cast<std::uint16_t>(units[2 * i] | units[2 * i + 1] << 8);
}

// Whether the code units `units` (little-endian, as stored) decode to `utf8` as the table reader
// decodes them, a lone surrogate as U+FFFD. Compared code point by code point, so no text of the
// table is ever built as UTF-8.
bool reads_as(std::span<const std::uint8_t> units, std::string_view utf8) {
  const std::size_t count = units.size() / detail::kCodeUnitSize;
  std::size_t at = 0;
  for (std::size_t i = 0; i < count; ++i) {
    char32_t c = code_unit(units, i);
    if (c < 0x80) {
      if (at == utf8.size() || utf8[at] != static_cast<char>(c)) return false;
      ++at;
      continue;
    }
    if (detail::is_lead_surrogate(static_cast<std::uint16_t>(c)) && i + 1 < count &&
        detail::is_trail_surrogate(code_unit(units, i + 1))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (code_unit(units, i + 1) - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = detail::kReplacementCharacter;
    }
    char encoded[4];
    const auto length = static_cast<std::size_t>(detail::encode_utf8(c, encoded) - encoded);
    if (utf8.substr(at, length) != std::string_view(encoded, length)) return false;
    at += length;
  }
  return at == utf8.size();
}

// The texts of one entry, appended to the table's one list of them.
struct TextSpans {
  std::vector<std::span<const std::uint8_t>>& all;

  // The list grows by doubling; reserving each entry's count would copy it at every entry.
  void reserve(std::size_t) {}
  void push_back(std::span<const std::uint8_t> text) { all.push_back(text); }
};

// A text's packed length and its code units, viewed in place. It fails where the library's reader
// fails, if not at the same byte; a failure only sends the table to that reader, which reports it.
std::expected<std::span<const std::uint8_t>, ReadError> read_stored_text(ByteCursor& reader) {
  const auto count = read_compressed_u32(reader);
  if (!count) return std::unexpected(count.error());
  const auto units = reader.read_bytes(std::size_t{*count} * detail::kCodeUnitSize);
  if (!units) return read_failure(units);
  return *units;
}

}  // namespace

std::expected<StoredTableTexts, ReadError> StoredTableTexts::read_le(ByteCursor& reader) {
  // The layout StoredStringTable::read_le reads, field for field.
  StoredTableTexts table;
  const auto id = reader.read_u32();
  if (!id) return read_failure(id);
  const auto language = reader.read_u32();
  if (!language) return read_failure(language);
  table.language_ = *language;
  const auto bucket_size_index = reader.read_u8();
  if (!bucket_size_index) return read_failure(bucket_size_index);
  const auto count = read_compressed_u32(reader);
  if (!count) return std::unexpected(count.error());
  table.entries_.reserve(detail::bounded_reserve(*count, reader, detail::kMinEntryWithKeySize));
  std::vector<std::uint32_t> variables;
  for (std::uint32_t i = 0; i < *count; ++i) {
    Entry entry;
    const auto key = reader.read_u32();
    if (!key) return read_failure(key);
    entry.key = *key;
    const auto data_id = reader.read_u32();
    if (!data_id) return read_failure(data_id);
    entry.texts_begin = table.texts_.size();
    TextSpans texts{table.texts_};
    variables.clear();
    const auto flag = detail::read_entry_body(reader, texts, variables, read_stored_text);
    if (!flag) return std::unexpected(std::move(flag.error()));
    entry.texts_end = table.texts_.size();
    table.entries_.push_back(entry);
  }
  table.by_key_.resize(table.entries_.size());
  for (std::size_t i = 0; i < table.by_key_.size(); ++i) table.by_key_[i] = i;
  std::stable_sort(table.by_key_.begin(), table.by_key_.end(), [&](std::size_t a, std::size_t b) {
    return table.entries_[a].key < table.entries_[b].key;
  });
  return table;
}

std::optional<std::size_t> StoredTableTexts::find(std::uint32_t key) const {
  // Past the last entry of `key`, then one back.
  const auto after = std::upper_bound(
      by_key_.begin(), by_key_.end(), key,
      [&](std::uint32_t wanted, std::size_t position) { return wanted < entries_[position].key; });
  if (after == by_key_.begin() || entries_[*(after - 1)].key != key) return std::nullopt;
  return *(after - 1);
}

std::span<const std::span<const std::uint8_t>> StoredTableTexts::texts(std::size_t position) const {
  const Entry& entry = entries_[position];
  return std::span(texts_).subspan(entry.texts_begin, entry.texts_end - entry.texts_begin);
}

std::map<std::uint32_t, std::span<const UnitText>> units_by_table(std::vector<UnitText>& units) {
  const auto by_table = [](const UnitText& a, const UnitText& b) {
    return a.id.table < b.id.table;
  };
  if (!std::is_sorted(units.begin(), units.end(), by_table)) {
    std::stable_sort(units.begin(), units.end(), by_table);
  }
  std::map<std::uint32_t, std::span<const UnitText>> tables;
  for (std::size_t start = 0; start < units.size();) {
    std::size_t end = start + 1;
    while (end < units.size() && units[end].id.table == units[start].id.table) ++end;
    tables.emplace_hint(tables.end(), units[start].id.table,
                        std::span<const UnitText>(units).subspan(start, end - start));
    start = end;
  }
  return tables;
}

TableImport import_into_table(std::uint32_t table_id, const StoredTableTexts& table,
                              std::span<const UnitText> units, bool compare_sources) {
  TableImport result;
  for (const UnitText& unit : units) {
    const auto problem = [&](std::string what) {
      result.problems.push_back({unit.id, std::move(what)});
    };
    // The entry the export showed: a repeated key's last one, as the decoded table keeps it.
    const std::optional<std::size_t> entry =
        unit.id.table == table_id ? table.find(unit.id.key) : std::nullopt;
    if (!entry || unit.id.index >= table.texts(*entry).size()) {
      problem("names no text of the archive");
      continue;
    }
    const std::span<const std::uint8_t> stored = table.texts(*entry)[unit.id.index];
    if (compare_sources && !reads_as(stored, unit.source)) {
      problem("its source text is no longer the archive's (the archive changed since the export)");
      continue;
    }
    if (unit.target.empty() || reads_as(stored, unit.target)) continue;
    auto translated = utf8_to_utf16(unit.target);
    if (!translated) {
      problem("its translation is not valid UTF-8");
      continue;
    }
    result.changes.push_back(
        {.entry = *entry, .index = unit.id.index, .units = std::move(*translated)});
  }
  return result;
}

void apply_text_changes(std::vector<TextChange>& changes, StoredStringTable& table) {
  for (TextChange& change : changes) {
    table.entries[change.entry].texts[change.index] = std::move(change.units);
  }
}

}  // namespace kelvane_dat::cli
