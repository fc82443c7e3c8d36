#include "support/archive_contents.hpp"

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "kelvane_dat/archive_writer.hpp"
#include "kelvane_dat/dat_database.hpp"
#include "kelvane_dat/layout_check.hpp"
#include "support/contract_check.hpp"
#include "support/temp_file.hpp"

namespace kelvane_dat::test_support {

Bytes letter_content(std::size_t size, std::uint64_t seed, unsigned letters) {
  std::mt19937_64 random(seed);
  Bytes out(size);
  for (auto& byte : out) byte = static_cast<std::uint8_t>('a' + random() % letters);
  return out;
}

Bytes read_file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes archive_image(const Contents& files, std::uint32_t block_size) {
  const TempFile scratch(Bytes{}, "kelvane_image");
  DatHeader header;
  header.magic = DatHeader::kMagic;
  header.block_size = block_size;
  auto writer = ArchiveWriter::create(scratch.path(), header).value();
  for (const auto& [id, data] : files) writer.add(id, data, {id % 2 == 0}).value();
  writer.finish().value();
  return read_file_bytes(scratch.path());
}

namespace {

template <class E>
std::string text_of(const E& error) {
  std::ostringstream out;
  out << error;
  return out.str();
}

}  // namespace

std::expected<Contents, std::string> checked_contents(const std::filesystem::path& path,
                                                      bool contract) {
  const auto archive = DatDatabase::open(path);
  if (!archive) return std::unexpected(text_of(archive.error()));
  const auto layout = check_layout(*archive);
  if (!layout) return std::unexpected(text_of(layout.error()));
  if (!layout->overlaps.empty())
    return std::unexpected("the layout check finds overlapping chains");
  if (contract) {
    if (auto broken = contract_violation(*archive, std::filesystem::file_size(path))) {
      return std::unexpected(std::move(*broken));
    }
  }
  Contents out;
  for (const std::uint32_t id : archive->ids()) {
    auto data = archive->get_file(id);
    if (!data) return std::unexpected(text_of(data.error()));
    out[id] = std::move(*data);
  }
  return out;
}

}  // namespace kelvane_dat::test_support
