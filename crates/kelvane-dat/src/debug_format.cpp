#include "detail/debug_format.hpp"

#include <vector>

#include "detail/utf16.hpp"
#include "detail/utf8.hpp"

namespace kelvane_dat {

std::string debug_string(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  detail::for_each_code_point(text, [&out](char32_t c) { detail::append_debug_escaped(out, c); });
  out.push_back('"');
  return out;
}

namespace {

// A path's native form is bytes on POSIX and UTF-16 units (maybe unpaired surrogates) on Windows;
// the other overload is unused.
[[maybe_unused]] std::string native_to_lossy_utf8(const std::string& native) {
  std::string out;
  out.reserve(native.size());
  detail::for_each_code_point(native, [&out](char32_t c) { detail::append_utf8(out, c); });
  return out;
}

[[maybe_unused]] std::string native_to_lossy_utf8(const std::wstring& native) {
  std::vector<std::uint8_t> units;
  units.reserve(2 * native.size());
  for (const wchar_t unit : native) {
    units.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    units.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
  }
  return detail::utf16le_to_utf8_lossy(units);
}

}  // namespace

std::string path_to_lossy_utf8(const std::filesystem::path& path) {
  return native_to_lossy_utf8(path.native());
}

}  // namespace kelvane_dat
