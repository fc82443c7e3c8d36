#include "kelvane_dat/file_descriptor.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "kelvane_dat/endian.hpp"

namespace kelvane_dat {

std::expected<FileDescriptor, IoError> FileDescriptor::open_read_only(
    const std::filesystem::path& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::unexpected(IoError::from_errno(errno));
  return FileDescriptor(fd);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

int FileDescriptor::release() noexcept {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

std::expected<std::uint64_t, IoError> FileDescriptor::size() const {
  struct stat status {};
  if (::fstat(fd_, &status) != 0) return std::unexpected(IoError::from_errno(errno));
  return static_cast<std::uint64_t>(status.st_size);
}

std::expected<void, IoError> FileDescriptor::seek(std::uint64_t offset) const {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    return std::unexpected(IoError::from_errno(errno));
  }
  return {};
}

std::expected<void, IoError> FileDescriptor::read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                                  std::uint64_t offset) const {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::pread(fd_, buffer.data() + filled, buffer.size() - filled,
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

std::expected<std::uint64_t, IoError> FileCursor::position() const {
  const off_t position = ::lseek(file_->get(), 0, SEEK_CUR);
  if (position < 0) return std::unexpected(IoError::from_errno(errno));
  return static_cast<std::uint64_t>(position);
}

std::expected<std::size_t, IoError> FileCursor::read_up_to(std::span<std::uint8_t> buffer) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::read(file_->get(), buffer.data() + filled, buffer.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(IoError::from_errno(errno));
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return filled;
}

std::expected<std::uint32_t, IoError> FileCursor::read_u32() {
  std::uint8_t bytes[4];
  const auto got = read_up_to(bytes);
  if (!got) return std::unexpected(got.error());
  if (*got < sizeof bytes) return std::unexpected(IoError::fill_whole_buffer());
  return load_le32(bytes);
}

std::expected<void, IoError> FileCursor::read_bytes_into(std::span<std::uint8_t> buffer) {
  const auto got = read_up_to(buffer);
  if (!got) return std::unexpected(got.error());
  if (*got < buffer.size()) return std::unexpected(IoError::not_enough_bytes());
  return {};
}

}  // namespace kelvane_dat
