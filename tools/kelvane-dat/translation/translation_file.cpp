#include "translation/translation_file.hpp"

#include <fstream>
#include <iterator>
#include <utility>

#include "report.hpp"
#include "translation/translation_codecs.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr TranslationFormat kFormats[] = {TranslationFormat::Po, TranslationFormat::Xliff,
                                          TranslationFormat::Csv, TranslationFormat::Json};

#if !KELVANE_HAVE_GETTEXTPO
std::unexpected<std::string> no_po() {
  return std::unexpected<std::string>(
      "this build of kelvane-dat has no PO support (it needs libgettextpo)");
}
#endif

std::expected<void, std::string> write_text(const std::string& text,
                                            const std::filesystem::path& path) {
  if (path == "-") {
    write_out(text);
    return {};
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) return std::unexpected("cannot write " + path.string());
  return {};
}

std::expected<std::string, std::string> read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::unexpected("cannot open " + path.string());
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::unexpected("cannot read " + path.string());
  return text;
}

}  // namespace

std::string_view to_string(TranslationFormat format) {
  switch (format) {
    case TranslationFormat::Po:
      return "po";
    case TranslationFormat::Xliff:
      return "xliff";
    case TranslationFormat::Csv:
      return "csv";
    case TranslationFormat::Json:
      return "json";
  }
  std::unreachable();
}

std::optional<TranslationFormat> translation_format_from_name(std::string_view name) {
  for (const TranslationFormat format : kFormats) {
    if (to_string(format) == name) return format;
  }
  return std::nullopt;
}

std::optional<TranslationFormat> translation_format_of_file(const std::filesystem::path& path) {
  struct Extension {
    const char* text;
    TranslationFormat format;
  };
  constexpr Extension kExtensions[] = {
      {".po", TranslationFormat::Po},     {".pot", TranslationFormat::Po},
      {".xlf", TranslationFormat::Xliff}, {".xliff", TranslationFormat::Xliff},
      {".csv", TranslationFormat::Csv},   {".json", TranslationFormat::Json},
      {".jsonl", TranslationFormat::Json}};
  const std::filesystem::path extension = path.extension();
  for (const Extension& known : kExtensions) {
    if (extension == known.text) return known.format;
  }
  return std::nullopt;
}

bool translation_format_available([[maybe_unused]] TranslationFormat format) {
#if KELVANE_HAVE_GETTEXTPO
  return true;
#else
  return format != TranslationFormat::Po;
#endif
}

std::expected<void, std::string> write_translation(TranslationFormat format,
                                                   const std::vector<TranslationUnit>& units,
                                                   std::uint32_t source_language,
                                                   const std::filesystem::path& path) {
  switch (format) {
    case TranslationFormat::Po:
#if KELVANE_HAVE_GETTEXTPO
      return write_po(units, path);
#else
      return no_po();
#endif
    case TranslationFormat::Xliff:
      return write_text(write_xliff(units, source_language), path);
    case TranslationFormat::Csv:
      return write_text(write_csv(units), path);
    case TranslationFormat::Json:
      return write_text(write_json_lines(units, source_language), path);
  }
  std::unreachable();
}

std::expected<std::vector<TranslationUnit>, std::string> read_translation(
    TranslationFormat format, const std::filesystem::path& path) {
  if (format == TranslationFormat::Po) {
#if KELVANE_HAVE_GETTEXTPO
    return read_po(path);
#else
    return no_po();
#endif
  }
  const auto text = read_text(path);
  if (!text) return std::unexpected(text.error());
  switch (format) {
    case TranslationFormat::Xliff:
      return read_xliff(*text);
    case TranslationFormat::Csv:
      return read_csv(*text);
    case TranslationFormat::Json:
      return read_json_lines(*text);
    case TranslationFormat::Po:
      break;  // read from its path above
  }
  std::unreachable();
}

}  // namespace kelvane_dat::cli
