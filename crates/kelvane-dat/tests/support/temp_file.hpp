#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace kelvane_dat::test_support {

// A uniquely named file in the temporary directory holding the given bytes, removed again when the
// object goes away. `stem`, in UTF-8, starts the file's name.
class TempFile {
 public:
  explicit TempFile(std::span<const std::uint8_t> bytes, std::string_view stem = "kelvane");
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace kelvane_dat::test_support
