#pragma once

// What a program receives from its caller, as UTF-8 on every system. (On Windows, argv and getenv
// use the legacy code page, which cannot hold every file name.)

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane_platform {

// The program's arguments, argv[0] included.
std::vector<std::string> utf8_arguments(int argc, char** argv);

// The value of an environment variable, when it is set.
std::optional<std::string> utf8_environment_variable(std::string_view name);

// A path from UTF-8 text, whatever the system's narrow encoding.
inline std::filesystem::path path_from_utf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// A path as UTF-8 text, for messages; path::string() would use the legacy code page on Windows.
inline std::string path_to_utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace kelvane_platform
