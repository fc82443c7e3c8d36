#include "kelvane_dat/debug_format.hpp"

#include <cstdio>

#include "detail/utf8.hpp"

namespace kelvane_dat {

std::string hex8(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(value));
  return buffer;
}

std::string hex0x8(std::uint32_t value) { return "0x" + hex8(value); }

std::string hex_lower(std::uint64_t value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(value));
  return buffer;
}

std::string debug_string(std::uint32_t value) { return std::to_string(value); }

std::string debug_string(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  detail::for_each_code_point(text, [&out](char32_t c) { detail::append_debug_escaped(out, c); });
  out.push_back('"');
  return out;
}

std::string path_to_lossy_utf8(const std::filesystem::path& path) {
  std::string out;
  const std::string& native = path.native();
  out.reserve(native.size());
  detail::for_each_code_point(native, [&out](char32_t c) { detail::append_utf8(out, c); });
  return out;
}

}  // namespace kelvane_dat
