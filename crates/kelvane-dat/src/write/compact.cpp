#include <vector>

#include "kelvane_dat/archive_writer.hpp"
#include "kelvane_dat/dat_database.hpp"

namespace kelvane_dat {

Result<void> compact(const std::filesystem::path& source,
                     const std::filesystem::path& destination) {
  auto archive = DatDatabase::open(source);
  if (!archive) return std::unexpected(archive.error());
  auto writer = ArchiveWriter::create(destination, archive->header());
  if (!writer) return std::unexpected(writer.error());
  // In storage order, so the source is read front to back; the stored bytes are copied as they
  // are, compressed payloads included.
  for (const std::uint32_t id : archive->ids_in_storage_order()) {
    const DatFileEntry& entry = *archive->find(id);
    auto bytes = archive->read_file_data(entry.offset, entry.size);
    if (!bytes) return std::unexpected(bytes.error());
    if (auto added = writer->add_stored(entry, *bytes); !added) return added;
  }
  return writer->finish();
}

}  // namespace kelvane_dat
