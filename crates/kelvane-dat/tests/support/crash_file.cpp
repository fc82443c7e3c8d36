#include "support/crash_file.hpp"

#include <algorithm>
#include <cerrno>

namespace kelvane_dat::test_support {

namespace {

void apply_write(CrashFile::Bytes& image, const CrashFile::Write& write) {
  if (image.size() < write.offset + write.bytes.size()) {
    image.resize(static_cast<std::size_t>(write.offset + write.bytes.size()));
  }
  std::copy(write.bytes.begin(), write.bytes.end(),
            image.begin() + static_cast<std::ptrdiff_t>(write.offset));
}

}  // namespace

CrashFile::Bytes CrashFile::Disk::after_crash(const std::function<bool(std::size_t)>& keep) const {
  Bytes image = durable;
  for (std::size_t i = 0; i < unsynced.size(); ++i) {
    if (keep(i)) apply_write(image, unsynced[i]);
  }
  return image;
}

std::shared_ptr<CrashFile::Disk> CrashFile::make_disk(Bytes bytes, std::size_t crash_at) {
  auto disk = std::make_shared<Disk>();
  disk->durable = bytes;
  disk->visible = std::move(bytes);
  disk->crash_at = crash_at;
  return disk;
}

bool CrashFile::survives() {
  if (disk_->crashed || ++disk_->operations >= disk_->crash_at) {
    disk_->crashed = true;
    return false;
  }
  return true;
}

std::expected<void, IoError> CrashFile::read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                             std::uint64_t offset) const {
  if (offset + buffer.size() > disk_->visible.size()) {
    return std::unexpected(IoError::fill_whole_buffer());
  }
  std::copy_n(disk_->visible.begin() + static_cast<std::ptrdiff_t>(offset), buffer.size(),
              buffer.begin());
  return {};
}

std::expected<void, IoError> CrashFile::write_all_at(std::span<const std::uint8_t> bytes,
                                                     std::uint64_t offset) {
  if (!survives()) return std::unexpected(IoError::from_errno(EIO));
  Write write{offset, Bytes(bytes.begin(), bytes.end())};
  apply_write(disk_->visible, write);
  disk_->bytes_written += bytes.size();
  disk_->unsynced.push_back(std::move(write));
  return {};
}

std::expected<void, IoError> CrashFile::sync() {
  if (!survives()) return std::unexpected(IoError::from_errno(EIO));
  for (const Write& write : disk_->unsynced) apply_write(disk_->durable, write);
  disk_->unsynced.clear();
  return {};
}

}  // namespace kelvane_dat::test_support
