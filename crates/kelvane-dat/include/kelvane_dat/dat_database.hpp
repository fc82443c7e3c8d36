#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <unordered_map>
#include <vector>

#include "kelvane_dat/block_chain.hpp"
#include "kelvane_dat/dat_file_entry.hpp"
#include "kelvane_dat/dat_header.hpp"
#include "kelvane_dat/error.hpp"
#include "kelvane_dat/file_descriptor.hpp"
#include "kelvane_dat/file_type/dat_kind.hpp"

namespace kelvane_dat {

// An open archive: its header, its whole directory and the open file.
//
// The directory is read eagerly at open, file contents lazily: every get_file reads the file again
// and nothing is cached. A handle exists only fully opened and never changes afterwards; all reads
// are positioned reads, so one handle may serve several threads at once. Movable, not copyable;
// destroying it closes the file.
class DatDatabase {
 public:
  // A directory node: 62 child offsets, an entry count and room for 61 entries.
  static constexpr std::size_t kBranchCount = 62;
  static constexpr std::size_t kMaxEntries = 61;
  static constexpr std::uint32_t kNodeSize = 1716;
  // Bounds for hostile directories. Real trees are a handful of levels deep; a legitimate tree
  // reads each node once and no two nodes share a byte of the file.
  static constexpr std::size_t kMaxDirectoryDepth = 64;

  // Opens the archive at `path`, decodes its header (not validated) and reads the whole directory.
  // On any failure the file is closed and no handle exists. Failures: PathError (the path as
  // given) when the file cannot be opened, BinRead when the header cannot be decoded, Io when a
  // directory node cannot be read, BinRead when a node's entries overrun it, Corruption for a
  // directory that loops, nests deeper than kMaxDirectoryDepth or needs more node reads than the
  // file has runs of 1720 bytes (a node and one block pointer), or 64 in a smaller file.
  static Result<DatDatabase> open(const std::filesystem::path& path);

  DatDatabase(DatDatabase&&) noexcept = default;
  DatDatabase& operator=(DatDatabase&&) noexcept = default;
  DatDatabase(const DatDatabase&) = delete;
  DatDatabase& operator=(const DatDatabase&) = delete;

  // The file's bytes, expanded when its entry is compressed. NotFound for an unknown id.
  Result<std::vector<std::uint8_t>> get_file(std::uint32_t id) const;
  DatKind dat_kind() const { return header.dat_kind(); }
  // The chain walk (see read_block_chain) over this archive's file and block size.
  Result<std::vector<std::uint8_t>> read_file_data(std::uint32_t offset, std::uint32_t size) const;
  // The archive file and its chain geometry, for walks over raw blocks such as the layout check.
  PositionedReader reader() const noexcept { return PositionedReader(file_); }
  ChainGeometry chain_geometry() const noexcept { return {header.block_size, file_length_}; }
  // The offset of every directory node in the order open read them; a node that two branches lead
  // to is listed twice.
  const std::vector<std::uint32_t>& directory_nodes() const noexcept { return directory_nodes_; }

  DatHeader header;
  // One entry per distinct id; where an id occurs more than once the entry met last in the
  // pre-order walk wins.
  std::unordered_map<std::uint32_t, DatFileEntry> files;

 private:
  DatDatabase(DatHeader header, FileDescriptor file, std::uint64_t file_length);

  // The steps of opening: walk the tree from the header's root offset, depth first in pre-order,
  // children in slot order.
  Result<void> read_directory();
  Result<void> read_node(std::uint32_t offset);

  FileDescriptor file_;
  std::uint64_t file_length_;
  std::vector<std::uint32_t> directory_nodes_;
};

}  // namespace kelvane_dat
