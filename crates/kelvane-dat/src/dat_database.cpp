#include "kelvane_dat/dat_database.hpp"

#include <utility>

#include "kelvane_dat/block_chain.hpp"
#include "kelvane_dat/decompress.hpp"

namespace kelvane_dat {

DatDatabase::DatDatabase(DatHeader header_value, FileDescriptor file, std::uint64_t file_length)
    : header(header_value), file_(std::move(file)), file_length_(file_length) {}

Result<DatDatabase> DatDatabase::open(const std::filesystem::path& path) {
  auto file = FileDescriptor::open_read_only(path);
  if (!file) return std::unexpected(DatError::path_error(path, file.error()));
  // The header is the one record read through the file position; everything after it uses
  // positioned reads.
  if (const auto seek = file->seek(DatHeader::kFileOffset); !seek) {
    return std::unexpected(seek.error());
  }
  FileCursor cursor(*file);
  const auto header = DatHeader::read(cursor);
  if (!header) return std::unexpected(header.error());
  // Bounds every allocation a chain walk makes and the number of node reads an open may take.
  const auto length = file->size();
  if (!length) return std::unexpected(length.error());

  DatDatabase database(*header, std::move(*file), *length);
  if (const auto walked = database.read_directory(); !walked) {
    return std::unexpected(walked.error());
  }
  return database;
}

Result<std::vector<std::uint8_t>> DatDatabase::read_file_data(std::uint32_t offset,
                                                              std::uint32_t size) const {
  return read_block_chain(reader(), chain_geometry(), offset, size);
}

Result<std::vector<std::uint8_t>> DatDatabase::get_file(std::uint32_t id) const {
  const auto found = files.find(id);
  if (found == files.end()) return std::unexpected(DatError::not_found(id));
  const DatFileEntry& entry = found->second;
  auto stored = read_file_data(entry.offset, entry.size);
  if (!stored || !entry.is_compressed()) return stored;
  // The expanded length is not checked against anything: whatever the payload yields is the file.
  return decompress_lrs(*stored);
}

}  // namespace kelvane_dat
