#pragma once

// What the two string table readers (the decoded StringTable and the StoredStringTable that keeps
// the file's order and code units) share, so both fail alike on the same bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <utility>
#include <vector>

#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/io_error.hpp"
#include "kelvane_dat/read_error.hpp"

namespace kelvane_dat::detail {

// The smallest encodings, which bound how many elements the remaining bytes can still hold: an
// entry with its key is four u32 fields and the flag byte; an empty text is its one-byte length.
inline constexpr std::size_t kMinEntryWithKeySize = 17;
inline constexpr std::size_t kMinTextSize = 1;
inline constexpr std::size_t kVariableSize = 4;
inline constexpr std::size_t kCodeUnitSize = 2;

// Counts come straight from the data, so never reserve more than the rest of it could fill; a
// bogus count then fails on the missing bytes instead of on the allocation.
inline std::size_t bounded_reserve(std::uint32_t count, const ByteCursor& reader,
                                   std::size_t min_element_size) {
  return std::min<std::size_t>(count, reader.remaining() / min_element_size);
}

template <class T>
std::unexpected<ReadError> read_failure(const std::expected<T, IoError>& result) {
  return std::unexpected(ReadError(result.error()));
}

// One text's packed length and then its little-endian code units, as a view of the reader's data.
std::expected<std::span<const std::uint8_t>, ReadError> read_utf16_units(ByteCursor& reader);

// An entry after its key and data id: its texts, each read by `read_text` into `texts`, then its
// variables, then the packing flag, which it returns.
template <class Texts, class ReadText>
std::expected<std::uint8_t, ReadError> read_entry_body(ByteCursor& reader, Texts& texts,
                                                       std::vector<std::uint32_t>& variables,
                                                       ReadText read_text) {
  const auto num_strings = reader.read_u32();
  if (!num_strings) return read_failure(num_strings);
  texts.reserve(bounded_reserve(*num_strings, reader, kMinTextSize));
  for (std::uint32_t i = 0; i < *num_strings; ++i) {
    auto text = read_text(reader);
    if (!text) return std::unexpected(std::move(text.error()));
    texts.push_back(std::move(*text));
  }

  const auto num_variables = reader.read_u32();
  if (!num_variables) return read_failure(num_variables);
  variables.reserve(bounded_reserve(*num_variables, reader, kVariableSize));
  for (std::uint32_t i = 0; i < *num_variables; ++i) {
    const auto variable = reader.read_u32();
    if (!variable) return read_failure(variable);
    variables.push_back(*variable);
  }

  const auto flag = reader.read_u8();
  if (!flag) return read_failure(flag);
  return *flag;
}

}  // namespace kelvane_dat::detail
