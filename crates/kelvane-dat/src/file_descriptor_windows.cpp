#include "detail/file_descriptor.hpp"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace kelvane_dat {
namespace {

// One ReadFile moves at most a DWORD's worth of bytes.
constexpr std::size_t kMaxReadSize = std::numeric_limits<DWORD>::max();

IoError last_error() { return IoError::from_errno(static_cast<int>(::GetLastError())); }

}  // namespace

std::expected<FileDescriptor, IoError> FileDescriptor::open(const std::filesystem::path& path,
                                                            Access access) {
  const DWORD rights = access == Access::ReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  const DWORD disposition = access == Access::CreateReadWrite ? CREATE_ALWAYS : OPEN_EXISTING;
  // Null security attributes: the handle is not inherited by child processes.
  const HANDLE handle =
      ::CreateFileW(path.c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::unexpected(last_error());
  return FileDescriptor(handle);
}

bool FileDescriptor::is_open() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }

void FileDescriptor::close() noexcept {
  if (is_open()) ::CloseHandle(handle_);
}

FileDescriptor::Native FileDescriptor::release() noexcept {
  const HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  return handle;
}

std::expected<std::uint64_t, IoError> FileDescriptor::size() const {
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(handle_, &size) == 0) return std::unexpected(last_error());
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::expected<std::uint64_t, IoError> FileDescriptor::position() const {
  LARGE_INTEGER position{};
  if (::SetFilePointerEx(handle_, LARGE_INTEGER{}, &position, FILE_CURRENT) == 0) {
    return std::unexpected(last_error());
  }
  return static_cast<std::uint64_t>(position.QuadPart);
}

std::expected<void, IoError> FileDescriptor::seek(std::uint64_t offset) {
  LARGE_INTEGER target{};
  target.QuadPart = static_cast<LONGLONG>(offset);
  if (::SetFilePointerEx(handle_, target, nullptr, FILE_BEGIN) == 0) {
    return std::unexpected(last_error());
  }
  return {};
}

std::expected<std::size_t, IoError> FileDescriptor::read_some(std::span<std::uint8_t> buffer) {
  DWORD got = 0;
  const auto wanted = static_cast<DWORD>(std::min(buffer.size(), kMaxReadSize));
  if (::ReadFile(handle_, buffer.data(), wanted, &got, nullptr) == 0) {
    return std::unexpected(last_error());
  }
  return got;
}

std::expected<void, IoError> FileDescriptor::read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                                  std::uint64_t offset) const {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const std::uint64_t at = offset + filled;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const auto wanted = static_cast<DWORD>(std::min(buffer.size() - filled, kMaxReadSize));
    DWORD got = 0;
    if (::ReadFile(handle_, buffer.data() + filled, wanted, &got, &position) == 0) {
      // Reading at or past the end fails this way on a synchronous handle.
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return std::unexpected(last_error());
    }
    if (got == 0) break;
    filled += got;
  }
  if (filled < buffer.size()) return std::unexpected(IoError::fill_whole_buffer());
  return {};
}

}  // namespace kelvane_dat
