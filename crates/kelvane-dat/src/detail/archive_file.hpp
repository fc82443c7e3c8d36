#pragma once

// The file a writer changes. Writers go through this interface rather than the system's file, so
// the crash tests can put a file in between that forgets unsynced writes.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>

#include "detail/file_descriptor.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/io_error.hpp"

namespace kelvane_dat::detail {

class ArchiveFile {
 public:
  virtual ~ArchiveFile() = default;

  // As FileDescriptor::read_exact_at_compat, so PositionedReader and the chain walk run over it.
  [[nodiscard]] virtual std::expected<void, IoError> read_exact_at_compat(
      std::span<std::uint8_t> buffer, std::uint64_t offset) const = 0;
  // Writes all of `bytes` at `offset`, growing the file when it ends before them.
  [[nodiscard]] virtual std::expected<void, IoError> write_all_at(
      std::span<const std::uint8_t> bytes, std::uint64_t offset) = 0;
  // Returns once every write before it is durable.
  [[nodiscard]] virtual std::expected<void, IoError> sync() = 0;
  [[nodiscard]] virtual std::expected<std::uint64_t, IoError> size() const = 0;
};

// The archive file itself. The system calls live in system_archive_file_posix.cpp and
// system_archive_file_windows.cpp.
class SystemArchiveFile final : public ArchiveFile {
 public:
  // Opens an existing archive for reading and writing and takes its writer's lock, without
  // waiting: Other("archive is locked by another writer") when another handle holds it. The lock
  // is advisory (flock; on Windows a byte range far past any data, since Windows locks keep even
  // readers out of the range they cover), so readers are never kept out. It lasts as long as the
  // object.
  [[nodiscard]] static Result<SystemArchiveFile> open_locked(const std::filesystem::path& path);
  // Creates `path`, or empties it if it exists. No lock: a new file has no other writer to keep
  // out, so nothing here differs between systems.
  [[nodiscard]] static Result<SystemArchiveFile> create(const std::filesystem::path& path) {
    auto file = FileDescriptor::open(path, FileDescriptor::Access::CreateReadWrite);
    if (!file) return std::unexpected(DatError::path_error(path, file.error()));
    return SystemArchiveFile(std::move(*file));
  }

  std::expected<void, IoError> read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                    std::uint64_t offset) const override {
    return file_.read_exact_at_compat(buffer, offset);
  }
  std::expected<void, IoError> write_all_at(std::span<const std::uint8_t> bytes,
                                            std::uint64_t offset) override;
  std::expected<void, IoError> sync() override;
  std::expected<std::uint64_t, IoError> size() const override { return file_.size(); }

 private:
  explicit SystemArchiveFile(FileDescriptor file) : file_(std::move(file)) {}

  FileDescriptor file_;
};

// Replaces `to` with `from` in one step, durably: after it returns, a crash leaves `to` holding
// what `from` held.
[[nodiscard]] std::expected<void, IoError> replace_file(const std::filesystem::path& from,
                                                        const std::filesystem::path& to);

}  // namespace kelvane_dat::detail
