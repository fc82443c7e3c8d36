#include <windows.h>

#include <algorithm>
#include <limits>

#include "detail/archive_file.hpp"

namespace kelvane_dat::detail {

namespace {

// One WriteFile moves at most a DWORD's worth of bytes.
constexpr std::size_t kMaxWriteSize = std::numeric_limits<DWORD>::max();
// The writer's lock covers one byte here, far past any archive (offsets are 32-bit), so it keeps
// no reader out of the bytes it reads.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

IoError last_error() { return IoError::from_errno(static_cast<int>(::GetLastError())); }

}  // namespace

Result<SystemArchiveFile> SystemArchiveFile::open_locked(const std::filesystem::path& path) {
  auto file = FileDescriptor::open(path, FileDescriptor::Access::ReadWrite);
  if (!file) return std::unexpected(DatError::path_error(path, file.error()));
  OVERLAPPED where{};
  where.OffsetHigh = kLockOffsetHigh;
  if (::LockFileEx(file->get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &where) == 0) {
    if (::GetLastError() == ERROR_LOCK_VIOLATION) {
      return std::unexpected(DatError::other("archive is locked by another writer"));
    }
    return std::unexpected(DatError(last_error()));
  }
  // Closing the handle releases the lock.
  return SystemArchiveFile(std::move(*file));
}

std::expected<void, IoError> SystemArchiveFile::write_all_at(std::span<const std::uint8_t> bytes,
                                                             std::uint64_t offset) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const std::uint64_t at = offset + written;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const auto chunk = static_cast<DWORD>(std::min(bytes.size() - written, kMaxWriteSize));
    DWORD put = 0;
    if (::WriteFile(file_.get(), bytes.data() + written, chunk, &put, &where) == 0) {
      return std::unexpected(last_error());
    }
    written += put;
  }
  return {};
}

std::expected<void, IoError> SystemArchiveFile::sync() {
  if (::FlushFileBuffers(file_.get()) == 0) return std::unexpected(last_error());
  return {};
}

std::expected<void, IoError> replace_file(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
  // Write-through: the call returns once the new name is on disk.
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ==
      0) {
    return std::unexpected(last_error());
  }
  return {};
}

}  // namespace kelvane_dat::detail
