#include "archive.hpp"

#include <algorithm>

#include "detail/debug_format.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"
#include "text_format.hpp"

namespace kelvane_dat::cli {

std::optional<DatDatabase> open_archive(const std::string& path) {
  Result<DatDatabase> archive = DatDatabase::open(kelvane_platform::path_from_utf8(path));
  if (!archive) {
    report_error("open " + path, error_text(archive.error()));
    return std::nullopt;
  }
  return std::move(*archive);
}

std::string error_text(const DatError& error) {
  if (const auto* path_error = error.get_if<DatError::PathError>()) {
    return path_error->source.to_string();
  }
  // A record error's context (which field of which record) reads as part of the message line.
  if (const auto* read_error = error.get_if<DatError::BinRead>()) {
    return read_error->error.to_one_line_string();
  }
  return error.to_string();
}

bool layout_allows_reading(const DatDatabase& archive, const std::string& path,
                           const ParsedArguments& args) {
  const Result<ArchiveLayout> layout = check_layout(archive);
  if (!layout) {
    report_error("check layout of " + path, error_text(layout.error()));
    return false;
  }
  if (layout->overlaps.empty() || args.has(kAllowOverlapOption.name)) return true;
  for (const LayoutOverlap& overlap : layout->overlaps) report_error("layout", overlap.to_string());
  report_error("refuse " + path, counted(layout->overlaps.size(), "overlap") +
                                     " between chains; --allow-overlap reads it anyway");
  return false;
}

std::string id_text(std::uint32_t id) { return hex0x8(id); }

std::expected<std::optional<DatFileType>, std::string> type_option(const ParsedArguments& args) {
  const std::optional<std::string> name = args.value(kTypeOption.name);
  if (!name) return std::nullopt;
  if (const std::optional<DatFileType> type = file_type_from_name(*name)) return type;
  std::string names;
  for (const DatFileType type : classifiable_file_types()) {
    if (!names.empty()) names += ", ";
    names += to_string(type);
  }
  return std::unexpected("unknown file type '" + *name + "'; the types are " + names);
}

std::optional<StringTable> load_string_table(const DatDatabase& archive, std::uint32_t id) {
  Result<StringTable> table = archive.string_table(id);
  if (!table) {
    // Only decoding fails with a record error; everything else is the fetch's.
    const bool decoding = table.error().is<DatError::BinRead>();
    report_error((decoding ? "decode string table " : "read ") + id_text(id),
                 error_text(table.error()));
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
