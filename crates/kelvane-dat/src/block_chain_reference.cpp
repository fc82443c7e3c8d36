#include "detail/block_chain_reference.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>

#include "kelvane_dat/debug_format.hpp"
#include "kelvane_dat/endian.hpp"

namespace kelvane_dat::detail {

namespace {

// Reads of a chain too long to keep go through a buffer of this size.
constexpr std::size_t kDiscardChunk = 64 * 1024;

// Brent's cycle detection over the sequence of block offsets, in constant memory. The walk is a
// function of the block offset alone, so once an offset repeats every later read repeats one that
// already succeeded.
class LoopDetector {
 public:
  explicit LoopDetector(std::uint32_t first_block) : saved_(first_block) {}

  bool revisits(std::uint32_t block) {
    if (block == saved_) return true;
    if (++steps_ == limit_) {
      saved_ = block;
      limit_ *= 2;
      steps_ = 0;
    }
    return false;
  }

 private:
  std::uint32_t saved_;
  std::uint64_t steps_ = 0;
  std::uint64_t limit_ = 1;
};

DatError gathers_more_than_file(std::uint32_t offset, std::uint32_t size, ChainGeometry geometry) {
  return DatError::corruption("block chain at offset " + hex0x8(offset) + " (block size " +
                              std::to_string(geometry.block_size) + ") would gather " +
                              std::to_string(size) + " bytes from a file of " +
                              std::to_string(geometry.file_length) + " bytes");
}

// The walk itself. `read_payload(file_offset, length, filled)` fetches `length` payload bytes that
// belong at `filled` in the result. With `stop_on_loop`, the walk succeeds as soon as it returns
// to a block it has visited, since everything after that would repeat reads that succeeded.
template <class PayloadReader>
Result<void> walk(PositionedReader file, std::uint32_t block_size, std::uint32_t offset,
                  std::uint32_t size, PayloadReader&& read_payload, bool stop_on_loop) {
  std::uint64_t filled = 0;
  std::uint32_t remaining = size;
  std::uint32_t current = offset;
  LoopDetector loop(offset);
  while (remaining > 0) {
    std::array<std::uint8_t, kPointerSize> pointer_bytes;
    if (const auto read = file.read_exact_at_compat(pointer_bytes, current); !read) {
      return std::unexpected(read.error());
    }
    const std::uint32_t next = load_le32(pointer_bytes.data());
    // Offsets are 32-bit; a payload start past 0xFFFFFFFF cannot be addressed.
    if (current > std::numeric_limits<std::uint32_t>::max() - kPointerSize) {
      return std::unexpected(payload_start_overflows(current, block_size));
    }
    const std::uint64_t payload_start = current + kPointerSize;

    if (next == 0) {
      // Not cut to one block: everything still missing follows the pointer.
      if (const auto read = read_payload(payload_start, remaining, filled); !read) {
        return std::unexpected(read.error());
      }
      return {};
    }
    // Without payload a step gathers nothing and a chain that never reaches 0 never ends.
    if (block_size <= kPointerSize) {
      return std::unexpected(no_payload_room(current, next, block_size));
    }
    const std::uint32_t to_read = std::min(remaining, block_size - kPointerSize);
    if (const auto read = read_payload(payload_start, to_read, filled); !read) {
      return std::unexpected(read.error());
    }
    filled += to_read;
    remaining -= to_read;
    current = next;
    if (stop_on_loop && remaining > 0 && loop.revisits(current)) return {};
  }
  return {};
}

}  // namespace

DatError no_payload_room(std::uint32_t block, std::uint32_t next, std::uint32_t block_size) {
  return DatError::corruption("block at offset " + hex0x8(block) + " points to " + hex0x8(next) +
                              " but block size " + std::to_string(block_size) +
                              " leaves no room for payload");
}

DatError payload_start_overflows(std::uint32_t block, std::uint32_t block_size) {
  return DatError::corruption("block at offset " + hex0x8(block) + " (block size " +
                              std::to_string(block_size) +
                              ") has no payload start within 32-bit offsets");
}

Result<std::vector<std::uint8_t>> read_block_chain_reference(PositionedReader file,
                                                             ChainGeometry geometry,
                                                             std::uint32_t offset,
                                                             std::uint32_t size) {
  if (size <= geometry.file_length) {
    std::vector<std::uint8_t> buffer(size);
    const std::span<std::uint8_t> whole(buffer);
    auto into_place = [&](std::uint64_t at, std::uint32_t length, std::uint64_t filled) {
      return file.read_exact_at_compat(whole.subspan(static_cast<std::size_t>(filled), length), at);
    };
    const auto walked = walk(file, geometry.block_size, offset, size, into_place, false);
    if (!walked) return std::unexpected(walked.error());
    return buffer;
  }

  // More bytes than the file holds: the walk either fails, and must fail exactly as it would with
  // the result allocated, or succeeds only by reading some file bytes twice. Walk it keeping
  // nothing to find out which. The scratch buffer is never empty, or a chunk would not progress.
  std::vector<std::uint8_t> scratch(
      static_cast<std::size_t>(std::clamp<std::uint64_t>(geometry.file_length, 1, kDiscardChunk)));
  auto discard = [&](std::uint64_t at, std::uint32_t length,
                     std::uint64_t) -> std::expected<void, IoError> {
    std::uint64_t left = length;
    while (left > 0) {
      const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, scratch.size()));
      if (const auto read = file.read_exact_at_compat(std::span(scratch).first(chunk), at); !read) {
        return read;
      }
      at += chunk;
      left -= chunk;
    }
    return {};
  };
  const auto walked = walk(file, geometry.block_size, offset, size, discard, true);
  if (!walked) return std::unexpected(walked.error());
  return std::unexpected(gathers_more_than_file(offset, size, geometry));
}

Result<void> read_block_chain_reference_into(PositionedReader file, ChainGeometry geometry,
                                             std::uint32_t offset, std::uint32_t size,
                                             std::vector<std::uint8_t>& out) {
  out.clear();
  auto walked = read_block_chain_reference(file, geometry, offset, size);
  if (!walked) return std::unexpected(walked.error());
  // Only block sizes without payload room get here with bytes; a size of 0 has none to move.
  if (!walked->empty()) out = std::move(*walked);
  return {};
}

}  // namespace kelvane_dat::detail
