#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>

#include "kelvane_platform/file_mapping.hpp"

namespace kelvane_platform {

std::optional<FileMapping> FileMapping::map_copy_on_write(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat status {};
  void* data = MAP_FAILED;
  std::size_t size = 0;
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
      static_cast<std::uintmax_t>(status.st_size) <= std::numeric_limits<std::size_t>::max()) {
    size = static_cast<std::size_t>(status.st_size);
    data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
  }
  // The mapping outlives the descriptor.
  ::close(fd);
  if (data == MAP_FAILED) return std::nullopt;
  return FileMapping(static_cast<char*>(data), size);
}

void FileMapping::unmap() noexcept {
  if (data_ != nullptr) ::munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace kelvane_platform
