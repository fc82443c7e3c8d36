#include "detail/block_chain.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "detail/chain_into_span.hpp"
#include "detail/chain_walk.hpp"
#include "detail/debug_format.hpp"
#include "detail/endian.hpp"

namespace kelvane_dat {

namespace {

using detail::kPointerSize;

// A positioned read costs as much as copying several kilobytes, so the walk reads ahead on the bet
// that a chain's next blocks follow each other in the file, as they do in freshly written archives:
// one positioned read then serves many blocks, whose pointers and payloads are taken from memory.
// The first window bets on the whole chain, up to kFirstWindow; each time the chain runs
// contiguously off the end of a window the next one doubles, up to kMaxWindow; a jump elsewhere
// drops the bet to one block, so a scattered chain costs one read per block and never reads much
// more than it needs. A window never reaches past what the chain would still need were it
// contiguous.
constexpr std::uint64_t kFirstWindow = 64 * 1024;
constexpr std::uint64_t kMaxWindow = 256 * 1024;

// Most stored files span a few kilobytes; their windows live on the stack, since allocating one
// per fetch costs as much as copying such a file.
constexpr std::size_t kStackWindow = 8 * 1024;

// File bytes [start, start + length) held in memory.
class Window {
 public:
  explicit Window(std::size_t capacity) : capacity_(capacity) {
    if (capacity > kStackWindow) {
      heap_ = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
      bytes_ = heap_.get();
    }
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  std::size_t capacity() const { return capacity_; }

  // How many of the `length` bytes at `offset` the window holds from their start (0 when it does
  // not hold the first).
  std::uint64_t holds(std::uint64_t offset, std::uint64_t length) const {
    if (offset < start_ || offset - start_ >= length_) return 0;
    return std::min<std::uint64_t>(length, length_ - (offset - start_));
  }
  const std::uint8_t* at(std::uint64_t offset) const { return bytes_ + (offset - start_); }

  std::expected<void, IoError> fill(PositionedReader file, std::uint64_t offset,
                                    std::size_t length) {
    length_ = 0;
    if (auto read = file.read_exact_at_compat(std::span(bytes_, length), offset); !read) {
      return read;
    }
    start_ = offset;
    length_ = length;
    return {};
  }

 private:
  std::uint8_t on_stack_[kStackWindow];
  std::unique_ptr<std::uint8_t[]> heap_;
  std::uint8_t* bytes_ = on_stack_;
  std::size_t capacity_;
  std::uint64_t start_ = 0;
  std::size_t length_ = 0;
};

// Reads of a chain too long to keep go through a buffer of this size.
constexpr std::size_t kDiscardChunk = 64 * 1024;

DatError gathers_more_than_file(std::uint32_t offset, std::uint32_t size, ChainGeometry geometry) {
  return DatError::corruption("block chain at offset " + hex0x8(offset) + " (block size " +
                              std::to_string(geometry.block_size) + ") would gather " +
                              std::to_string(size) + " bytes from a file of " +
                              std::to_string(geometry.file_length) + " bytes");
}

// Where the fast walk puts a chain's bytes: a vector it grows, reusing its capacity...
class VectorOutput {
 public:
  VectorOutput(std::vector<std::uint8_t>& out, std::uint32_t size) : out_(out) {
    out_.clear();
    out_.reserve(size);
  }
  void append(const std::uint8_t* from, std::size_t length) {
    out_.insert(out_.end(), from, from + length);
  }
  // The next `length` bytes, for a read straight into place.
  std::span<std::uint8_t> extend(std::size_t length) {
    const std::size_t filled = out_.size();
    out_.resize(filled + length);
    return std::span(out_).subspan(filled);
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// ... or caller memory that holds the whole chain, filled from its start.
class SpanOutput {
 public:
  explicit SpanOutput(std::span<std::uint8_t> out) : next_(out.data()) {}
  void append(const std::uint8_t* from, std::size_t length) {
    std::memcpy(next_, from, length);
    next_ += length;
  }
  std::span<std::uint8_t> extend(std::size_t length) {
    const std::span<std::uint8_t> room(next_, length);
    next_ += length;
    return room;
  }

 private:
  std::uint8_t* next_;
};

// Walks a chain of at most the file's length into its output. Blocks without payload room allow
// only a zero first pointer, so with those every block is taken the straightforward way.
template <class Output>
class FastWalk {
 public:
  FastWalk(PositionedReader file, ChainGeometry geometry, std::uint32_t size, Output output)
      : file_(file),
        block_size_(geometry.block_size),
        file_length_(geometry.file_length),
        window_(reads_ahead() ? static_cast<std::size_t>(std::min(needed_span(size), kMaxWindow))
                              : 0),
        output_(output) {}

  Result<void> run(std::uint32_t offset, std::uint32_t size) {
    std::uint32_t remaining = size;
    std::uint32_t current = offset;
    while (remaining > 0) {
      if (window_.holds(current, kPointerSize) < kPointerSize && !refill(current, remaining)) {
        // The bet failed (a read error, or the end of the file): this block is read exactly as
        // the straightforward walk reads it, so any error is the one that walk would meet.
        const auto step = exact_step(current, remaining);
        if (!step) return std::unexpected(step.error());
        continue;
      }
      const auto step =
          detail::chain_step(current, load_le32(window_.at(current)), remaining, block_size_);
      if (!step) return std::unexpected(step.error());
      if (const auto read = append(step->payload_start, step->share); !read) {
        return std::unexpected(read.error());
      }
      remaining -= step->share;
      contiguous_next_ = std::uint64_t{current} + block_size_;
      current = step->next;
    }
    return {};
  }

 private:
  bool reads_ahead() const { return block_size_ > kPointerSize; }

  // The bytes a chain of `remaining` payload bytes spans from its current block if contiguous.
  std::uint64_t needed_span(std::uint64_t remaining) const {
    const std::uint64_t per_block = block_size_ - kPointerSize;
    return remaining + kPointerSize * ((remaining + per_block - 1) / per_block);
  }

  // Reads a window starting at `block`; false when that read cannot be made or fails.
  bool refill(std::uint32_t block, std::uint32_t remaining) {
    if (first_refill_) {
      first_refill_ = false;
    } else if (block == contiguous_next_) {
      bet_ = std::min(bet_ * 2, kMaxWindow);
    } else {
      bet_ = block_size_;
    }
    if (!reads_ahead() || block >= file_length_) return false;
    const std::uint64_t whole_blocks = std::max<std::uint64_t>(bet_ / block_size_, 1) * block_size_;
    const std::uint64_t length =
        std::min({needed_span(remaining), whole_blocks, std::uint64_t{window_.capacity()},
                  file_length_ - block});
    if (length < kPointerSize) return false;
    return window_.fill(file_, block, static_cast<std::size_t>(length)).has_value();
  }

  // One block the straightforward way: its pointer, then its share of the payload.
  Result<void> exact_step(std::uint32_t& current, std::uint32_t& remaining) {
    std::uint8_t pointer[kPointerSize];
    if (const auto read = file_.read_exact_at_compat(pointer, current); !read) {
      return std::unexpected(read.error());
    }
    const auto step = detail::chain_step(current, load_le32(pointer), remaining, block_size_);
    if (!step) return std::unexpected(step.error());
    if (const auto read = read_into_result(step->payload_start, step->share); !read) {
      return std::unexpected(read.error());
    }
    remaining -= step->share;
    // Whatever follows, the next window bets on one block only.
    first_refill_ = false;
    contiguous_next_.reset();
    current = step->next;
    return {};
  }

  // Appends `length` file bytes at `offset` to the output: what the window holds is copied, the
  // rest is read straight into place.
  std::expected<void, IoError> append(std::uint64_t offset, std::uint32_t length) {
    const auto held = static_cast<std::size_t>(window_.holds(offset, length));
    if (held > 0) {
      output_.append(window_.at(offset), held);
    }
    return read_into_result(offset + held, length - static_cast<std::uint32_t>(held));
  }

  std::expected<void, IoError> read_into_result(std::uint64_t offset, std::uint32_t length) {
    if (length == 0) return {};
    return file_.read_exact_at_compat(output_.extend(length), offset);
  }

  PositionedReader file_;
  std::uint32_t block_size_;
  std::uint64_t file_length_;
  Window window_;
  Output output_;
  // Where the chain continues if it runs on contiguously from the block taken last from a window.
  std::optional<std::uint64_t> contiguous_next_;
  bool first_refill_ = true;
  std::uint64_t bet_ = kFirstWindow;
};

}  // namespace

namespace detail {

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

Result<std::vector<std::uint8_t>> walk_oversized_chain(PositionedReader file,
                                                       ChainGeometry geometry, std::uint32_t offset,
                                                       std::uint32_t size) {
  // More bytes than the file holds: the walk can only fail, or succeed by reading some file bytes
  // twice. Walk it keeping nothing, and only as far as the file's length in blocks: the errors met
  // on the way are the walk's own, and once its blocks add up to more than the file it can no
  // longer succeed, however far it would go (up to 4 GiB over overlapping blocks). The scratch
  // buffer is never empty, or a chunk would not progress.
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
  const auto walked =
      walk_chain(file, geometry.block_size, offset, size, discard, geometry.file_length);
  if (!walked) return std::unexpected(walked.error());
  return std::unexpected(gathers_more_than_file(offset, size, geometry));
}

}  // namespace detail

Result<void> read_block_chain_into(PositionedReader file, ChainGeometry geometry,
                                   std::uint32_t offset, std::uint32_t size,
                                   std::vector<std::uint8_t>& out) {
  // A size beyond the file is walked keeping nothing (see the header).
  if (size > geometry.file_length) {
    out.clear();
    const auto walked = detail::walk_oversized_chain(file, geometry, offset, size);
    return std::unexpected(walked.error());
  }
  const auto walked =
      FastWalk<VectorOutput>(file, geometry, size, VectorOutput(out, size)).run(offset, size);
  if (!walked) out.clear();
  return walked;
}

Result<void> detail::read_block_chain_to(PositionedReader file, ChainGeometry geometry,
                                         std::uint32_t offset, std::uint32_t size,
                                         std::span<std::uint8_t> out) {
  if (size > geometry.file_length) {
    const auto walked = detail::walk_oversized_chain(file, geometry, offset, size);
    return std::unexpected(walked.error());
  }
  return FastWalk<SpanOutput>(file, geometry, size, SpanOutput(out.first(size))).run(offset, size);
}

Result<std::vector<std::uint8_t>> read_block_chain(PositionedReader file, ChainGeometry geometry,
                                                   std::uint32_t offset, std::uint32_t size) {
  std::vector<std::uint8_t> out;
  if (const auto walked = read_block_chain_into(file, geometry, offset, size, out); !walked) {
    return std::unexpected(walked.error());
  }
  return out;
}

}  // namespace kelvane_dat
