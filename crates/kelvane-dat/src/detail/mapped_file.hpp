#pragma once

/// \file
/// A whole file mapped read-only into memory, for reading chains without a system call per read.
///
/// The mapping shows the file as it is now: on POSIX systems a file another process truncates while
/// it is mapped makes any access to the lost pages raise SIGBUS, and on Windows (where a mapped
/// file cannot be truncated) a read error of the medium, such as a network share gone away, raises
/// an in-page exception. No error value can report either. Callers opt in knowing that (see
/// DatDatabase's OpenOptions).

#include <cstdint>
#include <expected>
#include <span>

#include "detail/file_descriptor.hpp"
#include "kelvane_dat/io_error.hpp"

namespace kelvane_dat {

/// A whole file mapped read-only; move-only, unmapped when destroyed.
class MappedFile {
 public:
  /// Maps the first `length` bytes of `file`, which the caller has just measured; a length of 0
  /// maps nothing and makes no system call. The mapping stays valid after `file` is closed.
  [[nodiscard]] static std::expected<MappedFile, IoError> map_read_only(const FileDescriptor& file,
                                                                        std::uint64_t length);

  MappedFile() noexcept = default;
  /// Takes over the mapping of `other`, which is left with none.
  MappedFile(MappedFile&& other) noexcept;
  /// Unmaps this mapping and takes over that of `other`.
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  /// The mapped bytes; empty when nothing is mapped.
  std::span<const std::uint8_t> bytes() const noexcept { return {data_, length_}; }

 private:
  MappedFile(const std::uint8_t* data, std::size_t length) noexcept
      : data_(data), length_(length) {}
  void unmap() noexcept;

  const std::uint8_t* data_ = nullptr;
  std::size_t length_ = 0;
};

}  // namespace kelvane_dat
