#include "translation/translation_file.hpp"

#include <array>
#include <fstream>
#include <system_error>
#include <utility>

#include "report.hpp"
#include "translation/translation_codecs.hpp"

namespace kelvane_dat::cli {

namespace {

constexpr TranslationFormat kFormats[] = {TranslationFormat::Po, TranslationFormat::Xliff,
                                          TranslationFormat::Csv, TranslationFormat::JsonLines};

#if !KELVANE_HAVE_GETTEXTPO
std::unexpected<std::string> no_po() {
  return std::unexpected<std::string>(
      "this build of kelvane-dat has no PO support (it needs libgettextpo)");
}
#endif

// What a buffer holds before it goes to the file.
constexpr std::size_t kFlushSize = std::size_t{1} << 20;

std::expected<std::string, std::string> read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::unexpected("cannot open " + path.string());
  // In chunks, into a string reserved to the file's size: a character at a time through stream
  // iterators, or a string copied at every doubling, cost more than parsing the file.
  std::string text;
  std::error_code size_unknown;
  const std::uintmax_t size = std::filesystem::file_size(path, size_unknown);
  if (!size_unknown) text.reserve(static_cast<std::size_t>(size));
  std::array<char, 1 << 16> chunk;
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
  }
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
    case TranslationFormat::JsonLines:
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
      {".po", TranslationFormat::Po},          {".pot", TranslationFormat::Po},
      {".xlf", TranslationFormat::Xliff},      {".xliff", TranslationFormat::Xliff},
      {".csv", TranslationFormat::Csv},        {".json", TranslationFormat::JsonLines},
      {".jsonl", TranslationFormat::JsonLines}};
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

std::expected<TranslationWriter, std::string> TranslationWriter::create(
    TranslationFormat format, const std::filesystem::path& path) {
#if !KELVANE_HAVE_GETTEXTPO
  if (format == TranslationFormat::Po) return no_po();
#endif
  TranslationWriter writer(format, path);
  if (path != "-") {
    writer.file_ = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (!*writer.file_) return std::unexpected("cannot write " + path.string());
  }
  return writer;
}

void TranslationWriter::begin(std::uint32_t source_language) {
  language_ = source_language;
  switch (format_) {
    case TranslationFormat::Po:
#if KELVANE_HAVE_GETTEXTPO
      pending_ += po_opening();
#endif
      return;
    case TranslationFormat::Xliff:
      pending_ += xliff_opening(source_language);
      return;
    case TranslationFormat::Csv:
      pending_ += csv_opening();
      return;
    case TranslationFormat::JsonLines:
      return;
  }
  std::unreachable();
}

std::expected<void, std::string> TranslationWriter::write(std::span<const TranslationUnit> units) {
  switch (format_) {
    case TranslationFormat::Po: {
#if KELVANE_HAVE_GETTEXTPO
      const std::expected<void, std::string> appended = append_po(pending_, units);
      if (!appended) return appended;
#endif
      break;
    }
    case TranslationFormat::Xliff:
      append_xliff(pending_, units);
      break;
    case TranslationFormat::Csv:
      append_csv(pending_, units);
      break;
    case TranslationFormat::JsonLines:
      append_json_lines(pending_, units, language_);
      break;
  }
  return flush_when_full();
}

std::expected<void, std::string> TranslationWriter::write_table(std::uint32_t table_id,
                                                                const StoredTableTexts& table) {
  if (format_ != TranslationFormat::Csv) return write(translation_units(table_id, table));
  append_csv_table(pending_, table_id, table);
  return flush_when_full();
}

std::expected<void, std::string> TranslationWriter::flush_when_full() {
  if (pending_.size() < kFlushSize) return {};
  return flush();
}

std::expected<void, std::string> TranslationWriter::finish() {
  if (format_ == TranslationFormat::Xliff) pending_ += xliff_closing();
  if (const auto flushed = flush(); !flushed) return flushed;
  if (!file_) return {};
  file_->close();
  if (!*file_) return std::unexpected("cannot write " + path_.string());
  return {};
}

std::expected<void, std::string> TranslationWriter::flush() {
  if (!file_) {
    write_out(pending_);
  } else {
    file_->write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
    if (!*file_) return std::unexpected("cannot write " + path_.string());
  }
  pending_.clear();
  return {};
}

std::expected<void, std::string> write_translation(TranslationFormat format,
                                                   std::span<const TranslationUnit> units,
                                                   std::uint32_t source_language,
                                                   const std::filesystem::path& path) {
  std::expected<TranslationWriter, std::string> writer = TranslationWriter::create(format, path);
  if (!writer) return std::unexpected(writer.error());
  writer->begin(source_language);
  if (const auto written = writer->write(units); !written) return written;
  return writer->finish();
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
    case TranslationFormat::JsonLines:
      return read_json_lines(*text);
    case TranslationFormat::Po:
      break;  // read from its path above
  }
  std::unreachable();
}

std::expected<void, std::string> read_translation_texts(TranslationFormat format,
                                                        const std::filesystem::path& path,
                                                        TranslationTexts& texts) {
  if (format == TranslationFormat::Csv) {
    texts.mapped_text = kelvane_platform::FileMapping::map_copy_on_write(path);
    if (!texts.mapped_text) {
      auto text = read_text(path);
      if (!text) return std::unexpected(text.error());
      texts.file_text = std::move(*text);
    }
    auto read = read_csv_in_place(
        texts.mapped_text ? texts.mapped_text->bytes() : std::span<char>(texts.file_text),
        CsvNotes::CheckOnly);
    if (!read) return std::unexpected(read.error());
    texts.units = std::move(read->units);
    return {};
  }
  auto units = read_translation(format, path);
  if (!units) return std::unexpected(units.error());
  texts.owned = std::move(*units);
  texts.units.reserve(texts.owned.size());
  for (const TranslationUnit& unit : texts.owned) {
    texts.units.push_back({.id = unit.id, .source = unit.source, .target = unit.target});
  }
  return {};
}

}  // namespace kelvane_dat::cli
