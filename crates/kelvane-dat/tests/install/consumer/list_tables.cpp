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
  for (const std::uint32_t id : dat->ids(DatFileType::StringTable)) {  // ascending
    std::printf("0x%08X  %u bytes\n", id, dat->find(id)->size);
  }
  StringTable table = dat->string_table(0x2300000A).value();
  std::printf("%s\n", table.strings.at(0x014152D5).strings.at(0).c_str());
}
