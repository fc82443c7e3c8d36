#include "detail/dat_database_internals.hpp"

#include "detail/open_archive.hpp"

namespace kelvane_dat::detail {

PositionedReader DatDatabaseInternals::reader(const DatDatabase& archive) noexcept {
  return PositionedReader(archive.archive_->file);
}

ChainGeometry DatDatabaseInternals::chain_geometry(const DatDatabase& archive) noexcept {
  return archive.archive_->geometry;
}

const std::vector<std::uint32_t>& DatDatabaseInternals::directory_nodes(
    const DatDatabase& archive) noexcept {
  return archive.archive_->directory_nodes;
}

Result<std::vector<std::uint8_t>> DatDatabaseInternals::read_block(const DatDatabase& archive,
                                                                   std::uint32_t offset) {
  const ChainGeometry geometry = archive.archive_->geometry;
  if (std::uint64_t{offset} + geometry.block_size > geometry.file_length) {
    return std::unexpected(IoError::fill_whole_buffer());
  }
  std::vector<std::uint8_t> block(geometry.block_size);
  if (const auto read = reader(archive).read_exact_at_compat(block, offset); !read) {
    return std::unexpected(read.error());
  }
  return block;
}

Result<DirectoryNode> DatDatabaseInternals::read_directory_node(const DatDatabase& archive,
                                                                std::uint32_t offset) {
  std::vector<std::uint8_t> bytes;
  if (const auto read = archive.archive_->read_chain_into(offset, DatDatabase::kNodeSize, bytes);
      !read) {
    return std::unexpected(read.error());
  }
  auto node = DirectoryNode::decode(bytes);
  if (!node) return std::unexpected(node.error());
  return std::move(*node);
}

}  // namespace kelvane_dat::detail
