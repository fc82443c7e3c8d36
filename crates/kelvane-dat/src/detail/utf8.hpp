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

// One step of UTF-8 decoding at bytes[pos]: a code point and its length, or, for bytes that do not
// start a well-formed sequence, the length of the maximal invalid prefix (at least 1), which
// readers replace by one U+FFFD or show byte by byte. The one UTF-8 decoder of the library, the
// tool and the check program's case runner.
struct Utf8Step {
  char32_t code_point;
  std::size_t length;
  bool valid;
};

inline Utf8Step decode_utf8_at(std::string_view bytes, std::size_t pos) {
  const auto byte_at = [&bytes](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
  const std::uint8_t b0 = byte_at(pos);
  if (b0 < 0x80) return {b0, 1, true};
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
    if (b0 == 0xE0) low = 0xA0;   // no overlong forms
    if (b0 == 0xED) high = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    c = b0 & 0x07u;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return {kReplacementCharacter, 1, false};
  }
  std::size_t k = 1;
  for (; k < length && pos + k < bytes.size(); ++k) {
    const std::uint8_t b = byte_at(pos + k);
    const std::uint8_t lo = (k == 1) ? low : std::uint8_t{0x80};
    const std::uint8_t hi = (k == 1) ? high : std::uint8_t{0xBF};
    if (b < lo || b > hi) break;
    c = (c << 6) | (b & 0x3Fu);
  }
  if (k == length) return {c, k, true};
  return {kReplacementCharacter, k, false};
}

// Calls `visit` with every code point of `bytes`; each maximal invalid UTF-8 prefix yields one
// U+FFFD, so arbitrary bytes (file names, for one) can be shown as text.
template <class Visit>
void for_each_code_point(std::string_view bytes, Visit&& visit) {
  for (std::size_t i = 0; i < bytes.size();) {
    const Utf8Step step = decode_utf8_at(bytes, i);
    visit(step.code_point);
    i += step.length;
  }
}

// Whether a debug rendering shows `c` as itself rather than as \u{...}: not for controls,
// separators other than the plain space, the common invisible format characters, surrogates,
// private use, non-characters and values past U+10FFFF. The one definition of the library's debug
// texts and the check program's reports.
inline bool is_printable(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
  if (c < 0xA0) return true;
  switch (c) {
    case 0xA0:    // no-break space
    case 0xAD:    // soft hyphen
    case 0x061C:  // Arabic letter mark
    case 0x06DD:
    case 0x070F:
    case 0x08E2:
    case 0x1680:  // Ogham space mark
    case 0x180E:  // Mongolian vowel separator
    case 0x202F:  // narrow no-break space
    case 0x205F:  // medium mathematical space
    case 0x3000:  // ideographic space
    case 0xFEFF:  // byte order mark
    case 0x110BD:
    case 0x110CD:
    case 0xE0001:
      return false;
    default:
      break;
  }
  struct Span {
    char32_t first;
    char32_t last;
  };
  static constexpr Span kHidden[] = {
      {0x0600, 0x0605},   {0x0890, 0x0891},   {0x2000, 0x200F},    {0x2028, 0x202E},
      {0x2060, 0x2064},   {0x2066, 0x206F},   {0xD800, 0xDFFF},    {0xE000, 0xF8FF},
      {0xFDD0, 0xFDEF},   {0xFFF9, 0xFFFB},   {0x13430, 0x1343F},  {0x1BCA0, 0x1BCA3},
      {0x1D173, 0x1D17A}, {0xE0020, 0xE007F}, {0xF0000, 0x10FFFF},
  };
  for (const Span& span : kHidden) {
    if (c >= span.first && c <= span.last) return false;
  }
  // U+xFFFE and U+xFFFF are non-characters in every plane.
  return c <= 0x10FFFF && (c & 0xFFFE) != 0xFFFE;
}

// Appends `c` as a debug text inside `quote`s shows it: a backslash escape for the quote itself,
// backslash, tab, carriage return, line feed and NUL, \u{hex} for what is not printable.
inline void append_debug_escaped(std::string& out, char32_t c, char quote = '"') {
  switch (c) {
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
  if (c == static_cast<char32_t>(static_cast<unsigned char>(quote))) {
    out += '\\';
    out += quote;
    return;
  }
  if (!is_printable(c)) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    for (char32_t v = c; v != 0 || digits.empty(); v >>= 4) {
      digits.insert(digits.begin(), kDigits[v & 0xF]);
    }
    out += "\\u{" + digits + "}";
    return;
  }
  append_utf8(out, c);
}

}  // namespace kelvane_dat::detail
