#include "support/temp_file.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "kelvane_platform/command_line.hpp"

namespace kelvane_dat::test_support {

TempFile::TempFile(std::span<const std::uint8_t> bytes, std::string_view stem) {
  // 64 random bits per name: the standard library has no exclusive create, and no two test runs
  // pick the same name in practice.
  std::random_device random;
  const std::filesystem::path directory = std::filesystem::temp_directory_path();
  do {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "_%08x%08x", random(), random());
    path_ = directory / kelvane_platform::path_from_utf8(std::string(stem) + suffix);
  } while (std::filesystem::exists(path_));
  std::ofstream out(path_, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) std::abort();
}

TempFile::~TempFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace kelvane_dat::test_support
