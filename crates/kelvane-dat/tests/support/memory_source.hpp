#pragma once

// An in-memory stand-in for the archive file that records every positioned read, so tests can
// check exactly which reads a walk makes.

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <vector>

#include "kelvane_dat/io_error.hpp"

namespace kelvane_dat::test_support {

class MemorySource {
 public:
  struct Read {
    std::uint64_t offset;
    std::uint64_t length;
    friend bool operator==(const Read&, const Read&) = default;
  };

  explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  // Behaves like FileDescriptor::read_exact_at_compat: bytes past the end are the
  // unexpected-end-of-file error "failed to fill whole buffer".
  std::expected<void, IoError> read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                    std::uint64_t offset) const;

  // Every read from now on whose range covers `offset` fails with the OS error `errno_value`.
  void fail_reads_covering(std::uint64_t offset, int errno_value) {
    failure_ = Failure{offset, errno_value};
  }

  std::uint64_t size() const { return bytes_.size(); }
  // The whole file, as a mapping of it would show it.
  std::span<const std::uint8_t> bytes() const { return bytes_; }
  const std::vector<Read>& reads() const { return reads_; }
  void clear_reads() { reads_.clear(); }

 private:
  struct Failure {
    std::uint64_t offset;
    int errno_value;
  };

  std::vector<std::uint8_t> bytes_;
  std::optional<Failure> failure_;
  // Logged from a const read, as a file's reads are const.
  mutable std::vector<Read> reads_;
};

}  // namespace kelvane_dat::test_support
