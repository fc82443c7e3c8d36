// PO files as msgfmt, msgmerge and translators' editors expect them. Each unit is one message:
// msgctxt its unit id (texts repeat, so the source text alone cannot name a unit), msgid its source
// text, an extracted comment (#.) its note. Writing is plain text laid out as gettext lays it out
// (escapes, a text with line breaks split after each); reading goes through GNU gettext's
// libgettextpo, which knows every corner of the syntax.

#include <gettext-po.h>

#include <csetjmp>
#include <memory>

#include "translation/translation_codecs.hpp"

namespace kelvane_dat::cli {

namespace {

// The header message, with every header field msgfmt --check looks for. The target language is
// the translator's to fill in.
constexpr std::string_view kHeader =
    "msgid \"\"\n"
    "msgstr \"\"\n"
    "\"Project-Id-Version: kelvane-dat string tables\\n\"\n"
    "\"Report-Msgid-Bugs-To: \\n\"\n"
    "\"POT-Creation-Date: 2000-01-01 00:00+0000\\n\"\n"
    "\"PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\\n\"\n"
    "\"Last-Translator: FULL NAME <EMAIL@ADDRESS>\\n\"\n"
    "\"Language-Team: LANGUAGE <LL@li.org>\\n\"\n"
    "\"Language: \\n\"\n"
    "\"MIME-Version: 1.0\\n\"\n"
    "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
    "\"Content-Transfer-Encoding: 8bit\\n\"\n";

// `text` quoted as a PO string, with gettext's escapes; UTF-8 goes in as it is.
void append_quoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\a':
        out += "\\a";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\v':
        out += "\\v";
        break;
      default:
        out += c;
    }
  }
  out += "\"\n";
}

// `keyword "text"`; a text with a line break before its end goes as gettext writes it, an empty
// first line and then one line per line of the text, so translators see its lines.
void append_field(std::string& out, std::string_view keyword, std::string_view text) {
  out += keyword;
  out += ' ';
  const std::size_t first_break = text.find('\n');
  if (first_break == std::string_view::npos || first_break + 1 == text.size()) {
    append_quoted(out, text);
    return;
  }
  out += "\"\"\n";
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    append_quoted(out, text.substr(0, length));
    text.remove_prefix(length);
  }
}

// libgettextpo reports through callbacks, and a fatal error's callback must not return: it jumps
// back to the call that started the operation. Only C frames lie between, so nothing is skipped
// that needs destroying.
thread_local std::string* reported = nullptr;
thread_local std::jmp_buf* fatal_exit = nullptr;

void report(int severity, const char* filename, std::size_t line, const char* text) {
  if (severity != PO_SEVERITY_WARNING && reported != nullptr) {
    if (!reported->empty()) *reported += "; ";
    if (filename != nullptr && line != static_cast<std::size_t>(-1)) {
      *reported += "line " + std::to_string(line) + ": ";
    }
    *reported += text;
  }
  if (severity == PO_SEVERITY_FATAL_ERROR) std::longjmp(*fatal_exit, 1);
}

extern "C" void on_error(int severity, po_message_t, const char* filename, std::size_t line,
                         std::size_t, int, const char* text) {
  report(severity, filename, line, text);
}

extern "C" void on_error2(int severity, po_message_t, const char* filename1, std::size_t line1,
                          std::size_t, int, const char* text1, po_message_t, const char*,
                          std::size_t, std::size_t, int, const char* text2) {
  report(severity == PO_SEVERITY_FATAL_ERROR ? PO_SEVERITY_ERROR : severity, filename1, line1,
         text1);
  report(severity, nullptr, 0, text2);
}

constexpr po_xerror_handler kHandler = {on_error, on_error2};

struct PoFileDeleter {
  void operator()(po_file_t file) const { po_file_free(file); }
};
using PoFile = std::unique_ptr<std::remove_pointer_t<po_file_t>, PoFileDeleter>;

// po_file_read, or nullptr with `errors` filled in.
po_file_t read_or_null(const char* path, std::string& errors) {
  std::jmp_buf jump;
  reported = &errors;
  fatal_exit = &jump;
  if (setjmp(jump) != 0) return nullptr;
  return po_file_read(path, &kHandler);
}

std::string text_of(const char* text) { return text == nullptr ? std::string() : text; }

}  // namespace

std::string_view po_opening() { return kHeader; }

std::expected<void, std::string> append_po(std::string& out,
                                           std::span<const TranslationUnit> units) {
  for (const TranslationUnit& unit : units) {
    // PO strings end at their first zero byte.
    if (unit.source.find('\0') != std::string::npos ||
        unit.target.find('\0') != std::string::npos) {
      return std::unexpected("unit " + unit_id_text(unit.id) +
                             " holds U+0000, which PO cannot carry");
    }
    out += "\n#. ";
    out += unit_note(unit);
    out += '\n';
    append_field(out, "msgctxt", unit_id_text(unit.id));
    append_field(out, "msgid", unit.source);
    append_field(out, "msgstr", unit.target);
  }
  return {};
}

std::expected<std::vector<TranslationUnit>, std::string> read_po(
    const std::filesystem::path& path) {
  std::string errors;
  const PoFile file(read_or_null(path.string().c_str(), errors));
  if (!file || !errors.empty()) return std::unexpected(errors.empty() ? "cannot read" : errors);

  std::vector<TranslationUnit> units;
  SeenUnitIds seen;
  po_message_iterator_t iterator = po_message_iterator(file.get(), nullptr);
  std::string problem;
  for (po_message_t message = po_next_message(iterator); message != nullptr;
       message = po_next_message(iterator)) {
    const char* context = po_message_msgctxt(message);
    // The header has no context; obsolete messages (#~) are what msgmerge dropped.
    if (context == nullptr || po_message_is_obsolete(message)) continue;
    const auto id = parse_unit_id(context);
    if (!id) {
      problem = id.error();
      break;
    }
    // libgettextpo tells a message's line only to its own error reports: no line here.
    seen.add(*id, 0);
    // A fuzzy translation is a guess msgmerge made; it is not the translator's yet.
    units.push_back({.id = *id,
                     .source = text_of(po_message_msgid(message)),
                     .target = po_message_is_fuzzy(message) ? std::string()
                                                            : text_of(po_message_msgstr(message))});
  }
  po_message_iterator_free(iterator);
  if (!problem.empty()) return std::unexpected(problem);
  if (auto repeated = seen.repeated()) return std::unexpected(std::move(*repeated));
  return units;
}

}  // namespace kelvane_dat::cli
