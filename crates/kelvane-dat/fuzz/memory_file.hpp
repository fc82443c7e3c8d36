#pragma once

// A memory-backed file that fuzz targets rewrite for each input: no disk traffic, and code that
// opens archives by path still gets a path.

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "fuzz_check.hpp"

namespace kelvane_dat::fuzz {

class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("kelvane-fuzz-archive", MFD_CLOEXEC)) {
    require(fd_ >= 0, "memfd_create works");
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  ~MemoryFile() { close(fd_); }

  std::filesystem::path hold(std::span<const std::uint8_t> bytes) {
    require(ftruncate(fd_, 0) == 0, "the memory file can be emptied");
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t got =
          pwrite(fd_, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
      if (got < 0 && errno == EINTR) continue;
      require(got > 0, "the memory file can be written");
      written += static_cast<std::size_t>(got);
    }
    return "/proc/self/fd/" + std::to_string(fd_);
  }

 private:
  int fd_;
};

}  // namespace kelvane_dat::fuzz
