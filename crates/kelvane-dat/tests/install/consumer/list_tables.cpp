// Lists the string tables of an archive and prints one text: the example of the README.

#include <cstdio>

#include "kelvane_dat/kelvane_dat.hpp"

using namespace kelvane_dat;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Result<DatDatabase> dat = DatDatabase::open(argv[1]);
  if (!dat) {
    std::fprintf(stderr, "%s\n", dat.error().to_string().c_str());
    return 1;
  }
  for (const auto& [id, entry] : dat->files) {  // in no particular order
    if (from_id_in_dat(id, dat->dat_kind()) == DatFileType::StringTable) {
      std::printf("0x%08X  %u bytes\n", id, entry.size);
    }
  }
  std::vector<std::uint8_t> bytes = dat->get_file(0x2300000A).value();
  ByteCursor cursor(bytes);
  StringTable table = StringTable::read_le(cursor).value();
  std::printf("%s\n", table.strings.at(0x014152D5).strings.at(0).c_str());
}
