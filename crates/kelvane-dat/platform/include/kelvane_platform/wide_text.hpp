#pragma once

// UTF-8 to and from the UTF-16 of Windows' wide API, for the Windows sources of the system layer
// and of the library. Invalid input becomes U+FFFD, as the system converts it.

#if defined(_WIN32)

#include <windows.h>

#include <string>
#include <string_view>

namespace kelvane_platform {

inline std::string utf8_from_wide(std::wstring_view wide) {
  const int length = static_cast<int>(wide.size());
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

inline std::wstring wide_from_utf8(std::string_view utf8) {
  const int length = static_cast<int>(utf8.size());
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), size);
  return wide;
}

}  // namespace kelvane_platform

#endif
