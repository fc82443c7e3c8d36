#include "archive.hpp"

#include "kelvane_dat/debug_format.hpp"
#include "kelvane_platform/command_line.hpp"
#include "report.hpp"

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

std::string id_text(std::uint32_t id) { return hex0x8(id); }

}  // namespace kelvane_dat::cli
