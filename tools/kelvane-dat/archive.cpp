#include "archive.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "detail/debug_format.hpp"
#include "kelvane_dat/byte_cursor.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

namespace {

// Why the file at `path`, which did not open as an archive, is none, told from its header as a
// person would put it: a foreign marker, or a file shorter than its header says. Nothing when the
// header cannot be read or looks sound, and the library's error says more.
std::optional<std::string> header_diagnosis(const std::filesystem::path& path) {
  const std::optional<DatHeader> header = read_header_only(path);
  if (!header) return std::nullopt;
  if (header->magic != DatHeader::kMagic) {
    return "not an archive (marker " + hex0x8(header->magic) + ", expected " +
           hex0x8(DatHeader::kMagic) + ")";
  }
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size >= header->file_size) return std::nullopt;
  return "truncated: the header says " + std::to_string(header->file_size) +
         " bytes, the file has " + std::to_string(size);
}

// A type as ls shows it, in any case; a name no type has is a usage error naming the known types.
DatFileType type_named(const std::string& name) {
  if (const std::optional<DatFileType> type = file_type_from_name(name)) return *type;
  std::string names;
  for (const DatFileType known : classifiable_file_types()) {
    if (!names.empty()) names += ", ";
    names += to_string(known);
  }
  throw CLI::ValidationError("unknown file type '" + name + "'; the types are " + names);
}

}  // namespace

std::optional<DatHeader> read_header_only(const std::filesystem::path& path) {
  // Opening a pipe to read would wait for a writer.
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(path, ignored)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(DatHeader::kFileOffset + DatHeader::kEncodedSize);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() <= DatHeader::kFileOffset) return std::nullopt;
  ByteCursor cursor(std::span<const std::uint8_t>(bytes).subspan(DatHeader::kFileOffset));
  std::expected<DatHeader, ReadError> header = DatHeader::read(cursor);
  if (!header) return std::nullopt;
  return std::move(*header);
}

std::optional<DatDatabase> open_archive(const std::string& path, OpenOptions options) {
  const std::filesystem::path native = kelvane_platform::path_from_utf8(path);
  std::error_code ignored;
  const std::filesystem::file_status status = std::filesystem::status(native, ignored);
  // Chains are read at offsets, so a stream that can only be read once will not do.
  if (path == "-" || (std::filesystem::exists(status) && !std::filesystem::is_directory(status) &&
                      !std::filesystem::is_regular_file(status))) {
    report_error(path, "archives must be seekable files");
    return std::nullopt;
  }
  if (std::filesystem::is_directory(status)) {
    report_error(path, "is a directory");
    return std::nullopt;
  }
  Result<DatDatabase> archive = DatDatabase::open(native, options);
  if (!archive) {
    if (const std::optional<std::string> reason = header_diagnosis(native)) {
      report_error(path, *reason);
    } else {
      report_error("open " + path, error_text(archive.error()));
    }
    return std::nullopt;
  }
  return std::move(*archive);
}

void report_fetch_error(std::uint32_t id, const DatError& error) {
  if (error.is<DatError::NotFound>()) {
    report_error(id_text(id), "no such file in the archive");
    return;
  }
  report_error("read " + id_text(id), error_text(error));
}

std::string error_text(const DatError& error) {
  if (const auto* path_error = error.get_if<DatError::PathError>()) {
    return path_error->source.to_string();
  }
  // A record error's context (which field of which record) reads as part of the message line.
  if (const auto* read_error = error.get_if<DatError::BinRead>()) {
    return read_error->error.to_one_line_string();
  }
  // What was found damaged says it all; the library's "Corruption detected" heading adds nothing.
  if (const auto* corruption = error.get_if<DatError::Corruption>()) return corruption->text;
  // Likewise "Other error": the text ("archive is locked by another writer") is the whole story.
  if (const auto* other = error.get_if<DatError::Other>()) return other->text;
  return error.to_string();
}

bool layout_allows_reading(const DatDatabase& archive, const std::string& path,
                           bool allow_overlap) {
  const Result<ArchiveLayout> layout = check_layout(archive);
  if (!layout) {
    report_error("check layout of " + path, error_text(layout.error()));
    return false;
  }
  if (layout->overlaps.empty() || allow_overlap) return true;
  for (const LayoutOverlap& overlap : layout->overlaps) report_error("layout", overlap.to_string());
  report_error("refuse " + path, counted(layout->overlaps.size(), "overlap") +
                                     " between chains; --allow-overlap reads it anyway");
  return false;
}

std::string id_text(std::uint32_t id) {
  std::string text;
  append_id_text(text, id);
  return text;
}

void append_id_text(std::string& out, std::uint32_t id) {
  // By hand, into the output: a string per id costs more than formatting it.
  constexpr char kDigits[] = "0123456789ABCDEF";
  char text[10] = {'0', 'x'};
  for (std::size_t i = sizeof text; i-- > 2; id >>= 4) text[i] = kDigits[id & 0xF];
  out.append(text, sizeof text);
}

CLI::Option* add_type_option(CLI::App& app, std::optional<DatFileType>& type) {
  return app
      .add_option_function<std::string>(
          "-t,--type", [&type](const std::string& name) { type = type_named(name); },
          "only files of this type")
      ->type_name("NAME");
}

CLI::Option* add_types_option(CLI::App& app, std::vector<DatFileType>& types, std::string help) {
  return app
      .add_option_function<std::vector<std::string>>(
          "-t,--type",
          [&types](const std::vector<std::string>& names) {
            types.clear();
            for (const std::string& name : names) types.push_back(type_named(name));
          },
          std::move(help))
      ->type_name("NAME")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

CLI::Option* add_allow_overlap_option(CLI::App& app, bool& allow_overlap) {
  return app.add_flag("--allow-overlap", allow_overlap,
                      "read the archive even when chains claim the same bytes");
}

std::optional<StringTable> load_string_table(const DatDatabase& archive, std::uint32_t id) {
  const Result<std::vector<std::uint8_t>> bytes = archive.get_file_checked(id);
  if (!bytes) {
    report_fetch_error(id, bytes.error());
    return std::nullopt;
  }
  std::expected<StringTable, std::string> table = decode_string_table(*bytes);
  if (!table) {
    report_error("decode string table " + id_text(id), table.error());
    return std::nullopt;
  }
  return std::move(*table);
}

std::vector<std::uint32_t> sorted_keys(const StringTable& table) {
  std::vector<std::uint32_t> keys;
  keys.reserve(table.strings.size());
  for (const auto& [key, entry] : table.strings) keys.push_back(key);
  std::sort(keys.begin(), keys.end());
  return keys;
}

}  // namespace kelvane_dat::cli
