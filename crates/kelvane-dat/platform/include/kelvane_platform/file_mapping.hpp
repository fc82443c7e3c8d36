#pragma once

// A whole file mapped copy-on-write, for a program that reads a large file once and changes a few
// of its bytes in place: the bytes are read where the page cache holds them, with no copy into
// fresh memory, and a write changes only this process's copy of its page, never the file.
//
// The hazard of any mapped file: on POSIX another process truncating the file while it is mapped
// makes any access to the lost pages raise SIGBUS, and on Windows a read error of the medium raises
// an in-page exception. Callers opt in for files nothing rewrites meanwhile.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>

namespace kelvane_platform {

class FileMapping {
 public:
  // The regular file at `path`, mapped; nothing when it is not a regular file, is empty or cannot
  // be mapped, which the caller handles by reading the file instead (and reporting its errors).
  static std::optional<FileMapping> map_copy_on_write(const std::filesystem::path& path);

  FileMapping(FileMapping&& other) noexcept;
  FileMapping& operator=(FileMapping&& other) noexcept;
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;
  ~FileMapping();

  std::span<char> bytes() const noexcept { return {data_, size_}; }

 private:
  FileMapping(char* data, std::size_t size) noexcept : data_(data), size_(size) {}
  void unmap() noexcept;

  char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace kelvane_platform
