#pragma once

// Files that an interrupt removes: a file being written is registered while it is incomplete, and
// Ctrl-C (SIGINT, SIGTERM on POSIX; a console control event on Windows) deletes every registered
// file before the process ends as it would have.

#include <cstddef>
#include <filesystem>

namespace kelvane_platform {

class RemovedOnInterrupt {
 public:
  // Registers `path` for as long as this object lives. The first registration installs the
  // handler. Up to kCapacity files at once, paths up to kMaxPathLength characters (of the
  // system's path encoding) long; beyond that a file is
  // not registered and an interrupt leaves it behind, as it would without this.
  explicit RemovedOnInterrupt(const std::filesystem::path& path);
  RemovedOnInterrupt(const RemovedOnInterrupt&) = delete;
  RemovedOnInterrupt& operator=(const RemovedOnInterrupt&) = delete;
  ~RemovedOnInterrupt();

  static constexpr std::size_t kCapacity = 256;
  static constexpr std::size_t kMaxPathLength = 1024;

 private:
  // The slot held, or kCapacity for none.
  std::size_t slot_;
};

}  // namespace kelvane_platform
