#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane_dat::detail {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The library's one UTF-8 encoder (the case runner of the check program uses it too). Writes the
// encoding of a Unicode scalar value at `out`, which has room for 4 bytes, and returns its end.
inline char* encode_utf8(char32_t c, char* out) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (c >> 18));
    *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// Appends the UTF-8 encoding of a Unicode scalar value.
inline void append_utf8(std::string& out, char32_t c) {
  char bytes[4];
  out.append(bytes, encode_utf8(c, bytes));
}

// Calls `visit` with every code point of `bytes`; each maximal invalid UTF-8 prefix yields one
// U+FFFD, so arbitrary bytes (file names, for one) can be shown as text.
template <class Visit>
void for_each_code_point(std::string_view bytes, Visit&& visit) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  auto byte_at = [&bytes](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
  while (i < n) {
    const std::uint8_t b0 = byte_at(i);
    if (b0 < 0x80) {
      visit(static_cast<char32_t>(b0));
      ++i;
      continue;
    }
    std::size_t length = 0;
    char32_t c = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
      c = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      c = b0 & 0x0Fu;
      if (b0 == 0xE0) low = 0xA0;
      if (b0 == 0xED) high = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      c = b0 & 0x07u;
      if (b0 == 0xF0) low = 0x90;
      if (b0 == 0xF4) high = 0x8F;
    } else {
      visit(kReplacementCharacter);
      ++i;
      continue;
    }
    std::size_t k = 1;
    for (; k < length && i + k < n; ++k) {
      const std::uint8_t b = byte_at(i + k);
      const std::uint8_t lo = (k == 1) ? low : std::uint8_t{0x80};
      const std::uint8_t hi = (k == 1) ? high : std::uint8_t{0xBF};
      if (b < lo || b > hi) break;
      c = (c << 6) | (b & 0x3Fu);
    }
    if (k == length) {
      visit(c);
    } else {
      visit(kReplacementCharacter);
    }
    i += k;
  }
}

// True for characters a debug rendering shows as \u{...}: controls, separators other than the
// space, format characters, private use and noncharacters.
inline bool is_unprintable(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  if (c == 0xA0 || c == 0xAD || c == 0x1680 || c == 0x180E) return true;
  if (c >= 0x2000 && c <= 0x200F) return true;
  if (c >= 0x2028 && c <= 0x202F) return true;
  if (c >= 0x205F && c <= 0x206F) return true;
  if (c == 0x3000 || c == 0xFEFF) return true;
  if (c >= 0xFFF0 && c <= 0xFFFB) return true;
  if (c >= 0xE000 && c <= 0xF8FF) return true;
  if (c >= 0xFDD0 && c <= 0xFDEF) return true;
  if ((c & 0xFFFE) == 0xFFFE) return true;
  if (c >= 0xE0000) return true;
  return false;
}

inline void append_debug_escaped(std::string& out, char32_t c) {
  switch (c) {
    case U'"':
      out += "\\\"";
      return;
    case U'\\':
      out += "\\\\";
      return;
    case U'\t':
      out += "\\t";
      return;
    case U'\r':
      out += "\\r";
      return;
    case U'\n':
      out += "\\n";
      return;
    case U'\0':
      out += "\\0";
      return;
    default:
      break;
  }
  if (is_unprintable(c)) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    for (char32_t v = c; v != 0 || digits.empty(); v >>= 4)
      digits.insert(digits.begin(), kDigits[v & 0xF]);
    out += "\\u{" + digits + "}";
    return;
  }
  append_utf8(out, c);
}

}  // namespace kelvane_dat::detail
