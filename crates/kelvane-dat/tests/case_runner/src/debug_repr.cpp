#include "case_runner/debug_repr.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

#include "detail/utf8.hpp"

namespace case_runner::detail {
namespace {

constexpr char32_t kNoCodePoint = 0xFFFFFFFF;

// Code points written as \u{...}: controls, separators other than the plain space, the
// common invisible format characters, surrogates, private use and non-characters.
bool is_printable(char32_t c) {
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
  return (c & 0xFFFE) != 0xFFFE;  // U+xFFFE and U+xFFFF are non-characters in every plane
}

void append_hex(std::string& out, unsigned value, bool upper, int min_digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, upper ? "%0*X" : "%0*x", min_digits, value);
  out += buffer;
}

void append_escaped(std::string& out, char32_t c, char quote) {
  switch (c) {
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
    case U'\\':
      out += "\\\\";
      return;
    default:
      break;
  }
  if (c == static_cast<char32_t>(quote)) {
    out += '\\';
    out += quote;
  } else if (!is_printable(c) || c > 0x10FFFF) {
    out += "\\u{";
    append_hex(out, static_cast<unsigned>(c), false, 1);
    out += '}';
  } else {
    kelvane_dat::detail::append_utf8(out, c);
  }
}

// Decodes one well-formed UTF-8 sequence at text[pos]; returns kNoCodePoint (and length 1)
// for a byte that does not start one.
char32_t decode_utf8(std::string_view text, std::size_t pos, std::size_t& length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  length = 1;
  if (lead < 0x80) return lead;
  std::size_t needed = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    needed = 1, c = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    needed = 2, c = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    needed = 3, c = lead & 0x07u, minimum = 0x10000;
  } else {
    return kNoCodePoint;
  }
  if (pos + needed >= text.size()) return kNoCodePoint;
  for (std::size_t i = 1; i <= needed; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return kNoCodePoint;
    c = (c << 6) | (byte(i) & 0x3Fu);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kNoCodePoint;
  length = needed + 1;
  return c;
}

std::string float_text(double value, bool is_float, float narrow) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0) return std::signbit(value) ? "-0.0" : "0.0";
  const double magnitude = std::fabs(value);
  const bool fixed = magnitude >= 1e-4 && magnitude < 1e16;
  const auto format = fixed ? std::chars_format::fixed : std::chars_format::scientific;
  char buffer[512];
  const auto result = is_float ? std::to_chars(buffer, buffer + sizeof buffer, narrow, format)
                               : std::to_chars(buffer, buffer + sizeof buffer, value, format);
  std::string text(buffer, result.ptr);
  if (fixed) {
    if (text.find('.') == std::string::npos) text += ".0";
    return text;
  }
  // "1.5e-07" -> "1.5e-7", "1e+16" -> "1e16"
  const std::size_t e = text.find('e');
  std::string mantissa = text.substr(0, e);
  std::string exponent = text.substr(e + 1);
  bool negative = false;
  if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
    negative = exponent[0] == '-';
    exponent.erase(0, 1);
  }
  const std::size_t digits = exponent.find_first_not_of('0');
  exponent = digits == std::string::npos ? "0" : exponent.substr(digits);
  return mantissa + "e" + (negative ? "-" : "") + exponent;
}

}  // namespace

std::string debug_signed(long long value) { return std::to_string(value); }

std::string debug_unsigned(unsigned long long value) { return std::to_string(value); }

std::string debug_double(double value) { return float_text(value, false, 0.0f); }

std::string debug_float(float value) { return float_text(static_cast<double>(value), true, value); }

std::string debug_pointer(const void* address) {
  std::string out = "0x";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)));
  out += buffer;
  return out;
}

std::string debug_utf8(std::string_view text, char quote) {
  std::string out(1, quote);
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t length = 1;
    const char32_t c = decode_utf8(text, pos, length);
    if (c == kNoCodePoint) {
      out += "\\x";
      append_hex(out, static_cast<unsigned char>(text[pos]), true, 2);
    } else {
      append_escaped(out, c, quote);
    }
    pos += length;
  }
  out += quote;
  return out;
}

std::string debug_utf16(std::u16string_view text, char quote) {
  std::string out(1, quote);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      ++i;
    }
    append_escaped(out, c, quote);  // a lone surrogate is non-printable: \u{d800}
  }
  out += quote;
  return out;
}

std::string debug_utf32(std::u32string_view text, char quote) {
  std::string out(1, quote);
  for (const char32_t c : text) append_escaped(out, c, quote);
  out += quote;
  return out;
}

}  // namespace case_runner::detail
