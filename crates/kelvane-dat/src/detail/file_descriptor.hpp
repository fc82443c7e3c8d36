#pragma once

/// \file
/// The open archive file: an owned, read-only handle with positioned reads.
///
/// Everything after the header is read with positioned reads (pread on POSIX, ReadFile with an
/// OVERLAPPED offset on Windows), which never depend on the file position, so one open file can
/// serve reads from several threads at once. The operating-system calls live in
/// src/file_descriptor_posix.cpp and src/file_descriptor_windows.cpp.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>

#include "kelvane_dat/io_error.hpp"

namespace kelvane_dat {

/// An owned, read-only file descriptor, closed when destroyed. Movable, not copyable.
class FileDescriptor {
 public:
  /// The system's handle type: a file descriptor on POSIX, a HANDLE on Windows.
#if defined(_WIN32)
  using Native = void*;
#else
  using Native = int;
#endif

  /// What open() asks for: reading an existing file, reading and writing one, or a new (or
  /// emptied) file to read and write.
  enum class Access { ReadOnly, ReadWrite, CreateReadWrite };

  /// POSIX: O_CLOEXEC, and O_CREAT | O_TRUNC to create. Windows: the path's wide form, not
  /// inherited by child processes, shared for reading, writing and deleting so that the game and
  /// other readers can keep the archive open.
  [[nodiscard]] static std::expected<FileDescriptor, IoError> open(
      const std::filesystem::path& path, Access access);
  [[nodiscard]] static std::expected<FileDescriptor, IoError> open_read_only(
      const std::filesystem::path& path) {
    return open(path, Access::ReadOnly);
  }

  /// Takes ownership of `handle` (-1, or INVALID_HANDLE_VALUE, for none).
  explicit FileDescriptor(Native handle) noexcept : handle_(handle) {}
  /// Takes over the handle of `other`, which is left without one.
  FileDescriptor(FileDescriptor&& other) noexcept : handle_(other.release()) {}
  /// Closes this handle and takes over that of `other`.
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor();

  /// The handle, or the system's invalid value when there is none.
  Native get() const noexcept { return handle_; }
  /// Whether there is a handle.
  bool is_open() const noexcept;

  /// The file's current length in bytes.
  [[nodiscard]] std::expected<std::uint64_t, IoError> size() const;
  /// The file position.
  [[nodiscard]] std::expected<std::uint64_t, IoError> position() const;
  /// Moves the file position to an absolute offset.
  [[nodiscard]] std::expected<void, IoError> seek(std::uint64_t offset);
  /// Reads from the file position into `buffer` and advances it; 0 bytes at the end of the file.
  [[nodiscard]] std::expected<std::size_t, IoError> read_some(std::span<std::uint8_t> buffer);

  /// Fills all of `buffer` from absolute `offset`, retrying short and interrupted reads. Running
  /// out of file is the unexpected-end-of-file error "failed to fill whole buffer". An empty buffer
  /// succeeds without a system call. The file position is not used (on Windows it may move).
  [[nodiscard]] std::expected<void, IoError> read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                                  std::uint64_t offset) const;

 private:
  Native release() noexcept;
  void close() noexcept;

  Native handle_;
};

/// Sequential little-endian reads from a file's current position, for the one record (the header)
/// that is read with the file position rather than with positioned reads.
class FileCursor {
 public:
  /// Reads from `file`, which must outlive the cursor.
  explicit FileCursor(FileDescriptor& file) noexcept : file_(&file) {}

  /// The file position.
  [[nodiscard]] std::expected<std::uint64_t, IoError> position() const;
  /// Moves the file position to an absolute offset.
  [[nodiscard]] std::expected<void, IoError> seek(std::uint64_t position) {
    return file_->seek(position);
  }

  /// One unsigned 32-bit little-endian value; "failed to fill whole buffer" when the file ends
  /// first.
  [[nodiscard]] std::expected<std::uint32_t, IoError> read_u32();
  /// Exactly buffer.size() bytes; "not enough bytes in reader" when the file ends first.
  [[nodiscard]] std::expected<void, IoError> read_bytes_into(std::span<std::uint8_t> buffer);

 private:
  /// Reads until `buffer` is full or the file ends; returns the number of bytes read.
  std::expected<std::size_t, IoError> read_up_to(std::span<std::uint8_t> buffer);

  FileDescriptor* file_;
};

}  // namespace kelvane_dat
