// Walks a block chain of an archive image made of the input, with the read-ahead walk, with the
// straightforward one and, where the file is intact, with the walk over a mapping of it and its
// slicing form (the views of mapped files).
//
// Input: block size (u32), first block (u32), size (u32), flags (u8), then the file image. Flag
// 0x01 takes the first block and size as given; otherwise they are brought within reach of the
// image, so most inputs walk real chains. Flag 0x02: the next four bytes are an offset every read
// covering which fails with EIO. Flag 0x04: the next two bytes are how much longer the file was
// when its length was noted (it shrank since).
//
// Properties: every walk returns the same bytes or the same error; a result holds exactly the size
// asked for; a failed in-memory walk leaves its buffer empty.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "detail/block_chain.hpp"
#include "detail/block_chain_reference.hpp"
#include "detail/endian.hpp"
#include "fuzz_check.hpp"

namespace {

using kelvane_dat::IoError;
using kelvane_dat::fuzz::require;

// The image as a file, with an optional failing offset.
class ImageFile {
 public:
  ImageFile(std::span<const std::uint8_t> image, std::optional<std::uint64_t> failing_offset)
      : image_(image), failing_offset_(failing_offset) {}

  std::expected<void, IoError> read_exact_at_compat(std::span<std::uint8_t> buffer,
                                                    std::uint64_t offset) const {
    if (failing_offset_ && *failing_offset_ >= offset &&
        *failing_offset_ - offset < buffer.size()) {
      return std::unexpected(IoError::from_errno(EIO));
    }
    if (offset > image_.size() || buffer.size() > image_.size() - offset) {
      return std::unexpected(IoError::fill_whole_buffer());
    }
    std::copy_n(image_.begin() + static_cast<std::ptrdiff_t>(offset), buffer.size(),
                buffer.begin());
    return {};
  }

 private:
  std::span<const std::uint8_t> image_;
  std::optional<std::uint64_t> failing_offset_;
};

std::string outcome(const kelvane_dat::Result<std::vector<std::uint8_t>>& result) {
  if (!result) return "error " + result.error().debug_string();
  return "bytes " + std::string(result->begin(), result->end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto input = kelvane_dat::fuzz::input_bytes(data, size);
  if (input.size() < 13) return 0;
  const std::uint32_t block_size = kelvane_dat::load_le32(input.data());
  std::uint32_t offset = kelvane_dat::load_le32(input.data() + 4);
  std::uint32_t length = kelvane_dat::load_le32(input.data() + 8);
  const std::uint8_t flags = input[12];
  input = input.subspan(13);
  std::optional<std::uint64_t> failing_offset;
  if ((flags & 0x02) != 0 && input.size() >= 4) {
    failing_offset = kelvane_dat::load_le32(input.data());
    input = input.subspan(4);
  }
  std::uint64_t lost = 0;
  if ((flags & 0x04) != 0 && input.size() >= 2) {
    lost = kelvane_dat::load_le16(input.data());
    input = input.subspan(2);
  }
  if ((flags & 0x01) == 0) {
    const std::uint64_t reach = input.size() + 64;
    offset = static_cast<std::uint32_t>(offset % reach);
    length = static_cast<std::uint32_t>(length % (2 * reach));
  }

  const ImageFile file(input, failing_offset);
  const kelvane_dat::ChainGeometry geometry{block_size, input.size() + lost};
  const auto fast =
      kelvane_dat::read_block_chain(kelvane_dat::PositionedReader(file), geometry, offset, length);
  const auto reference = kelvane_dat::detail::read_block_chain_reference(
      kelvane_dat::PositionedReader(file), geometry, offset, length);
  require(outcome(fast) == outcome(reference), "the walks agree on bytes and errors");
  require(!fast || fast->size() == length, "a result holds the size asked for");

  // A mapping cannot fail a read, nor shrink without SIGBUS: only intact files compare.
  if (failing_offset || lost != 0) return 0;
  std::vector<std::uint8_t> reused(input.size() % 97, 0xEE);
  const auto mapped =
      kelvane_dat::read_block_chain_in_memory(input, block_size, offset, length, reused);
  require(mapped ? outcome(reused) == outcome(reference)
                 : outcome(std::unexpected(mapped.error())) == outcome(reference),
          "the in-memory walk agrees with the reference");
  require(mapped || reused.empty(), "a failed in-memory walk leaves its buffer empty");
  std::vector<std::span<const std::uint8_t>> slices;
  const auto sliced =
      kelvane_dat::slice_block_chain_in_memory(input, block_size, offset, length, slices);
  std::vector<std::uint8_t> joined;
  for (const auto slice : slices) {
    require(!slice.empty() && slice.data() >= input.data() &&
                slice.data() + slice.size() <= input.data() + input.size(),
            "a slice is never empty and lies in the image");
    joined.insert(joined.end(), slice.begin(), slice.end());
  }
  require(sliced ? outcome(joined) == outcome(reference)
                 : outcome(std::unexpected(sliced.error())) == outcome(reference),
          "the slicing walk agrees with the reference");
  return 0;
}
