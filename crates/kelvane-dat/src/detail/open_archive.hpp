#pragma once

// What a DatDatabase holds of the archive file: the open file, its chain geometry, the mapping when
// opened mapped, and where the directory's nodes are. On the heap behind the handle, so that views
// of the file (a PositionedReader) stay valid when the handle moves.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "detail/block_chain.hpp"
#include "detail/file_descriptor.hpp"
#include "detail/mapped_file.hpp"
#include "kelvane_dat/error.hpp"

namespace kelvane_dat::detail {

struct OpenArchive {
  OpenArchive(FileDescriptor file_value, ChainGeometry geometry_value,
              std::optional<MappedFile> mapping_value)
      : file(std::move(file_value)), geometry(geometry_value), mapping(std::move(mapping_value)) {}

  // The chain walk into `out`, from the mapping when there is one (the same bytes and errors).
  [[nodiscard]] Result<void> read_chain_into(std::uint32_t offset, std::uint32_t size,
                                             std::vector<std::uint8_t>& out) const;

  FileDescriptor file;
  ChainGeometry geometry;
  // The whole file as it was at open, when opened mapped.
  std::optional<MappedFile> mapping;
  // The offset of every directory node in the order open read them; a node that two branches lead
  // to is listed twice.
  std::vector<std::uint32_t> directory_nodes;
};

}  // namespace kelvane_dat::detail
