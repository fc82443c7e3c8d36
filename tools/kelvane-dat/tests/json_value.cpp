#include "json_value.hpp"

#include <cctype>
#include <charconv>
#include <cstdlib>

#include "detail/utf8.hpp"

namespace kelvane_dat::cli::testing {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> document() {
    JsonValue value;
    if (!parse_value(value)) return std::nullopt;
    skip_space();
    if (pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  void skip_space() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }

  bool consume(std::string_view literal) {
    if (text_.substr(pos_, literal.size()) != literal) return false;
    pos_ += literal.size();
    return true;
  }

  // The parsers fill `out` and say whether they could, rather than return an optional JsonValue:
  // GCC 12 at -O3 takes the moves out of nested optional variants for reads of uninitialised
  // members (-Wmaybe-uninitialized).
  bool parse_value(JsonValue& out) {
    skip_space();
    if (pos_ >= text_.size()) return false;
    const char c = text_[pos_];
    if (c == '{') return parse_object(out);
    if (c == '[') return parse_array(out);
    if (c == '"') {
      std::optional<std::string> text = parse_string();
      if (!text) return false;
      out.value = std::move(*text);
      return true;
    }
    if (consume("true")) {
      out.value = true;
    } else if (consume("false")) {
      out.value = false;
    } else if (consume("null")) {
      out.value = nullptr;
    } else {
      return parse_number(out);
    }
    return true;
  }

  bool parse_object(JsonValue& out) {
    ++pos_;
    JsonObject& object = out.value.emplace<JsonObject>();
    skip_space();
    if (consume("}")) return true;
    for (;;) {
      skip_space();
      std::optional<std::string> key = parse_string();
      skip_space();
      if (!key || !consume(":")) return false;
      if (!parse_value(object[std::move(*key)])) return false;
      skip_space();
      if (consume("}")) return true;
      if (!consume(",")) return false;
    }
  }

  bool parse_array(JsonValue& out) {
    ++pos_;
    JsonArray& array = out.value.emplace<JsonArray>();
    skip_space();
    if (consume("]")) return true;
    for (;;) {
      if (!parse_value(array.emplace_back())) return false;
      skip_space();
      if (consume("]")) return true;
      if (!consume(",")) return false;
    }
  }

  bool parse_number(JsonValue& out) {
    const std::size_t start = pos_;
    while (pos_ < text_.size() &&
           (std::isdigit(static_cast<unsigned char>(text_[pos_])) ||
            std::string_view("+-.eE").find(text_[pos_]) != std::string_view::npos)) {
      ++pos_;
    }
    if (start == pos_) return false;
    const std::string digits(text_.substr(start, pos_ - start));
    char* end = nullptr;
    const double value = std::strtod(digits.c_str(), &end);
    if (end != digits.c_str() + digits.size()) return false;
    out.value = value;
    return true;
  }

  std::optional<std::uint32_t> parse_hex4() {
    if (text_.size() - pos_ < 4) return std::nullopt;
    std::uint32_t unit = 0;
    const char* begin = text_.data() + pos_;
    const auto [end, error] = std::from_chars(begin, begin + 4, unit, 16);
    if (error != std::errc() || end != begin + 4) return std::nullopt;
    pos_ += 4;
    return unit;
  }

  std::optional<std::string> parse_string() {
    if (!consume("\"")) return std::nullopt;
    std::string out;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return out;
      // Raw control characters are not allowed inside JSON strings.
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) return std::nullopt;
      const char escape = text_[pos_++];
      switch (escape) {
        case '"':
        case '\\':
        case '/':
          out.push_back(escape);
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          std::optional<std::uint32_t> unit = parse_hex4();
          if (!unit) return std::nullopt;
          std::uint32_t code_point = *unit;
          if (code_point >= 0xD800 && code_point <= 0xDBFF) {
            if (!consume("\\u")) return std::nullopt;
            const std::optional<std::uint32_t> low = parse_hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
            code_point = 0x10000 + ((code_point - 0xD800) << 10) + (*low - 0xDC00);
          }
          kelvane_dat::detail::append_utf8(out, code_point);
          break;
        }
        default:
          return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<JsonValue> parse_json(std::string_view text) { return Parser(text).document(); }

}  // namespace kelvane_dat::cli::testing
