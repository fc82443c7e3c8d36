#include "detail/mapped_file.hpp"

#include <windows.h>

#include <limits>

namespace kelvane_dat {

namespace {

IoError last_error() { return IoError::from_errno(static_cast<int>(::GetLastError())); }

}  // namespace

std::expected<MappedFile, IoError> MappedFile::map_read_only(const FileDescriptor& file,
                                                             std::uint64_t length) {
  // Windows refuses to map an empty file, and there is nothing to map anyway.
  if (length == 0) return MappedFile();
  if (length > std::numeric_limits<std::size_t>::max()) {
    return std::unexpected(IoError::from_errno(ERROR_FILE_TOO_LARGE));
  }
  const auto size = static_cast<std::size_t>(length);
  const HANDLE mapping = ::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return std::unexpected(last_error());
  const void* const address = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size);
  const DWORD map_error = address == nullptr ? ::GetLastError() : ERROR_SUCCESS;
  // The view holds the mapping object open; this handle is no longer needed either way.
  ::CloseHandle(mapping);
  if (address == nullptr) return std::unexpected(IoError::from_errno(static_cast<int>(map_error)));
  return MappedFile(static_cast<const std::uint8_t*>(address), size);
}

void MappedFile::unmap() noexcept {
  if (data_ != nullptr) ::UnmapViewOfFile(data_);
  data_ = nullptr;
  length_ = 0;
}

}  // namespace kelvane_dat
