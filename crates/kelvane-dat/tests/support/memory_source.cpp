#include "support/memory_source.hpp"

#include <algorithm>

namespace kelvane_dat::test_support {

std::expected<void, IoError> MemorySource::read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                                std::uint64_t offset) const {
  reads_.push_back(Read{offset, buffer.size()});
  if (failure_ && failure_->offset >= offset && failure_->offset < offset + buffer.size()) {
    return std::unexpected(IoError::from_errno(failure_->errno_value));
  }
  if (offset > bytes_.size() || buffer.size() > bytes_.size() - offset) {
    return std::unexpected(IoError::fill_whole_buffer());
  }
  const auto begin = bytes_.begin() + static_cast<std::ptrdiff_t>(offset);
  std::copy(begin, begin + static_cast<std::ptrdiff_t>(buffer.size()), buffer.begin());
  return {};
}

}  // namespace kelvane_dat::test_support
