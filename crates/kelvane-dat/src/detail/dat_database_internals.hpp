#pragma once

// The way into an open DatDatabase for the library's own whole-archive code (the layout check, an
// archive writer): the raw file, its chain geometry, raw blocks and directory nodes. None of it is
// public API; the handle befriends this class alone.

#include <cstdint>
#include <vector>

#include "detail/block_chain.hpp"
#include "detail/directory_node.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

class DatDatabaseInternals {
 public:
  // The archive file, for chain walks. Valid as long as the handle, wherever it moves.
  static PositionedReader reader(const DatDatabase& archive) noexcept;
  // The block size and the file's length at open.
  static ChainGeometry chain_geometry(const DatDatabase& archive) noexcept;
  // The offset of every directory node in the order open read them; a node that two branches lead
  // to is listed twice.
  static const std::vector<std::uint32_t>& directory_nodes(const DatDatabase& archive) noexcept;

  // The block at `offset` as stored: its 4-byte next pointer, then its payload. Io ("failed to fill
  // whole buffer") when the file ends inside it; nothing is allocated for such a block.
  [[nodiscard]] static Result<std::vector<std::uint8_t>> read_block(const DatDatabase& archive,
                                                                    std::uint32_t offset);
  // The directory node whose chain starts at `offset`, decoded as open decoded it.
  [[nodiscard]] static Result<DirectoryNode> read_directory_node(const DatDatabase& archive,
                                                                 std::uint32_t offset);
};

}  // namespace kelvane_dat::detail
