#include "translation/stored_table_texts.hpp"

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

// Calls `visit` with each code point of the stored units as the library's decoder yields them: a
// surrogate that is not half of a lead+trail pair is one U+FFFD, and decoding goes on with the next
// unit. `visit` returns false to stop; so does this, then.
template <class Visit>
bool for_each_code_point(std::span<const std::uint8_t> units, Visit visit) {
  const std::size_t count = units.size() / detail::kCodeUnitSize;
  for (std::size_t i = 0; i < count; ++i) {
    char32_t c = code_unit(units, i);
    if (detail::is_lead_surrogate(static_cast<std::uint16_t>(c)) && i + 1 < count &&
        detail::is_trail_surrogate(code_unit(units, i + 1))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (code_unit(units, i + 1) - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = detail::kReplacementCharacter;
    }
    if (!visit(c)) return false;
  }
  return true;
}

// The texts of one entry, appended to the table's one list of them.
struct TextSpans {
  std::vector<std::span<const std::uint8_t>>& all;

  // The list grows by doubling; reserving each entry's count would copy it at every entry.
  void reserve(std::size_t) {}
  void push_back(std::span<const std::uint8_t> text) { all.push_back(text); }
};

// A text's packed length and its code units, viewed in place. It fails where the library's reader
// fails, if not at the same byte or with the same words.
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
  for (std::uint32_t i = 0; i < *count; ++i) {
    Entry entry;
    const auto key = reader.read_u32();
    if (!key) return read_failure(key);
    entry.key = *key;
    const auto data_id = reader.read_u32();
    if (!data_id) return read_failure(data_id);
    entry.data_id = *data_id;
    entry.texts_begin = table.texts_.size();
    entry.variables_begin = table.variables_.size();
    TextSpans texts{table.texts_};
    const auto flag = detail::read_entry_body(reader, texts, table.variables_, read_stored_text);
    if (!flag) return std::unexpected(std::move(flag.error()));
    entry.texts_end = table.texts_.size();
    entry.variables_end = table.variables_.size();
    entry.flag = *flag;
    table.entries_.push_back(entry);
  }
  table.by_key_.resize(table.entries_.size());
  for (std::size_t i = 0; i < table.by_key_.size(); ++i) table.by_key_[i] = i;
  const auto by_key = [&](std::size_t a, std::size_t b) {
    return table.entries_[a].key < table.entries_[b].key;
  };
  // Tables are mostly stored in key order, which one pass confirms.
  if (!std::is_sorted(table.by_key_.begin(), table.by_key_.end(), by_key)) {
    std::stable_sort(table.by_key_.begin(), table.by_key_.end(), by_key);
  }
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

std::vector<std::size_t> StoredTableTexts::kept_entries() const {
  std::vector<std::size_t> kept;
  kept.reserve(by_key_.size());
  for (std::size_t i = 0; i < by_key_.size(); ++i) {
    const bool last_of_key =
        i + 1 == by_key_.size() || entries_[by_key_[i + 1]].key != entries_[by_key_[i]].key;
    if (last_of_key) kept.push_back(by_key_[i]);
  }
  return kept;
}

std::span<const std::span<const std::uint8_t>> StoredTableTexts::texts(std::size_t position) const {
  const Entry& entry = entries_[position];
  return std::span(texts_).subspan(entry.texts_begin, entry.texts_end - entry.texts_begin);
}

std::span<const std::uint32_t> StoredTableTexts::variables(std::size_t position) const {
  const Entry& entry = entries_[position];
  return std::span(variables_)
      .subspan(entry.variables_begin, entry.variables_end - entry.variables_begin);
}

bool stored_text_reads_as(std::span<const std::uint8_t> units, std::string_view utf8) {
  std::size_t at = 0;
  const bool same = for_each_code_point(units, [&](char32_t c) {
    if (c < 0x80) {
      if (at == utf8.size() || utf8[at] != static_cast<char>(c)) return false;
      ++at;
      return true;
    }
    char encoded[4];
    const auto length = static_cast<std::size_t>(detail::encode_utf8(c, encoded) - encoded);
    if (utf8.substr(at, length) != std::string_view(encoded, length)) return false;
    at += length;
    return true;
  });
  return same && at == utf8.size();
}

void append_stored_text(std::string& out, std::span<const std::uint8_t> units) {
  // Written in place into room for the longest UTF-8 the units can make (3 bytes a unit: a pair
  // makes 4 of 2 units), then cut to what they made.
  const std::size_t start = out.size();
  out.resize_and_overwrite(start + units.size() / detail::kCodeUnitSize * 3,
                           [&](char* text, std::size_t) {
                             char* end = text + start;
                             for_each_code_point(units, [&](char32_t c) {
                               if (c < 0x80) {
                                 *end++ = static_cast<char>(c);
                               } else {
                                 end = detail::encode_utf8(c, end);
                               }
                               return true;
                             });
                             return static_cast<std::size_t>(end - text);
                           });
}

}  // namespace kelvane_dat::cli
