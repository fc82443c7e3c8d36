#pragma once

/// \file
/// Small text helpers shared by the error types, the tool and the tests: fixed-width hexadecimal,
/// decimal debug values and quoted, escaped debug texts. All of them build a fresh std::string;
/// none of them can fail. The hexadecimal ones are inline so that programs linking the shared
/// library, which exports only the public API, can use them too.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace kelvane_dat {

/// Eight upper-case hexadecimal digits, zero padded: "2300000A".
inline std::string hex8(std::uint32_t value) {
  // By hand rather than through snprintf: translation files print millions of ids.
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(8, '0');
  for (std::size_t i = text.size(); i-- > 0; value >>= 4) text[i] = kDigits[value & 0xF];
  return text;
}

/// "0x" and eight upper-case hexadecimal digits: "0x2300000A".
inline std::string hex0x8(std::uint32_t value) { return "0x" + hex8(value); }

/// Lower-case hexadecimal without padding: "2c".
inline std::string hex_lower(std::uint64_t value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(value));
  return buffer;
}

/// Decimal, as unsigned numbers print in debug form.
inline std::string debug_string(std::uint32_t value) { return std::to_string(value); }
/// A UTF-8 text in double quotes; quote, backslash, tab, carriage return, line feed and NUL get a
/// backslash escape, other non-printable characters become `\u{hex}`. Bytes that are not valid
/// UTF-8 are shown as U+FFFD.
std::string debug_string(std::string_view text);

/// The path's bytes as UTF-8, each invalid sequence replaced by U+FFFD.
std::string path_to_lossy_utf8(const std::filesystem::path& path);

}  // namespace kelvane_dat
