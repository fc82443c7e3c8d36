#pragma once

/// \file
/// The open archive file: an owned, read-only descriptor with positioned reads.
///
/// Everything after the header is read with pread, which neither uses nor moves the file position,
/// so one open file can serve reads from several threads at once.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>

#include "kelvane_dat/export.hpp"
#include "kelvane_dat/io_error.hpp"

namespace kelvane_dat {

/// An owned, read-only file descriptor, closed when destroyed. Movable, not copyable.
class KELVANE_DAT_EXPORT FileDescriptor {
 public:
  /// O_RDONLY | O_CLOEXEC.
  [[nodiscard]] static std::expected<FileDescriptor, IoError> open_read_only(
      const std::filesystem::path& path);

  /// Takes ownership of `fd` (-1 for none).
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  /// Takes over the descriptor of `other`, which is left without one.
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  /// Closes this descriptor and takes over that of `other`.
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor();

  /// The descriptor, or -1 when there is none.
  int get() const noexcept { return fd_; }
  /// Whether there is a descriptor.
  bool is_open() const noexcept { return fd_ >= 0; }

  /// The file's current length in bytes.
  [[nodiscard]] std::expected<std::uint64_t, IoError> size() const;
  /// Moves the file position to an absolute offset.
  [[nodiscard]] std::expected<void, IoError> seek(std::uint64_t offset) const;

  /// Fills all of `buffer` from absolute `offset`, retrying reads a signal interrupted. Running out
  /// of file is the unexpected-end-of-file error "failed to fill whole buffer". An empty buffer
  /// succeeds without a system call. The file position is neither used nor moved.
  [[nodiscard]] std::expected<void, IoError> read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                                  std::uint64_t offset) const;

 private:
  int release() noexcept;

  int fd_ = -1;
};

/// Sequential little-endian reads from a file's current position, for the one record (the header)
/// that is read with the file position rather than with positioned reads.
class KELVANE_DAT_EXPORT FileCursor {
 public:
  /// Reads from `file`, which must outlive the cursor.
  explicit FileCursor(const FileDescriptor& file) noexcept : file_(&file) {}

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

  const FileDescriptor* file_;
};

}  // namespace kelvane_dat
