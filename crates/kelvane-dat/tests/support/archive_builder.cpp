#include "support/archive_builder.hpp"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <random>

#include "detail/archive_records.hpp"
#include "kelvane_dat/compress.hpp"

namespace kelvane_dat::test_support {

namespace {

constexpr std::size_t kPointerSize = 4;

std::uint32_t checked_offset(std::uint64_t offset) {
  // Archive offsets are 32-bit; an image that outgrows them is a test bug.
  if (offset > 0xFFFFFFFFu) std::abort();
  return static_cast<std::uint32_t>(offset);
}

}  // namespace

std::array<std::uint8_t, DatFileEntry::kEncodedSize> encode_entry(const DatFileEntry& entry) {
  return detail::encode_entry(entry);
}

std::vector<std::uint8_t> encode_node(const DirectoryNode& node) {
  if (node.entries.size() > DatDatabase::kMaxEntries) std::abort();
  return detail::encode_node(
      node.branches, node.entries,
      node.entry_count.value_or(static_cast<std::uint32_t>(node.entries.size())));
}

ArchiveBuilder::ArchiveBuilder(std::uint32_t block_size)
    : block_size_(block_size), image_(detail::kHeaderEnd, 0) {
  if (block_size <= kPointerSize) std::abort();
  header.magic = DatHeader::kMagic;
  header.block_size = block_size;
}

std::size_t ArchiveBuilder::blocks_for(std::size_t payload_size) const {
  const std::size_t per_block = block_size_ - kPointerSize;
  return std::max<std::size_t>(1, (payload_size + per_block - 1) / per_block);
}

std::vector<std::uint32_t> ArchiveBuilder::new_blocks(std::size_t count) {
  const std::uint64_t start =
      (image_.size() + block_size_ - 1) / block_size_ * std::uint64_t{block_size_};
  resize(start + count * std::uint64_t{block_size_});
  std::vector<std::uint32_t> blocks(count);
  for (std::size_t i = 0; i < count; ++i) blocks[i] = checked_offset(start + i * block_size_);
  return blocks;
}

std::uint32_t ArchiveBuilder::append_raw(std::span<const std::uint8_t> bytes) {
  const std::uint32_t offset = checked_offset(image_.size());
  image_.insert(image_.end(), bytes.begin(), bytes.end());
  return offset;
}

void ArchiveBuilder::write_bytes(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (offset + bytes.size() > image_.size()) resize(offset + bytes.size());
  std::copy(bytes.begin(), bytes.end(), image_.begin() + static_cast<std::ptrdiff_t>(offset));
}

void ArchiveBuilder::write_u32(std::uint64_t offset, std::uint32_t value) {
  std::uint8_t bytes[4];
  detail::store_le32(bytes, value);
  write_bytes(offset, bytes);
}

void ArchiveBuilder::resize(std::uint64_t length) {
  image_.resize(static_cast<std::size_t>(length));
}

std::uint32_t ArchiveBuilder::write_chain(std::span<const std::uint8_t> payload,
                                          std::span<const std::uint32_t> blocks,
                                          std::uint32_t last_pointer) {
  const std::size_t needed = blocks_for(payload.size());
  if (blocks.size() < needed) std::abort();
  const std::size_t per_block = block_size_ - kPointerSize;
  for (std::size_t i = 0; i < needed; ++i) {
    const std::uint32_t next = i + 1 < needed ? blocks[i + 1] : last_pointer;
    write_u32(blocks[i], next);
    const std::size_t begin = std::min(payload.size(), i * per_block);
    const std::size_t length = std::min(payload.size() - begin, per_block);
    write_bytes(std::uint64_t{blocks[i]} + kPointerSize, payload.subspan(begin, length));
  }
  return blocks.front();
}

std::vector<std::uint32_t> ArchiveBuilder::ordered_blocks(std::size_t count,
                                                          const ChainLayout& layout) {
  std::vector<std::uint32_t> blocks = new_blocks(count);
  switch (layout.order) {
    case ChainOrder::Ascending:
      break;
    case ChainOrder::Descending:
      std::reverse(blocks.begin(), blocks.end());
      break;
    case ChainOrder::Shuffled: {
      std::mt19937_64 random(layout.seed);
      std::shuffle(blocks.begin(), blocks.end(), random);
      break;
    }
  }
  return blocks;
}

std::uint32_t ArchiveBuilder::store_chain(std::span<const std::uint8_t> payload,
                                          const ChainLayout& layout) {
  const auto blocks = ordered_blocks(blocks_for(payload.size()), layout);
  return write_chain(payload, blocks, layout.last_pointer);
}

std::uint32_t ArchiveBuilder::store_contiguous(std::span<const std::uint8_t> payload) {
  const auto first = new_blocks(1).front();
  write_u32(first, 0);
  write_bytes(std::uint64_t{first} + kPointerSize, payload);
  // Keep later allocations block-aligned after the run.
  resize((image_.size() + block_size_ - 1) / block_size_ * std::uint64_t{block_size_});
  return first;
}

DatFileEntry ArchiveBuilder::store_file(std::uint32_t id, std::span<const std::uint8_t> data,
                                        const StoreOptions& options) {
  DatFileEntry entry;
  entry.id = id;
  entry.bit_flags = options.extra_flags | (options.compressed ? DatFileEntry::kCompressedFlag : 0);
  entry.timestamp = options.timestamp;
  entry.version = options.version;
  if (options.compressed) {
    const auto payload = compress_lrs(data).value();
    entry.size = checked_offset(payload.size());
    entry.offset = store_chain(payload, options.layout);
  } else {
    entry.size = checked_offset(data.size());
    entry.offset = store_chain(data, options.layout);
  }
  return entry;
}

std::uint32_t ArchiveBuilder::store_node(const DirectoryNode& node, const ChainLayout& layout) {
  return store_chain(encode_node(node), layout);
}

NodeSlot ArchiveBuilder::reserve_node(const ChainLayout& layout) {
  return NodeSlot{ordered_blocks(blocks_for(DatDatabase::kNodeSize), layout)};
}

void ArchiveBuilder::fill_node(const NodeSlot& slot, const DirectoryNode& node,
                               std::uint32_t last_pointer) {
  write_chain(encode_node(node), slot.blocks, last_pointer);
}

std::uint32_t ArchiveBuilder::store_node_bytes(std::span<const std::uint8_t> bytes,
                                               const ChainLayout& layout) {
  return store_chain(bytes, layout);
}

const std::vector<std::uint8_t>& ArchiveBuilder::finish() {
  if (fill_file_size) header.file_size = checked_offset(image_.size());
  const auto encoded = detail::encode_header(header);
  std::copy(encoded.begin(), encoded.end(),
            image_.begin() + static_cast<std::ptrdiff_t>(DatHeader::kFileOffset));
  return image_;
}

std::optional<std::string> ArchiveBuilder::write_to(const std::filesystem::path& path) {
  const auto& image = finish();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return "cannot create " + path.string();
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  out.close();
  if (!out) return "cannot write " + path.string();
  return std::nullopt;
}

}  // namespace kelvane_dat::test_support
