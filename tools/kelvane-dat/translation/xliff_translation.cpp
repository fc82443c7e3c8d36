// XLIFF 2.0: one <file> per table, one <unit> per text. A unit's id is an NMTOKEN, which cannot
// hold '/', so the unit id goes in its name; its notes carry the entry's data id and variables.

#include <charconv>
#include <optional>

#include "archive.hpp"
#include "detail/utf8.hpp"
#include "translation/translation_codecs.hpp"
#include "translation/xml_reader.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr std::string_view kNamespace = "urn:oasis:names:tc:xliff:document:2.0";

// XML 1.0 allows tab, LF, CR and everything from U+0020 except U+FFFE and U+FFFF; XLIFF carries
// the rest as <cp hex="..."/>. CR is escaped so that a parser's line-end handling keeps it.
bool xml_can_hold(char32_t c) {
  return c == 0x9 || c == 0xA || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF);
}

// Texts only ever go between tags, where a quote needs no escaping.
void append_escaped(std::string& out, std::string_view text) {
  detail::for_each_code_point(text, [&](char32_t c) {
    switch (c) {
      case U'&':
        out += "&amp;";
        return;
      case U'<':
        out += "&lt;";
        return;
      case U'>':
        out += "&gt;";
        return;
      case U'\r':
        out += "&#xD;";
        return;
      default:
        break;
    }
    if (xml_can_hold(c)) {
      detail::append_utf8(out, c);
      return;
    }
    char digits[8];
    const auto end =
        std::to_chars(std::begin(digits), std::end(digits), static_cast<std::uint32_t>(c), 16).ptr;
    std::string hex(digits, end);
    for (char& d : hex) d = static_cast<char>(d >= 'a' ? d - 'a' + 'A' : d);
    out += "<cp hex=\"" + std::string(4 - std::min<std::size_t>(4, hex.size()), '0') + hex + "\"/>";
  });
}

std::string variables_text(const std::vector<std::uint32_t>& variables) {
  std::string out;
  for (const std::uint32_t variable : variables)
    out += (out.empty() ? "" : " ") + id_text(variable);
  return out.empty() ? "none" : out;
}

// BCP 47 for the tables' language code: 1 is English; other codes are not documented, so their
// language is undetermined.
std::string_view language_tag(std::uint32_t language) { return language == 1 ? "en" : "und"; }

}  // namespace

std::string xliff_opening(std::uint32_t source_language) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff xmlns=\"" + std::string(kNamespace) +
         "\" version=\"2.0\" srcLang=\"" + std::string(language_tag(source_language)) + "\">\n";
}

void append_xliff(std::string& out, std::span<const TranslationUnit> units) {
  std::optional<std::uint32_t> open_table;
  for (const TranslationUnit& unit : units) {
    if (open_table != unit.id.table) {
      if (open_table) out += " </file>\n";
      out += " <file id=\"" + id_text(unit.id.table) + "\">\n";
      open_table = unit.id.table;
    }
    out += "  <unit id=\"" + id_text(unit.id.key) + "-" + std::to_string(unit.id.index) +
           "\" name=\"" + unit_id_text(unit.id) + "\">\n";
    out += "   <notes>\n    <note category=\"data-id\">" + id_text(unit.data_id) +
           "</note>\n    <note category=\"variables\">" + variables_text(unit.variables) +
           "</note>\n   </notes>\n";
    out += "   <segment>\n    <source>";
    append_escaped(out, unit.source);
    out += "</source>\n";
    if (!unit.target.empty()) {
      out += "    <target>";
      append_escaped(out, unit.target);
      out += "</target>\n";
    }
    out += "   </segment>\n  </unit>\n";
  }
  if (open_table) out += " </file>\n";
}

std::string_view xliff_closing() { return "</xliff>\n"; }

std::string write_xliff(std::span<const TranslationUnit> units, std::uint32_t source_language) {
  std::string out = xliff_opening(source_language);
  append_xliff(out, units);
  out += xliff_closing();
  return out;
}

std::expected<std::vector<TranslationUnit>, std::string> read_xliff(std::string_view text) {
  // XML makes a byte that is no UTF-8, in a file that says it is, a fatal error.
  if (const auto utf8 = check_utf8(text); !utf8) return std::unexpected(utf8.error());
  XmlReader reader(text);
  std::vector<TranslationUnit> units;
  std::optional<TranslationUnit> unit;
  SeenUnitIds seen;
  // The text being collected: the unit's source or target, nothing outside them.
  std::string* into = nullptr;
  bool saw_root = false;
  while (true) {
    auto event = reader.next();
    if (!event) return std::unexpected(event.error());
    const auto problem = [&event](std::string_view what) {
      return std::unexpected("line " + std::to_string(event->line) + ": " + std::string(what));
    };
    switch (event->kind) {
      case XmlEvent::Kind::Finish:
        if (!saw_root) return std::unexpected<std::string>("not an XLIFF 2.0 document");
        if (auto repeated = seen.repeated()) return std::unexpected(std::move(*repeated));
        return units;
      case XmlEvent::Kind::Text:
        if (into != nullptr) *into += event->text;
        break;
      case XmlEvent::Kind::Start: {
        const std::string_view name = local_name(event->name);
        if (!saw_root) {
          const std::string* version = event->attribute("version");
          if (name != "xliff" || version == nullptr || !version->starts_with("2.")) {
            return problem("not an XLIFF 2.0 document");
          }
          saw_root = true;
        } else if (name == "unit") {
          const std::string* unit_name = event->attribute("name");
          if (unit_name == nullptr) return problem("a <unit> without a name");
          const auto id = parse_unit_id(*unit_name);
          if (!id) return problem(id.error());
          seen.add(*id, event->line);
          // A unit nested in another's text (a crafted file) starts afresh, collecting nothing.
          into = nullptr;
          unit = TranslationUnit{.id = *id};
        } else if (unit && (name == "source" || name == "target")) {
          into = name == "source" ? &unit->source : &unit->target;
        } else if (into != nullptr && name == "cp") {
          const std::string* hex = event->attribute("hex");
          std::uint32_t code = 0;
          if (hex == nullptr ||
              std::from_chars(hex->data(), hex->data() + hex->size(), code, 16).ec != std::errc() ||
              code > 0x10FFFF) {
            return problem("a <cp> without a valid hex code point");
          }
          detail::append_utf8(*into, static_cast<char32_t>(code));
        }
        break;
      }
      case XmlEvent::Kind::End: {
        const std::string_view name = local_name(event->name);
        if (name == "source" || name == "target") into = nullptr;
        if (name == "unit" && unit) {
          units.push_back(std::move(*unit));
          unit.reset();
          // Whatever text was being collected belonged to the unit just handed on.
          into = nullptr;
        }
        break;
      }
    }
  }
}

}  // namespace kelvane_dat::cli
