#include "kelvane_platform/command_line.hpp"

#include <cstdlib>

namespace kelvane_platform {

// POSIX passes arguments and the environment through as bytes; UTF-8 on any modern system.
std::vector<std::string> utf8_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::optional<std::string> utf8_environment_variable(std::string_view name) {
  const std::string key(name);
  if (const char* value = std::getenv(key.c_str())) return std::string(value);
  return std::nullopt;
}

}  // namespace kelvane_platform
