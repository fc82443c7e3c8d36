// Compiled twice by ignored_result_test.cmake: keeping the result of open must compile, dropping it
// must not under -Werror=unused-result, since an unchecked open is an unnoticed failure.

#include "kelvane_dat/dat_database.hpp"

int main() {
#if defined(KELVANE_DROP_RESULT)
  kelvane_dat::DatDatabase::open("archive.dat");
  return 0;
#else
  return kelvane_dat::DatDatabase::open("archive.dat").has_value() ? 0 : 1;
#endif
}
