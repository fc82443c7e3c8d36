#pragma once

// Synthetic archives in the exact on-disk format, for tests, fuzz seeds, samples and benchmarks.
//
// The builder keeps the whole file image in memory: the 0x140 bytes nobody reads, the 80-byte
// header (written from `header` when the image is finished), then blocks. Blocks are allocated at
// the end of the image, aligned to the block size, and can be linked in any order, so chains can
// be fragmented, interleaved and out of order. Every value is written as given: the builder checks
// nothing, so hostile archives are as easy to make as sound ones.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/dat_header.hpp"

namespace kelvane_dat::test_support {

enum class ChainOrder {
  Ascending,   // each block follows the previous one in the file
  Descending,  // each block lies before the previous one
  Shuffled,    // blocks in a seeded random order
};

struct ChainLayout {
  ChainOrder order = ChainOrder::Ascending;
  std::uint64_t seed = 0;
  // The pointer written into the block that completes the chain; readers never follow it.
  std::uint32_t last_pointer = 0;
};

struct DirectoryNode {
  std::array<std::uint32_t, DatDatabase::kBranchCount> branches{};
  // Only the first 61 fit in a node; more is a test bug.
  std::vector<DatFileEntry> entries;
  // Written instead of entries.size() when set, e.g. to claim more entries than the node holds.
  std::optional<std::uint32_t> entry_count;
};

struct StoreOptions {
  bool compressed = false;
  // Other flag bits, written alongside the compression bit.
  std::uint32_t extra_flags = 0;
  std::uint32_t timestamp = 0;
  std::uint32_t version = 0;
  ChainLayout layout;
};

// A directory node whose blocks are allocated before its contents are known, so branches can
// point at it (or at nodes on its own path) before it is written.
struct NodeSlot {
  std::vector<std::uint32_t> blocks;
  std::uint32_t offset() const { return blocks.front(); }
};

std::array<std::uint8_t, DatFileEntry::kEncodedSize> encode_entry(const DatFileEntry& entry);
// The 1716 bytes of a node.
std::vector<std::uint8_t> encode_node(const DirectoryNode& node);

class ArchiveBuilder {
 public:
  // `block_size` is what blocks are allocated with; it must leave room for payload (5 or more).
  // header.block_size starts equal to it and may be changed to lie about it.
  explicit ArchiveBuilder(std::uint32_t block_size = 1024);

  // Written verbatim when the image is finished. Starts with the "BT" marker, the block size and
  // zeros elsewhere.
  DatHeader header;
  // When set, header.file_size is overwritten with the image's length on finishing.
  bool fill_file_size = true;

  std::uint32_t block_size() const { return block_size_; }
  std::uint64_t size() const { return image_.size(); }
  // Payload blocks needed for `payload_size` bytes (at least one).
  std::size_t blocks_for(std::size_t payload_size) const;

  // Raw access to the image. Writes past the end grow it with zeros.
  std::vector<std::uint32_t> new_blocks(std::size_t count);
  std::uint32_t append_raw(std::span<const std::uint8_t> bytes);
  void write_bytes(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  void write_u32(std::uint64_t offset, std::uint32_t value);
  void resize(std::uint64_t length);

  // Spreads `payload` over `blocks` in the order given (as many as it needs, at least one), links
  // them and writes `last_pointer` into the last one used. Returns the first block's offset.
  std::uint32_t write_chain(std::span<const std::uint8_t> payload,
                            std::span<const std::uint32_t> blocks, std::uint32_t last_pointer = 0);
  // Allocates blocks for `payload`, orders them as asked and writes the chain.
  std::uint32_t store_chain(std::span<const std::uint8_t> payload, const ChainLayout& layout = {});
  // A zero pointer followed by the whole payload, however many blocks' worth it is.
  std::uint32_t store_contiguous(std::span<const std::uint8_t> payload);

  // Stores `data` (compressed with compress_lrs when asked) and returns the entry describing it.
  DatFileEntry store_file(std::uint32_t id, std::span<const std::uint8_t> data,
                          const StoreOptions& options = {});

  std::uint32_t store_node(const DirectoryNode& node, const ChainLayout& layout = {});
  NodeSlot reserve_node(const ChainLayout& layout = {});
  void fill_node(const NodeSlot& slot, const DirectoryNode& node, std::uint32_t last_pointer = 0);
  // Hand-made node bytes (any length) stored as a chain.
  std::uint32_t store_node_bytes(std::span<const std::uint8_t> bytes,
                                 const ChainLayout& layout = {});

  // Writes the header into the image and returns it.
  const std::vector<std::uint8_t>& finish();
  std::vector<std::uint8_t> bytes() { return finish(); }
  // Finishes and writes the image to `path`; the error text names what failed.
  std::optional<std::string> write_to(const std::filesystem::path& path);

 private:
  std::vector<std::uint32_t> ordered_blocks(std::size_t count, const ChainLayout& layout);

  std::uint32_t block_size_;
  std::vector<std::uint8_t> image_;
};

}  // namespace kelvane_dat::test_support
