#pragma once

/// \file
/// Block chains: how everything after the header is stored.
///
/// A block is `block_size` bytes: a 4-byte little-endian pointer to the next block of the same
/// chain (0 = none) followed by payload. A chain has no length of its own; the number of bytes to
/// gather always comes from outside (an entry's size, or a directory node's fixed size).

#include <cstdint>
#include <expected>
#include <span>
#include <vector>

#include "kelvane_dat/error.hpp"
#include "kelvane_dat/io_error.hpp"

namespace kelvane_dat {

/// A non-owning view of anything offering a const `read_exact_at_compat(std::span<std::uint8_t>,
/// std::uint64_t)` that returns `std::expected<void, IoError>`, so the chain walk runs over the
/// archive file and, in tests, over sources that record each read. The viewed source must outlive
/// the view.
class PositionedReader {
 public:
  template <class Source>
  /// Views `source`, which must outlive the view.
  explicit PositionedReader(const Source& source)
      : source_(&source), read_(&read_through<Source>) {}

  /// Fills all of `buffer` from the source at `offset`, as the viewed source does.
  [[nodiscard]] std::expected<void, IoError> read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                                  std::uint64_t offset) const {
    return read_(source_, buffer, offset);
  }

 private:
  using ReadFunction = std::expected<void, IoError> (*)(const void*, std::span<std::uint8_t>,
                                                        std::uint64_t);

  template <class Source>
  static std::expected<void, IoError> read_through(const void* source,
                                                   std::span<std::uint8_t> buffer,
                                                   std::uint64_t offset) {
    return static_cast<const Source*>(source)->read_exact_at_compat(buffer, offset);
  }

  const void* source_;
  ReadFunction read_;
};

/// What a chain walk needs to know of the archive.
struct ChainGeometry {
  /// From the header; includes the 4-byte pointer.
  std::uint32_t block_size = 0;
  /// The archive file's length, noted once at open (archives are not written while open).
  std::uint64_t file_length = 0;
};

/// Gathers `size` bytes from the chain whose first block is at `offset`.
///
/// Each block gives its share of the payload; the pointer of the block that completes the data is
/// read but not followed; a zero pointer means everything still missing follows it contiguously.
/// `size` 0 reads nothing. The result is allocated once, in full, before the first read.
///
/// The walk reads ahead: one positioned read serves as many blocks as prove contiguous in the file,
/// and a scattered chain costs at most one read per block. It returns exactly the bytes and errors
/// of the straightforward walk (two reads per block, pointer then payload), which any failed
/// read-ahead falls back to.
///
/// Failures, in the order the walk meets them: a failed read is DatError::Io ("failed to fill whole
/// buffer" past the end of the file); following a non-zero pointer with a block size of 4 or less,
/// or a block whose payload start does not fit in 32 bits, is DatError::Corruption.
///
/// A `size` beyond the file's length is never allocated: the chain is walked without keeping its
/// bytes, as far as its blocks add up to the file's length, and fails with the error the walk meets
/// on that stretch; a chain that gets further can only be read through blocks that overlap or
/// loop, and is Corruption. So the walk costs at most the file's length in blocks.
[[nodiscard]] Result<std::vector<std::uint8_t>> read_block_chain(PositionedReader file,
                                                                 ChainGeometry geometry,
                                                                 std::uint32_t offset,
                                                                 std::uint32_t size);

/// read_block_chain into a caller's buffer, for callers that read many chains: `out` is replaced by
/// the chain's bytes, reusing its capacity, and left empty on failure.
[[nodiscard]] Result<void> read_block_chain_into(PositionedReader file, ChainGeometry geometry,
                                                 std::uint32_t offset, std::uint32_t size,
                                                 std::vector<std::uint8_t>& out);

/// The same walk over a whole archive file held in memory (a mapping of it): exactly the bytes and
/// errors read_block_chain_into returns over a file of `image.size()` bytes, taken straight from
/// memory without a read or a window.
[[nodiscard]] Result<void> read_block_chain_in_memory(std::span<const std::uint8_t> image,
                                                      std::uint32_t block_size,
                                                      std::uint32_t offset, std::uint32_t size,
                                                      std::vector<std::uint8_t>& out);

/// The in-memory walk without the copy: `slices` is replaced by the chain's payloads where they lie
/// in `image`, in order, and left empty on failure. The same errors as read_block_chain_in_memory,
/// and the concatenated slices are its bytes.
[[nodiscard]] Result<void> slice_block_chain_in_memory(
    std::span<const std::uint8_t> image, std::uint32_t block_size, std::uint32_t offset,
    std::uint32_t size, std::vector<std::span<const std::uint8_t>>& slices);

}  // namespace kelvane_dat
