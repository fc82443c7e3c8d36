#include "detail/block_allocator.hpp"

#include <algorithm>
#include <array>
#include <limits>

#include "detail/archive_records.hpp"
#include "detail/endian.hpp"

namespace kelvane_dat::detail {

namespace {

constexpr std::uint32_t kPointerSize = 4;

DatError outgrows_offsets() {
  return DatError::other("the archive would outgrow 4 GiB, the reach of its 32-bit offsets");
}

}  // namespace

BlockAllocator::BlockAllocator(ArchiveFile& file, std::uint32_t block_size,
                               std::deque<std::uint32_t> free_blocks, std::uint32_t tail_pointer,
                               std::uint64_t length)
    : file_(&file),
      block_size_(block_size),
      free_(std::move(free_blocks)),
      tail_pointer_(tail_pointer),
      end_((length + block_size - 1) / block_size * block_size),
      length_(length) {}

Result<std::uint32_t> BlockAllocator::store_chain(std::span<const std::uint8_t> payload) {
  if (payload.empty()) return 0;
  const std::size_t per_block = block_size_ - kPointerSize;
  const std::size_t count = (payload.size() + per_block - 1) / per_block;

  // The blocks and what each one's pointer must hold.
  std::vector<std::uint32_t> blocks;
  blocks.reserve(count);
  std::size_t reused = 0;
  while (blocks.size() < count && !free_.empty()) {
    blocks.push_back(free_.front());
    free_.pop_front();
    ++reused;
  }
  // A chain ending in a reused block keeps that block's pointer: readers never follow it.
  std::uint32_t last_pointer =
      reused == count ? (free_.empty() ? tail_pointer_ : free_.front()) : 0;
  if (free_.empty() && reused == count) tail_pointer_ = 0;
  while (blocks.size() < count) {
    if (end_ + block_size_ > std::numeric_limits<std::uint32_t>::max()) {
      return std::unexpected(outgrows_offsets());
    }
    blocks.push_back(static_cast<std::uint32_t>(end_));
    end_ += block_size_;
    length_ = end_;
  }

  // One write per run of blocks that follow each other in the file; appended blocks are written
  // whole so that the file ends with a whole block.
  std::vector<std::uint8_t> run;
  std::uint64_t run_start = 0;
  auto flush = [&]() -> Result<void> {
    if (run.empty()) return {};
    if (auto written = file_->write_all_at(run, run_start); !written) {
      return std::unexpected(written.error());
    }
    run.clear();
    return {};
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t block = blocks[i];
    if (!run.empty() && std::uint64_t{block} != run_start + run.size()) {
      if (auto flushed = flush(); !flushed) return std::unexpected(flushed.error());
    }
    if (run.empty()) run_start = block;
    const std::uint32_t next = i + 1 < count ? blocks[i + 1] : last_pointer;
    std::array<std::uint8_t, kPointerSize> pointer;
    store_le32(pointer.data(), next);
    run.insert(run.end(), pointer.begin(), pointer.end());
    const auto slice =
        payload.subspan(i * per_block, std::min(per_block, payload.size() - i * per_block));
    run.insert(run.end(), slice.begin(), slice.end());
    const bool appended = i >= reused;
    if (appended || i + 1 < count) run.resize(run.size() + (per_block - slice.size()));
  }
  if (auto flushed = flush(); !flushed) return std::unexpected(flushed.error());
  return blocks.front();
}

Result<void> BlockAllocator::release(std::vector<std::uint32_t> blocks) {
  if (blocks.empty()) return {};
  // Ascending, so that later chains taken from the list run forward through the file.
  std::sort(blocks.begin(), blocks.end());
  std::array<std::uint8_t, kPointerSize> pointer;
  if (!free_.empty()) {
    store_le32(pointer.data(), blocks.front());
    if (auto written = file_->write_all_at(pointer, free_.back()); !written) {
      return std::unexpected(written.error());
    }
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    store_le32(pointer.data(), i + 1 < blocks.size() ? blocks[i + 1] : 0);
    if (auto written = file_->write_all_at(pointer, blocks[i]); !written) {
      return std::unexpected(written.error());
    }
  }
  free_.insert(free_.end(), blocks.begin(), blocks.end());
  tail_pointer_ = 0;
  return {};
}

void BlockAllocator::describe(DatHeader& header) const {
  header.free_head = free_.empty() ? 0 : free_.front();
  header.free_tail = free_.empty() ? 0 : free_.back();
  header.free_count = static_cast<std::uint32_t>(free_.size());
  header.file_size = static_cast<std::uint32_t>(length_);
}

Result<std::vector<std::uint32_t>> chain_blocks(const ArchiveFile& file, std::uint32_t block_size,
                                                std::uint32_t offset, std::uint32_t size) {
  std::vector<std::uint32_t> blocks;
  const std::uint32_t per_block = block_size - kPointerSize;
  std::uint32_t remaining = size;
  std::uint32_t current = offset;
  while (remaining > 0) {
    blocks.push_back(current);
    std::array<std::uint8_t, kPointerSize> pointer;
    if (auto read = file.read_exact_at_compat(pointer, current); !read) {
      return std::unexpected(read.error());
    }
    const std::uint32_t next = load_le32(pointer.data());
    if (next == 0) break;
    remaining -= std::min(remaining, per_block);
    current = next;
  }
  return blocks;
}

}  // namespace kelvane_dat::detail
