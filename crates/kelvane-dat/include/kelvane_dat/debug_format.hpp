#pragma once

// Small text helpers shared by the error types: fixed-width hexadecimal, decimal debug values and
// quoted, escaped debug texts. All of them build a fresh std::string; none of them can fail.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "kelvane_dat/export.hpp"

namespace kelvane_dat {

// Eight upper-case hexadecimal digits, zero padded: "2300000A".
KELVANE_DAT_EXPORT std::string hex8(std::uint32_t value);
// "0x" and eight upper-case hexadecimal digits: "0x2300000A".
KELVANE_DAT_EXPORT std::string hex0x8(std::uint32_t value);
// Lower-case hexadecimal without padding: "2c".
KELVANE_DAT_EXPORT std::string hex_lower(std::uint64_t value);

// Decimal, as unsigned numbers print in debug form.
KELVANE_DAT_EXPORT std::string debug_string(std::uint32_t value);
// A UTF-8 text in double quotes; quote, backslash, tab, carriage return, line feed and NUL get a
// backslash escape, other non-printable characters become \u{hex}. Bytes that are not valid UTF-8
// are shown as U+FFFD.
KELVANE_DAT_EXPORT std::string debug_string(std::string_view text);

// The path's bytes as UTF-8, each invalid sequence replaced by U+FFFD.
KELVANE_DAT_EXPORT std::string path_to_lossy_utf8(const std::filesystem::path& path);

}  // namespace kelvane_dat
