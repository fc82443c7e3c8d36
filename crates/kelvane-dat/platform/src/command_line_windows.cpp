#include "kelvane_platform/command_line.hpp"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdlib>

#include "kelvane_platform/wide_text.hpp"

namespace kelvane_platform {

std::vector<std::string> utf8_arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(utf8_from_wide(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

std::optional<std::string> utf8_environment_variable(std::string_view name) {
  const std::filesystem::path key = path_from_utf8(name);
  if (const wchar_t* value = ::_wgetenv(key.c_str())) return utf8_from_wide(value);
  return std::nullopt;
}

}  // namespace kelvane_platform
