#include "archive.hpp"

#include <algorithm>
#include <cctype>

#include "kelvane_dat/debug_format.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

namespace {

std::vector<DatFileType> collect_classifiable_types() {
  std::vector<DatFileType> types;
  const auto add = [&types](DatFileType type) {
    if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
  };
  // Asking the classifier keeps this list in step with it: a prefix it learns shows up here.
  for (unsigned prefix = 0; prefix <= 0xFF; ++prefix) {
    add(classify_portal_prefix(static_cast<std::uint8_t>(prefix)));
  }
  for (const DatFileType special : {DatFileType::IndoorCell, DatFileType::Landblock,
                                    DatFileType::LandblockInfo, DatFileType::Iteration}) {
    add(special);
  }
  std::stable_partition(types.begin(), types.end(),
                        [](DatFileType type) { return type != DatFileType::Unknown; });
  return types;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

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
  return error.to_string();
}

std::vector<std::uint32_t> sorted_ids(const DatDatabase& archive) {
  std::vector<std::uint32_t> ids;
  ids.reserve(archive.files.size());
  for (const auto& [id, entry] : archive.files) ids.push_back(id);
  std::sort(ids.begin(), ids.end());
  return ids;
}

DatFileType type_of(const DatDatabase& archive, std::uint32_t id) {
  return from_id_in_dat(id, archive.dat_kind());
}

std::span<const DatFileType> classifiable_types() {
  static const std::vector<DatFileType> types = collect_classifiable_types();
  return types;
}

std::optional<DatFileType> parse_file_type(std::string_view name) {
  for (const DatFileType type : classifiable_types()) {
    if (equal_ignoring_case(to_string(type), name)) return type;
  }
  return std::nullopt;
}

std::string id_text(std::uint32_t id) { return hex0x8(id); }

}  // namespace kelvane_dat::cli
