// The chain walk over an archive held in memory: each block's pointer and payload are taken where
// they lie, so a chain costs one copy of its payload and no system call.

#include <algorithm>
#include <cstddef>
#include <limits>

#include "detail/block_chain_reference.hpp"
#include "kelvane_dat/block_chain.hpp"
#include "kelvane_dat/endian.hpp"

namespace kelvane_dat {

namespace {

using detail::kPointerSize;

// The image as a positioned source, for the chains left to the reference walk.
class ImageSource {
 public:
  explicit ImageSource(std::span<const std::uint8_t> image) : image_(image) {}

  std::expected<void, IoError> read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                    std::uint64_t offset) const {
    if (buffer.empty()) return {};
    if (!holds(image_, offset, buffer.size())) return std::unexpected(IoError::fill_whole_buffer());
    std::copy_n(image_.data() + offset, buffer.size(), buffer.data());
    return {};
  }

  // Whether `length` bytes at `offset` lie within the image: a positioned read of them would not
  // run out of file.
  static bool holds(std::span<const std::uint8_t> image, std::uint64_t offset,
                    std::uint64_t length) {
    return offset <= image.size() && length <= image.size() - offset;
  }

 private:
  std::span<const std::uint8_t> image_;
};

// The walk of read_block_chain_reference, in the same order and with the same checks, each read
// replaced by a bounds check and the payload appended from the image.
Result<void> walk(std::span<const std::uint8_t> image, std::uint32_t block_size,
                  std::uint32_t offset, std::uint32_t size, std::vector<std::uint8_t>& out) {
  std::uint32_t remaining = size;
  std::uint32_t current = offset;
  while (remaining > 0) {
    if (!ImageSource::holds(image, current, kPointerSize))
      return std::unexpected(IoError::fill_whole_buffer());
    const std::uint32_t next = load_le32(image.data() + current);
    if (current > std::numeric_limits<std::uint32_t>::max() - kPointerSize) {
      return std::unexpected(detail::payload_start_overflows(current, block_size));
    }
    const std::uint64_t payload_start = std::uint64_t{current} + kPointerSize;
    const std::uint32_t share =
        next == 0 ? remaining : std::min(remaining, block_size - kPointerSize);
    if (!ImageSource::holds(image, payload_start, share))
      return std::unexpected(IoError::fill_whole_buffer());
    const std::uint8_t* from = image.data() + payload_start;
    out.insert(out.end(), from, from + share);
    remaining -= share;
    current = next;
  }
  return {};
}

}  // namespace

Result<void> read_block_chain_in_memory(std::span<const std::uint8_t> image,
                                        std::uint32_t block_size, std::uint32_t offset,
                                        std::uint32_t size, std::vector<std::uint8_t>& out) {
  const ChainGeometry geometry{block_size, image.size()};
  if (detail::needs_reference_walk(geometry, size)) {
    const ImageSource source(image);
    return detail::read_block_chain_reference_into(PositionedReader(source), geometry, offset, size,
                                                   out);
  }
  out.clear();
  out.reserve(size);
  const auto walked = walk(image, block_size, offset, size, out);
  if (!walked) out.clear();
  return walked;
}

}  // namespace kelvane_dat
