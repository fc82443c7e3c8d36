#include "detail/block_chain_reference.hpp"

#include <cstddef>
#include <span>

#include "detail/chain_walk.hpp"

namespace kelvane_dat::detail {

Result<std::vector<std::uint8_t>> read_block_chain_reference(PositionedReader file,
                                                             ChainGeometry geometry,
                                                             std::uint32_t offset,
                                                             std::uint32_t size) {
  if (size > geometry.file_length) return walk_oversized_chain(file, geometry, offset, size);

  std::vector<std::uint8_t> buffer(size);
  const std::span<std::uint8_t> whole(buffer);
  auto into_place = [&](std::uint64_t at, std::uint32_t length, std::uint64_t filled) {
    return file.read_exact_at_compat(whole.subspan(static_cast<std::size_t>(filled), length), at);
  };
  const auto walked = walk_chain(file, geometry.block_size, offset, size, into_place, std::nullopt);
  if (!walked) return std::unexpected(walked.error());
  return buffer;
}

}  // namespace kelvane_dat::detail
