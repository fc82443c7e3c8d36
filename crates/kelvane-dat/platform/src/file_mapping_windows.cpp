#include <windows.h>

#include <limits>

#include "kelvane_platform/file_mapping.hpp"

namespace kelvane_platform {

std::optional<FileMapping> FileMapping::map_copy_on_write(const std::filesystem::path& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  LARGE_INTEGER length{};
  void* data = nullptr;
  std::size_t size = 0;
  if (::GetFileType(file) == FILE_TYPE_DISK && ::GetFileSizeEx(file, &length) != 0 &&
      length.QuadPart > 0 &&
      static_cast<unsigned long long>(length.QuadPart) <= std::numeric_limits<std::size_t>::max()) {
    size = static_cast<std::size_t>(length.QuadPart);
    // PAGE_WRITECOPY and FILE_MAP_COPY: written pages become this process's own.
    const HANDLE mapping = ::CreateFileMappingW(file, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
    if (mapping != nullptr) {
      data = ::MapViewOfFile(mapping, FILE_MAP_COPY, 0, 0, size);
      // The view outlives both handles.
      ::CloseHandle(mapping);
    }
  }
  ::CloseHandle(file);
  if (data == nullptr) return std::nullopt;
  return FileMapping(static_cast<char*>(data), size);
}

void FileMapping::unmap() noexcept {
  if (data_ != nullptr) ::UnmapViewOfFile(data_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace kelvane_platform
