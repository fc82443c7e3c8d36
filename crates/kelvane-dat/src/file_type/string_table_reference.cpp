#include "detail/string_table_reference.hpp"

#include <cstddef>
#include <vector>

#include "detail/utf16_reference.hpp"

namespace kelvane_dat::detail {

namespace {

class PlainReader {
 public:
  explicit PlainReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t position() const { return position_; }

  // Little-endian, `width` bytes; fails without moving when fewer remain.
  bool read(std::size_t width, std::uint32_t& value) {
    if (bytes_.size() - position_ < width) return false;
    value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      value |= std::uint32_t{bytes_[position_ + i]} << (8 * i);
    }
    position_ += width;
    return true;
  }

  // One, two or four bytes, read as the separate primitive reads b0, b1 and a 16-bit word.
  bool read_packed(std::uint32_t& value) {
    std::uint32_t b0 = 0;
    std::uint32_t b1 = 0;
    std::uint32_t word = 0;
    if (!read(1, b0)) return false;
    if (b0 < 0x80) {
      value = b0;
      return true;
    }
    if (!read(1, b1)) return false;
    if (b0 < 0xC0) {
      value = (b0 - 0x80) * 256 + b1;
      return true;
    }
    if (!read(2, word)) return false;
    value = (b0 - 0xC0) * 0x1000000 + b1 * 0x10000 + word;
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

std::optional<std::string> read_text(PlainReader& reader) {
  std::uint32_t length = 0;
  if (!reader.read_packed(length)) return std::nullopt;
  std::vector<std::uint8_t> units;
  for (std::uint32_t i = 0; i < length; ++i) {
    std::uint32_t unit = 0;
    if (!reader.read(2, unit)) return std::nullopt;
    units.push_back(static_cast<std::uint8_t>(unit));
    units.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return utf16le_to_utf8_lossy_reference(units);
}

std::optional<StringTableString> read_entry(PlainReader& reader) {
  StringTableString entry;
  std::uint32_t count = 0;
  if (!reader.read(4, entry.data_id) || !reader.read(4, count)) return std::nullopt;
  for (std::uint32_t i = 0; i < count; ++i) {
    auto text = read_text(reader);
    if (!text) return std::nullopt;
    entry.strings.push_back(std::move(*text));
  }
  if (!reader.read(4, count)) return std::nullopt;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t variable = 0;
    if (!reader.read(4, variable)) return std::nullopt;
    entry.variables.push_back(variable);
  }
  std::uint32_t flag = 0;
  if (!reader.read(1, flag)) return std::nullopt;
  entry.is_var_name_table_worth_packing = flag != 0;
  return entry;
}

std::optional<StringTable> read_table(PlainReader& reader) {
  StringTable table;
  std::uint32_t bucket_size_index = 0;
  std::uint32_t count = 0;
  if (!reader.read(4, table.id) || !reader.read(4, table.language) ||
      !reader.read(1, bucket_size_index) || !reader.read_packed(count)) {
    return std::nullopt;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t key = 0;
    if (!reader.read(4, key)) return std::nullopt;
    auto entry = read_entry(reader);
    if (!entry) return std::nullopt;
    // A repeated key: the later entry wins.
    table.strings.insert_or_assign(key, std::move(*entry));
  }
  return table;
}

}  // namespace

ReferenceOutcome<StringTable> read_string_table_reference(std::span<const std::uint8_t> bytes) {
  PlainReader reader(bytes);
  auto table = read_table(reader);
  return {std::move(table), reader.position()};
}

ReferenceOutcome<std::string> read_utf16_pstring_reference(std::span<const std::uint8_t> bytes) {
  PlainReader reader(bytes);
  auto text = read_text(reader);
  return {std::move(text), reader.position()};
}

}  // namespace kelvane_dat::detail
