#include "translation/pseudo_localization.hpp"

#include <cstddef>

#include "detail/utf8.hpp"

namespace kelvane_dat::cli {

namespace {

// One accented look-alike per ASCII letter.
constexpr char32_t kUpper[26] = {U'À', U'Ɓ', U'Ç', U'Ð', U'É', U'Ƒ', U'Ĝ', U'Ĥ', U'Î',
                                 U'Ĵ', U'Ķ', U'Ĺ', U'Ṁ', U'Ñ', U'Ö', U'Þ', U'Ǫ', U'Ŕ',
                                 U'Ŝ', U'Ţ', U'Û', U'Ṽ', U'Ŵ', U'Ẋ', U'Ý', U'Ž'};
constexpr char32_t kLower[26] = {U'à', U'ƀ', U'ç', U'ð', U'é', U'ƒ', U'ĝ', U'ĥ', U'î',
                                 U'ĵ', U'ķ', U'ĺ', U'ɱ', U'ñ', U'ö', U'þ', U'ǫ', U'ŕ',
                                 U'š', U'ţ', U'û', U'ṽ', U'ŵ', U'ẋ', U'ý', U'ž'};

// Where the placeholder or tag starting at `i` ends (one past it), or `i` if none starts there.
std::size_t kept_span_end(std::string_view text, std::size_t i) {
  const char c = text[i];
  const auto closing = [&](char close) {
    const std::size_t end = text.find(close, i + 1);
    return end == std::string_view::npos ? i : end + 1;
  };
  if (c == '{') return closing('}');
  if (c == '<') return closing('>');
  if (c == '%' && i + 1 < text.size()) {
    // printf-style: flags, width, precision and argument numbers up to the conversion letter.
    std::size_t end = i + 1;
    while (end < text.size() &&
           std::string_view("0123456789$.-+ #lhz").find(text[end]) != std::string_view::npos) {
      ++end;
    }
    return end < text.size() ? end + 1 : i;
  }
  return i;
}

}  // namespace

std::string pseudo_localize(std::string_view text) {
  if (text.empty()) return {};
  std::string out = "[";
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (const std::size_t end = kept_span_end(text, i); end != i) {
      out += text.substr(i, end - i);
      i = end;
      ++characters;
      continue;
    }
    const char c = text[i];
    if (c >= 'A' && c <= 'Z') {
      detail::append_utf8(out, kUpper[c - 'A']);
    } else if (c >= 'a' && c <= 'z') {
      detail::append_utf8(out, kLower[c - 'a']);
    } else {
      out += c;
    }
    // Count characters, not bytes: continuation bytes do not start one.
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    ++i;
  }
  // About 30 % more, rounded up, so even a short label grows.
  return out + " " + std::string((characters * 3 + 9) / 10, '~') + "]";
}

}  // namespace kelvane_dat::cli
