#include "support/temp_file.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

namespace kelvane_dat::test_support {

TempFile::TempFile(std::span<const std::uint8_t> bytes, std::string_view stem) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / (std::string(stem) + "_XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) std::abort();
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t got = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) std::abort();
    written += static_cast<std::size_t>(got);
  }
  ::close(fd);
  path_ = pattern;
}

TempFile::~TempFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace kelvane_dat::test_support
