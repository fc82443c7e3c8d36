#pragma once

// A deliberately plain string table reader, for differential tests and fuzzing: field by field,
// byte by byte, growing every list one element at a time, texts decoded by the reference UTF-16
// decoder. The library's reader may reserve, decode texts in bulk or take fast paths for ASCII, as
// long as it agrees with this on every input, failures and final positions included. Part of the
// kelvane_dat_reference target, not of the shipped library.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "kelvane_dat/file_type/string_table.hpp"

namespace kelvane_dat::detail {

template <class T>
struct ReferenceOutcome {
  // Empty when the data ran out; the only way these readers fail.
  std::optional<T> value;
  // Where the reader stands afterwards: just past the record, or at the first byte of the value
  // that ran out.
  std::uint64_t position = 0;
};

// StringTable::read_le and read_utf16_pstring, on a reader at the start of `bytes`.
ReferenceOutcome<StringTable> read_string_table_reference(std::span<const std::uint8_t> bytes);
ReferenceOutcome<std::string> read_utf16_pstring_reference(std::span<const std::uint8_t> bytes);

}  // namespace kelvane_dat::detail
