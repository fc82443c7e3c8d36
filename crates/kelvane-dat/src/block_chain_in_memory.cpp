// The chain walk over an archive held in memory: each block's pointer and payload are taken where
// they lie, so a chain costs one copy of its payload and no system call.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#include "detail/block_chain.hpp"
#include "detail/chain_into_span.hpp"
#include "detail/chain_walk.hpp"
#include "detail/endian.hpp"
#include "kelvane_platform/compiler.hpp"

namespace kelvane_dat {

namespace {

using detail::kPointerSize;

// The image as a positioned source, for chains longer than the file, which are walked keeping
// nothing.
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

// The walk copies from memory that is usually not yet in the caches, one block at a time; asking
// for the block a page further on as each block is taken keeps the loads of a contiguous chain,
// and of the file stored after it, ahead of the copy.
constexpr std::uint64_t kPrefetchDistance = 4096;
constexpr std::uint32_t kCacheLine = 64;

void prefetch_ahead(std::span<const std::uint8_t> image, std::uint32_t block,
                    std::uint32_t block_size) {
  const std::uint64_t ahead = std::uint64_t{block} + kPrefetchDistance;
  if (ahead + block_size > image.size()) return;
  for (std::uint32_t line = 0; line < block_size; line += kCacheLine) {
    kelvane_platform::prefetch_for_read(image.data() + ahead + line);
  }
}

// The straightforward walk, each block decided by chain_step as every walk decides it, each read
// replaced by a bounds check and each payload handed to `take` where it lies in the image.
//
// Taking each block's next offset from its pointer makes every block wait for the load of the one
// before it, from memory when the image is larger than the caches. So a block that lies wholly in
// the image, gives a full share and points to the block right after it is taken first, as
// chain_step would take it, by comparing its pointer with that offset: the walk then knows where
// it goes before the pointer arrives, and the loads of a contiguous run overlap.
template <class TakePayload>
Result<void> walk(std::span<const std::uint8_t> image, std::uint32_t block_size,
                  std::uint32_t offset, std::uint32_t size, TakePayload&& take) {
  std::uint32_t remaining = size;
  std::uint32_t current = offset;
  const bool has_payload_room = block_size > kPointerSize;
  const std::uint32_t per_block = has_payload_room ? block_size - kPointerSize : 0;
  while (remaining > 0) {
    while (has_payload_room && remaining > per_block &&
           std::uint64_t{current} + block_size <= image.size() &&
           load_le32(image.data() + current) == std::uint64_t{current} + block_size) {
      prefetch_ahead(image, current, block_size);
      take(image.subspan(std::size_t{current} + kPointerSize, per_block));
      remaining -= per_block;
      current += block_size;
    }
    if (!ImageSource::holds(image, current, kPointerSize)) {
      return std::unexpected(IoError::fill_whole_buffer());
    }
    const auto step =
        detail::chain_step(current, load_le32(image.data() + current), remaining, block_size);
    if (!step) return std::unexpected(step.error());
    if (!ImageSource::holds(image, step->payload_start, step->share)) {
      return std::unexpected(IoError::fill_whole_buffer());
    }
    take(image.subspan(static_cast<std::size_t>(step->payload_start), step->share));
    remaining -= step->share;
    current = step->next;
  }
  return {};
}

// A chain longer than the image is walked keeping nothing, as every walk does (see
// read_block_chain).
DatError oversized_chain_error(std::span<const std::uint8_t> image, std::uint32_t block_size,
                               std::uint32_t offset, std::uint32_t size) {
  const ImageSource source(image);
  return detail::walk_oversized_chain(PositionedReader(source),
                                      ChainGeometry{block_size, image.size()}, offset, size)
      .error();
}

}  // namespace

Result<void> read_block_chain_in_memory(std::span<const std::uint8_t> image,
                                        std::uint32_t block_size, std::uint32_t offset,
                                        std::uint32_t size, std::vector<std::uint8_t>& out) {
  out.clear();
  if (size > image.size())
    return std::unexpected(oversized_chain_error(image, block_size, offset, size));
  out.reserve(size);
  const auto walked =
      walk(image, block_size, offset, size, [&](std::span<const std::uint8_t> payload) {
        out.insert(out.end(), payload.begin(), payload.end());
      });
  if (!walked) out.clear();
  return walked;
}

Result<void> detail::read_block_chain_in_memory_to(std::span<const std::uint8_t> image,
                                                   std::uint32_t block_size, std::uint32_t offset,
                                                   std::uint32_t size,
                                                   std::span<std::uint8_t> out) {
  if (size > image.size()) {
    return std::unexpected(oversized_chain_error(image, block_size, offset, size));
  }
  std::uint8_t* next = out.data();
  return walk(image, block_size, offset, size, [&](std::span<const std::uint8_t> payload) {
    std::memcpy(next, payload.data(), payload.size());
    next += payload.size();
  });
}

Result<void> slice_block_chain_in_memory(std::span<const std::uint8_t> image,
                                         std::uint32_t block_size, std::uint32_t offset,
                                         std::uint32_t size,
                                         std::vector<std::span<const std::uint8_t>>& slices) {
  slices.clear();
  if (size > image.size())
    return std::unexpected(oversized_chain_error(image, block_size, offset, size));
  const auto walked =
      walk(image, block_size, offset, size,
           [&](std::span<const std::uint8_t> payload) { slices.push_back(payload); });
  if (!walked) slices.clear();
  return walked;
}

}  // namespace kelvane_dat
