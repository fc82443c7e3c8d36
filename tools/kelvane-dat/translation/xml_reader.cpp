#include "translation/xml_reader.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "detail/utf8.hpp"

namespace kelvane_dat::cli {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool is_name_char(char c) {
  return !is_space(c) && c != '/' && c != '>' && c != '=' && c != '<' && c != '"' && c != '\'';
}

}  // namespace

const std::string* XmlEvent::attribute(std::string_view attribute_name) const {
  for (const auto& [key, value] : attributes) {
    if (key == attribute_name) return &value;
  }
  return nullptr;
}

std::string_view local_name(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::unexpected<std::string> XmlReader::error(std::string_view what) const {
  return std::unexpected("line " + std::to_string(line_) + ": " + std::string(what));
}

void XmlReader::advance(std::size_t count) {
  line_ += static_cast<std::size_t>(
      std::count(text_.begin() + static_cast<std::ptrdiff_t>(pos_),
                 text_.begin() + static_cast<std::ptrdiff_t>(pos_ + count), '\n'));
  pos_ += count;
}

std::expected<std::string, std::string> XmlReader::resolve_references(std::string_view raw) const {
  std::string out;
  out.reserve(raw.size());
  while (!raw.empty()) {
    const std::size_t amp = raw.find('&');
    out += raw.substr(0, amp);
    if (amp == std::string_view::npos) break;
    raw.remove_prefix(amp);
    const std::size_t semicolon = raw.find(';');
    if (semicolon == std::string_view::npos) return error("'&' without ';'");
    const std::string_view name = raw.substr(1, semicolon - 1);
    raw.remove_prefix(semicolon + 1);
    if (name == "lt") {
      out += '<';
    } else if (name == "gt") {
      out += '>';
    } else if (name == "amp") {
      out += '&';
    } else if (name == "quot") {
      out += '"';
    } else if (name == "apos") {
      out += '\'';
    } else if (name.starts_with('#')) {
      const bool hex = name.starts_with("#x");
      const std::string_view digits = name.substr(hex ? 2 : 1);
      std::uint32_t code = 0;
      const auto [end, ec] =
          std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
      if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
          code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return error("invalid character reference &" + std::string(name) + ";");
      }
      detail::append_utf8(out, static_cast<char32_t>(code));
    } else {
      return error("unknown entity &" + std::string(name) + ";");
    }
  }
  return out;
}

std::expected<XmlEvent, std::string> XmlReader::start_tag() {
  XmlEvent event{.kind = XmlEvent::Kind::Start, .line = line_};
  advance(1);  // '<'
  const std::size_t name_start = pos_;
  while (pos_ < text_.size() && is_name_char(text_[pos_])) ++pos_;
  event.name = std::string(text_.substr(name_start, pos_ - name_start));
  if (event.name.empty()) return error("element without a name");
  while (true) {
    while (pos_ < text_.size() && is_space(text_[pos_])) advance(1);
    if (pos_ >= text_.size()) return error("unclosed start tag <" + event.name + ">");
    if (text_.substr(pos_).starts_with("/>")) {
      advance(2);
      pending_end_ = true;
      open_.push_back(event.name);
      return event;
    }
    if (text_[pos_] == '>') {
      advance(1);
      open_.push_back(event.name);
      return event;
    }
    const std::size_t attribute_start = pos_;
    while (pos_ < text_.size() && is_name_char(text_[pos_])) ++pos_;
    std::string attribute_name(text_.substr(attribute_start, pos_ - attribute_start));
    while (pos_ < text_.size() && is_space(text_[pos_])) advance(1);
    if (attribute_name.empty() || pos_ >= text_.size() || text_[pos_] != '=') {
      return error("malformed attribute in <" + event.name + ">");
    }
    advance(1);
    while (pos_ < text_.size() && is_space(text_[pos_])) advance(1);
    if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
      return error("attribute value without quotes in <" + event.name + ">");
    }
    const char quote = text_[pos_];
    const std::size_t close = text_.find(quote, pos_ + 1);
    if (close == std::string_view::npos) return error("unclosed attribute value");
    auto value = resolve_references(text_.substr(pos_ + 1, close - pos_ - 1));
    if (!value) return std::unexpected(value.error());
    advance(close + 1 - pos_);
    event.attributes.emplace_back(std::move(attribute_name), std::move(*value));
  }
}

std::expected<XmlEvent, std::string> XmlReader::next() {
  if (pending_end_) {
    pending_end_ = false;
    XmlEvent end{.kind = XmlEvent::Kind::End, .name = open_.back(), .line = line_};
    open_.pop_back();
    return end;
  }
  XmlEvent text_event{.kind = XmlEvent::Kind::Text, .line = line_};
  while (pos_ < text_.size()) {
    const std::string_view rest = text_.substr(pos_);
    if (rest.starts_with("<!--") || rest.starts_with("<?") || rest.starts_with("<![CDATA[")) {
      const bool cdata = rest.starts_with("<![CDATA[");
      const std::string_view close = cdata ? "]]>" : rest[1] == '?' ? "?>" : "-->";
      const std::size_t end = rest.find(close);
      if (end == std::string_view::npos) return error("unclosed comment, CDATA or instruction");
      if (cdata) text_event.text += rest.substr(9, end - 9);
      advance(end + close.size());
      continue;
    }
    if (rest.starts_with("<!")) return error("document type declarations are not accepted");
    if (rest[0] == '<') {
      // Text collected so far comes first.
      if (!text_event.text.empty()) return text_event;
      if (!rest.starts_with("</")) return start_tag();
      const std::size_t close = rest.find('>');
      if (close == std::string_view::npos) return error("unclosed end tag");
      std::string_view name = rest.substr(2, close - 2);
      while (!name.empty() && is_space(name.back())) name.remove_suffix(1);
      if (open_.empty() || open_.back() != name) {
        return error("</" + std::string(name) + "> does not close the open element");
      }
      XmlEvent end{.kind = XmlEvent::Kind::End, .name = open_.back(), .line = line_};
      open_.pop_back();
      advance(close + 1);
      return end;
    }
    const std::size_t lt = rest.find('<');
    // Parsers see every line end as LF; a CR that matters comes as a reference.
    std::string raw(rest.substr(0, lt));
    std::erase(raw, '\r');
    auto text = resolve_references(raw);
    if (!text) return std::unexpected(text.error());
    text_event.text += *text;
    advance(lt == std::string_view::npos ? rest.size() : lt);
  }
  if (!text_event.text.empty()) return text_event;
  if (!open_.empty()) return error("the document ends inside <" + open_.back() + ">");
  return XmlEvent{.kind = XmlEvent::Kind::Finish, .line = line_};
}

}  // namespace kelvane_dat::cli
