#include "json_value.hpp"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace kelvane_dat::cli::testing {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> document() {
    std::optional<JsonValue> value = parse_value();
    skip_space();
    if (!value || pos_ != text_.size()) return std::nullopt;
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

  std::optional<JsonValue> parse_value() {
    skip_space();
    if (pos_ >= text_.size()) return std::nullopt;
    const char c = text_[pos_];
    if (c == '{') return parse_object();
    if (c == '[') return parse_array();
    if (c == '"') {
      std::optional<std::string> text = parse_string();
      if (!text) return std::nullopt;
      return JsonValue{std::move(*text)};
    }
    if (consume("true")) return JsonValue{true};
    if (consume("false")) return JsonValue{false};
    if (consume("null")) return JsonValue{nullptr};
    return parse_number();
  }

  std::optional<JsonValue> parse_object() {
    ++pos_;
    JsonObject object;
    skip_space();
    if (consume("}")) return JsonValue{std::move(object)};
    for (;;) {
      skip_space();
      std::optional<std::string> key = parse_string();
      skip_space();
      if (!key || !consume(":")) return std::nullopt;
      std::optional<JsonValue> value = parse_value();
      if (!value) return std::nullopt;
      object.insert_or_assign(std::move(*key), std::move(*value));
      skip_space();
      if (consume("}")) return JsonValue{std::move(object)};
      if (!consume(",")) return std::nullopt;
    }
  }

  std::optional<JsonValue> parse_array() {
    ++pos_;
    JsonArray array;
    skip_space();
    if (consume("]")) return JsonValue{std::move(array)};
    for (;;) {
      std::optional<JsonValue> value = parse_value();
      if (!value) return std::nullopt;
      array.push_back(std::move(*value));
      skip_space();
      if (consume("]")) return JsonValue{std::move(array)};
      if (!consume(",")) return std::nullopt;
    }
  }

  std::optional<JsonValue> parse_number() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() &&
           (std::isdigit(static_cast<unsigned char>(text_[pos_])) ||
            std::string_view("+-.eE").find(text_[pos_]) != std::string_view::npos)) {
      ++pos_;
    }
    if (start == pos_) return std::nullopt;
    const std::string digits(text_.substr(start, pos_ - start));
    char* end = nullptr;
    const double value = std::strtod(digits.c_str(), &end);
    if (end != digits.c_str() + digits.size()) return std::nullopt;
    return JsonValue{value};
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

  static void append_utf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
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
          append_utf8(out, code_point);
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
