#include "kelvane_platform/errno_text.hpp"

#include <cstring>

namespace kelvane_platform {

std::string errno_text(int code) {
  char buffer[256] = {};
  ::strerror_s(buffer, sizeof buffer, code);
  return std::string(buffer) + " (os error " + std::to_string(code) + ")";
}

}  // namespace kelvane_platform
