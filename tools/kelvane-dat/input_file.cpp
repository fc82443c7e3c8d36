#include "input_file.hpp"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "report.hpp"

namespace kelvane_dat::cli {

std::expected<std::vector<std::uint8_t>, std::string> read_input_file(
    const std::filesystem::path& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return std::unexpected(error_code_text(error));
  if (size > 0xFFFFFFFFu) {
    return std::unexpected("too large for an archive file (" + std::to_string(size) +
                           " bytes; at most 4294967295)");
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in || static_cast<std::uintmax_t>(in.gcount()) != size) {
    const int os_error = errno;
    return std::unexpected(os_error == 0 ? "read failed"
                                         : error_code_text({os_error, std::generic_category()}));
  }
  return bytes;
}

}  // namespace kelvane_dat::cli
