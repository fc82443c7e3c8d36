#include "output_directory.hpp"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "kelvane_platform/command_line.hpp"
#include "kelvane_platform/interrupt.hpp"
#include "report.hpp"

namespace kelvane_dat::cli {

namespace fs = std::filesystem;

std::expected<OutputDirectory, std::string> OutputDirectory::create(const fs::path& path) {
  std::error_code error;
  fs::create_directories(path, error);
  if (error) return std::unexpected(error_code_text(error));
  fs::path root = fs::canonical(path, error);
  if (error) return std::unexpected(error_code_text(error));
  if (!fs::is_directory(root, error)) return std::unexpected("not a directory");
  return OutputDirectory(std::move(root));
}

std::expected<void, std::string> OutputDirectory::make_subdirectory(std::string_view name) const {
  const fs::path path = root_ / name;
  std::error_code error;
  fs::create_directory(path, error);
  if (error) return std::unexpected(error_code_text(error));
  const fs::file_status status = fs::symlink_status(path, error);
  if (error) return std::unexpected(error_code_text(error));
  if (fs::is_symlink(status)) {
    return std::unexpected(kelvane_platform::path_to_utf8(path) +
                           " is a symbolic link; refusing to follow it");
  }
  if (!fs::is_directory(status))
    return std::unexpected(kelvane_platform::path_to_utf8(path) + " is not a directory");
  return {};
}

std::expected<void, std::string> OutputDirectory::write_file(
    std::string_view subdirectory, std::string_view name,
    std::span<const std::uint8_t> bytes) const {
  const fs::path parent = subdirectory.empty() ? root_ : root_ / subdirectory;
  std::error_code error;
  // A link swapped in for the subdirectory after it was made resolves elsewhere.
  if (fs::canonical(parent, error) != parent || error) {
    return std::unexpected(kelvane_platform::path_to_utf8(parent) +
                           " no longer resolves to itself; refusing to write");
  }
  const fs::path final_path = parent / name;
  const fs::path temporary = parent / ("." + std::string(name) + ".partial");
  // Opening a link would write through it; remove() takes away the link itself.
  fs::remove(temporary, error);
  if (error) return std::unexpected(error_code_text(error));
  {
    const kelvane_platform::RemovedOnInterrupt incomplete(temporary);
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      const int os_error = errno;
      fs::remove(temporary, error);
      return std::unexpected(os_error == 0 ? "write failed"
                                           : error_code_text({os_error, std::generic_category()}));
    }
    // Renaming replaces a link at the final name rather than writing through it. It happens
    // inside the registration, so an interrupt before it completes removes the temporary.
    fs::rename(temporary, final_path, error);
  }
  if (error) return std::unexpected(error_code_text(error));
  return {};
}

bool OutputDirectory::has_file(std::string_view subdirectory, std::string_view name) const {
  std::error_code error;
  return fs::is_regular_file(fs::symlink_status(root_ / subdirectory / name, error));
}

bool is_directory_with_entries(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error) && !fs::is_empty(path, error);
}

}  // namespace kelvane_dat::cli
