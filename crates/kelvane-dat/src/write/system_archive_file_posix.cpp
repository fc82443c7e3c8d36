#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "detail/archive_file.hpp"

namespace kelvane_dat::detail {

namespace {

std::expected<void, IoError> sync_fd(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return std::unexpected(IoError::from_errno(errno));
  }
  return {};
}

}  // namespace

Result<SystemArchiveFile> SystemArchiveFile::open_locked(const std::filesystem::path& path) {
  auto file = FileDescriptor::open(path, FileDescriptor::Access::ReadWrite);
  if (!file) return std::unexpected(DatError::path_error(path, file.error()));
  while (::flock(file->get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK)
      return std::unexpected(DatError::other("archive is locked by another writer"));
    if (errno != EINTR) return std::unexpected(DatError(IoError::from_errno(errno)));
  }
  return SystemArchiveFile(std::move(*file));
}

std::expected<void, IoError> SystemArchiveFile::write_all_at(std::span<const std::uint8_t> bytes,
                                                             std::uint64_t offset) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t put = ::pwrite(file_.get(), bytes.data() + written, bytes.size() - written,
                                 static_cast<off_t>(offset + written));
    if (put < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(IoError::from_errno(errno));
    }
    written += static_cast<std::size_t>(put);
  }
  return {};
}

std::expected<void, IoError> SystemArchiveFile::sync() { return sync_fd(file_.get()); }

std::expected<void, IoError> replace_file(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return std::unexpected(IoError::from_errno(errno));
  // The rename itself is durable once the directory holding both names is.
  std::filesystem::path directory = to.parent_path();
  if (directory.empty()) directory = ".";
  auto dir = FileDescriptor::open_read_only(directory);
  if (!dir) return std::unexpected(dir.error());
  return sync_fd(dir->get());
}

}  // namespace kelvane_dat::detail
