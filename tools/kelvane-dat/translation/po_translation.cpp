// PO files through GNU gettext's libgettextpo, so they are what msgfmt, msgmerge and translators'
// editors expect. Each unit is one message: msgctxt its unit id (texts repeat, so the source text
// alone cannot name a unit), msgid its source text, an extracted comment (#.) its note.

#include <gettext-po.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

#include "translation/translation_codecs.hpp"

namespace kelvane_dat::cli {

namespace {

// Every header field msgfmt --check looks for. The target language is the translator's to fill in.
constexpr const char* kHeader =
    "Project-Id-Version: kelvane-dat string tables\n"
    "Report-Msgid-Bugs-To: \n"
    "POT-Creation-Date: 2000-01-01 00:00+0000\n"
    "PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\n"
    "Last-Translator: FULL NAME <EMAIL@ADDRESS>\n"
    "Language-Team: LANGUAGE <LL@li.org>\n"
    "Language: \n"
    "MIME-Version: 1.0\n"
    "Content-Type: text/plain; charset=UTF-8\n"
    "Content-Transfer-Encoding: 8bit\n";

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

bool write_or_fail(po_file_t file, const char* path, std::string& errors) {
  std::jmp_buf jump;
  reported = &errors;
  fatal_exit = &jump;
  if (setjmp(jump) != 0) return false;
  po_file_write(file, path, &kHandler);
  return true;
}

std::string text_of(const char* text) { return text == nullptr ? std::string() : text; }

}  // namespace

std::expected<void, std::string> write_po(const std::vector<TranslationUnit>& units,
                                          const std::filesystem::path& path) {
  const PoFile file(po_file_create());
  po_message_iterator_t iterator = po_message_iterator(file.get(), nullptr);
  po_message_t header = po_message_create();
  po_message_set_msgid(header, "");
  po_message_set_msgstr(header, kHeader);
  po_message_insert(iterator, header);
  for (const TranslationUnit& unit : units) {
    // PO strings end at their first zero byte.
    if (unit.source.find('\0') != std::string::npos ||
        unit.target.find('\0') != std::string::npos) {
      po_message_iterator_free(iterator);
      return std::unexpected("unit " + unit_id_text(unit.id) +
                             " holds U+0000, which PO cannot carry");
    }
    po_message_t message = po_message_create();
    po_message_set_msgctxt(message, unit_id_text(unit.id).c_str());
    po_message_set_msgid(message, unit.source.c_str());
    po_message_set_msgstr(message, unit.target.c_str());
    po_message_set_extracted_comments(message, unit_note(unit).c_str());
    po_message_insert(iterator, message);
  }
  po_message_iterator_free(iterator);

  std::string errors;
  const std::string name = path == "-" ? std::string("-") : path.string();
  if (!write_or_fail(file.get(), name.c_str(), errors) || !errors.empty()) {
    return std::unexpected(errors);
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
    if (auto repeated = seen.repeated(*id)) {
      // libgettextpo tells a message's line only to its own error reports: no line here.
      problem = *repeated;
      break;
    }
    // A fuzzy translation is a guess msgmerge made; it is not the translator's yet.
    units.push_back({.id = *id,
                     .source = text_of(po_message_msgid(message)),
                     .target = po_message_is_fuzzy(message) ? std::string()
                                                            : text_of(po_message_msgstr(message))});
  }
  po_message_iterator_free(iterator);
  if (!problem.empty()) return std::unexpected(problem);
  return units;
}

}  // namespace kelvane_dat::cli
