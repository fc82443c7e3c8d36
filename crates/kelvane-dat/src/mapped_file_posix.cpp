#include "detail/mapped_file.hpp"

#include <sys/mman.h>

#include <cerrno>
#include <limits>

namespace kelvane_dat {

std::expected<MappedFile, IoError> MappedFile::map_read_only(const FileDescriptor& file,
                                                             std::uint64_t length) {
  if (length == 0) return MappedFile();
  if (length > std::numeric_limits<std::size_t>::max()) {
    return std::unexpected(IoError::from_errno(EFBIG));
  }
  const auto size = static_cast<std::size_t>(length);
  void* const address = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, file.get(), 0);
  if (address == MAP_FAILED) return std::unexpected(IoError::from_errno(errno));
  return MappedFile(static_cast<const std::uint8_t*>(address), size);
}

void MappedFile::unmap() noexcept {
  if (data_ != nullptr) ::munmap(const_cast<std::uint8_t*>(data_), length_);
  data_ = nullptr;
  length_ = 0;
}

}  // namespace kelvane_dat
