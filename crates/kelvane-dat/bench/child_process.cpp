#include "child_process.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

extern char** environ;

namespace kelvane_dat::bench {

std::optional<double> cpu_seconds_of(const ChildRun& run) {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "KELVANE_", 8) != 0) variables.emplace_back(*entry);
  }
  variables.insert(variables.end(), run.environment.begin(), run.environment.end());
  std::vector<char*> environment;
  for (auto& variable : variables) environment.push_back(variable.data());
  environment.push_back(nullptr);

  std::string program = run.program;
  std::vector<std::string> args = run.args;
  std::vector<char*> arguments = {program.data()};
  for (std::string& arg : args) arguments.push_back(arg.data());
  arguments.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int spawned =
      posix_spawn(&child, program.c_str(), &actions, nullptr, arguments.data(), environment.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;

  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)) return std::nullopt;
  if (std::find(run.accepted_statuses.begin(), run.accepted_statuses.end(), WEXITSTATUS(status)) ==
      run.accepted_statuses.end()) {
    return std::nullopt;
  }
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace kelvane_dat::bench
