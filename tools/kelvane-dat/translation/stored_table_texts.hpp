#pragma once

// A string table read where its file's bytes lie, for the commands that go through every text of
// an archive (strings export, strings import): each text stays a view of its little-endian code
// units, with no string built per text, and is decoded only where it is written out or compared.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat::cli {

// The table's entries in file order, viewing the file's bytes, which must outlive it. It reads
// exactly what StoredStringTable::read_le and StringTable::read_le read, so a file one of them
// decodes this does too, with the same entries; the errors are theirs to report.
class StoredTableTexts {
 public:
  [[nodiscard]] static std::expected<StoredTableTexts, ReadError> read_le(ByteCursor& reader);

  std::uint32_t language() const { return language_; }
  // The position in file order of the entry StringTable::read_le keeps for `key` (a repeated
  // key's last one), or nothing.
  std::optional<std::size_t> find(std::uint32_t key) const;
  // The positions of the entries StringTable::read_le keeps, keys ascending: the order every
  // command shows entries in.
  std::vector<std::size_t> kept_entries() const;

  // The entry at `position` in file order.
  std::uint32_t key(std::size_t position) const { return entries_[position].key; }
  std::uint32_t data_id(std::size_t position) const { return entries_[position].data_id; }
  std::span<const std::span<const std::uint8_t>> texts(std::size_t position) const;
  std::span<const std::uint32_t> variables(std::size_t position) const;
  // The flag byte as StringTable reads it: any value but 0 is true.
  bool var_name_table_worth_packing(std::size_t position) const {
    return entries_[position].flag != 0;
  }

 private:
  struct Entry {
    std::uint32_t key = 0;
    std::uint32_t data_id = 0;
    std::size_t texts_begin = 0;
    std::size_t texts_end = 0;
    std::size_t variables_begin = 0;
    std::size_t variables_end = 0;
    std::uint8_t flag = 0;
  };

  std::uint32_t language_ = 1;
  std::vector<Entry> entries_;
  // Every entry's texts and variables, one after another.
  std::vector<std::span<const std::uint8_t>> texts_;
  std::vector<std::uint32_t> variables_;
  // Entry positions ordered by key, file order among equal keys.
  std::vector<std::size_t> by_key_;
};

// Whether the code units `units` (little-endian, as stored) decode to `utf8` as the table reader
// decodes them, a lone surrogate as U+FFFD; without building the UTF-8.
bool stored_text_reads_as(std::span<const std::uint8_t> units, std::string_view utf8);

// Appends the UTF-8 the table reader decodes `units` to.
void append_stored_text(std::string& out, std::span<const std::uint8_t> units);

}  // namespace kelvane_dat::cli
