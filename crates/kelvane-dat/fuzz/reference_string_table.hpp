#pragma once

// A second, deliberately plain string table reader, for differential fuzzing: field by field,
// code unit by code unit, growing every list one element at a time. The library's reader may
// reserve, decode texts in bulk or take fast paths for ASCII, as long as it agrees with this on
// every input, failures and final positions included.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "kelvane_dat/file_type/string_table.hpp"

namespace kelvane_dat::fuzz {

template <class T>
struct ReferenceOutcome {
  // Empty when the data ran out; the only way these readers fail.
  std::optional<T> value;
  // Where the reader stands afterwards: just past the record, or at the first byte of the value
  // that ran out.
  std::uint64_t position = 0;
};

ReferenceOutcome<StringTable> reference_read_string_table(std::span<const std::uint8_t> bytes);
ReferenceOutcome<std::string> reference_read_text(std::span<const std::uint8_t> bytes);

}  // namespace kelvane_dat::fuzz
