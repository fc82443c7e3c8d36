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

void append_hex(std::string& out, unsigned value, bool upper, int min_digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, upper ? "%0*X" : "%0*x", min_digits, value);
  out += buffer;
}

// The check program's report shows texts as the library's debug texts do (one printable definition,
// one escaper); only its invalid UTF-8 differs, shown byte by byte as \xHH where the library
// shows U+FFFD.
using kelvane_dat::detail::append_debug_escaped;

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
    const kelvane_dat::detail::Utf8Step step = kelvane_dat::detail::decode_utf8_at(text, pos);
    if (step.valid) {
      append_debug_escaped(out, step.code_point, quote);
    } else {
      for (std::size_t k = 0; k < step.length; ++k) {
        out += "\\x";
        append_hex(out, static_cast<unsigned char>(text[pos + k]), true, 2);
      }
    }
    pos += step.length;
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
    append_debug_escaped(out, c, quote);  // a lone surrogate is non-printable: \u{d800}
  }
  out += quote;
  return out;
}

std::string debug_utf32(std::u32string_view text, char quote) {
  std::string out(1, quote);
  for (const char32_t c : text) append_debug_escaped(out, c, quote);
  out += quote;
  return out;
}

}  // namespace case_runner::detail
