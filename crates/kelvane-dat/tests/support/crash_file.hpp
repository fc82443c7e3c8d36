#pragma once

// A file layer that cuts the power: writes go to a list of unsynced writes, a sync makes them
// durable, and the Nth write or sync (and everything after it) fails as if the machine stopped
// there. What survives is the durable bytes plus any subset of the unsynced writes.

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "detail/archive_file.hpp"

namespace kelvane_dat::test_support {

class CrashFile final : public detail::ArchiveFile {
 public:
  using Bytes = std::vector<std::uint8_t>;

  struct Write {
    std::uint64_t offset;
    Bytes bytes;
  };
  // Shared with the test, which looks at it after the writer holding the file is gone.
  struct Disk {
    Bytes durable;
    Bytes visible;  // what the writing process reads: durable plus its unsynced writes
    std::vector<Write> unsynced;
    std::size_t operations = 0;
    std::size_t crash_at = std::numeric_limits<std::size_t>::max();
    std::uint64_t bytes_written = 0;
    bool crashed = false;

    // The file after the crash: the durable bytes and the unsynced writes `keep` picks (by index).
    Bytes after_crash(const std::function<bool(std::size_t)>& keep) const;
  };

  // The file starts as `bytes`, durable; operation number `crash_at` (from 1) fails.
  static std::shared_ptr<Disk> make_disk(
      Bytes bytes, std::size_t crash_at = std::numeric_limits<std::size_t>::max());
  explicit CrashFile(std::shared_ptr<Disk> disk) : disk_(std::move(disk)) {}

  std::expected<void, IoError> read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                    std::uint64_t offset) const override;
  std::expected<void, IoError> write_all_at(std::span<const std::uint8_t> bytes,
                                            std::uint64_t offset) override;
  std::expected<void, IoError> sync() override;
  std::expected<std::uint64_t, IoError> size() const override { return disk_->visible.size(); }

 private:
  // Counts an operation; false once the power is off.
  bool survives();

  std::shared_ptr<Disk> disk_;
};

}  // namespace kelvane_dat::test_support
