// The installed version header agrees with itself and with the package that found it.

#include <cstdio>
#include <string>

#include "kelvane_dat/version.hpp"

int main() {
  const std::string from_parts = std::to_string(KELVANE_DAT_VERSION_MAJOR) + "." +
                                 std::to_string(KELVANE_DAT_VERSION_MINOR) + "." +
                                 std::to_string(KELVANE_DAT_VERSION_PATCH);
  if (from_parts != KELVANE_DAT_VERSION_STRING || kelvane_dat::kVersion != PACKAGE_VERSION) {
    std::fprintf(stderr, "header %s (%s), package %s\n", KELVANE_DAT_VERSION_STRING,
                 from_parts.c_str(), PACKAGE_VERSION);
    return 1;
  }
  std::printf("%s\n", KELVANE_DAT_VERSION_STRING);
  return 0;
}
