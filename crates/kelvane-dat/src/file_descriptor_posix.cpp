#include "detail/file_descriptor.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kelvane_dat {

std::expected<FileDescriptor, IoError> FileDescriptor::open(const std::filesystem::path& path,
                                                            Access access) {
  int flags = O_CLOEXEC;
  switch (access) {
    case Access::ReadOnly:
      flags |= O_RDONLY;
      break;
    case Access::ReadWrite:
      flags |= O_RDWR;
      break;
    case Access::CreateReadWrite:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::unexpected(IoError::from_errno(errno));
  return FileDescriptor(fd);
}

bool FileDescriptor::is_open() const noexcept { return handle_ >= 0; }

void FileDescriptor::close() noexcept {
  if (handle_ >= 0) ::close(handle_);
}

FileDescriptor::Native FileDescriptor::release() noexcept {
  const int fd = handle_;
  handle_ = -1;
  return fd;
}

std::expected<std::uint64_t, IoError> FileDescriptor::size() const {
  struct stat status {};
  if (::fstat(handle_, &status) != 0) return std::unexpected(IoError::from_errno(errno));
  return static_cast<std::uint64_t>(status.st_size);
}

std::expected<std::uint64_t, IoError> FileDescriptor::position() const {
  const off_t position = ::lseek(handle_, 0, SEEK_CUR);
  if (position < 0) return std::unexpected(IoError::from_errno(errno));
  return static_cast<std::uint64_t>(position);
}

std::expected<void, IoError> FileDescriptor::seek(std::uint64_t offset) {
  if (::lseek(handle_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    return std::unexpected(IoError::from_errno(errno));
  }
  return {};
}

std::expected<std::size_t, IoError> FileDescriptor::read_some(std::span<std::uint8_t> buffer) {
  while (true) {
    const ssize_t got = ::read(handle_, buffer.data(), buffer.size());
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return std::unexpected(IoError::from_errno(errno));
  }
}

std::expected<void, IoError> FileDescriptor::read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                                  std::uint64_t offset) const {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::pread(handle_, buffer.data() + filled, buffer.size() - filled,
                                static_cast<off_t>(offset + filled));
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(IoError::from_errno(errno));
    }
    if (got == 0) return std::unexpected(IoError::fill_whole_buffer());
    filled += static_cast<std::size_t>(got);
  }
  return {};
}

}  // namespace kelvane_dat
