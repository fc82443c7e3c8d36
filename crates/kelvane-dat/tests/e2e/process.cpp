#include "process.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kelvane_dat::e2e {

namespace {

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::filesystem::path scratch_path(const char* stream) {
  return std::filesystem::temp_directory_path() /
         ("kelvane_e2e_" + std::to_string(::getpid()) + "_" + stream);
}

}  // namespace

ProcessResult run_process(const std::filesystem::path& program, const std::vector<std::string>& args,
                          const std::vector<EnvironmentChange>& environment) {
  // Files rather than pipes: the child may print more than a pipe holds before we read.
  const std::filesystem::path out_path = scratch_path("out");
  const std::filesystem::path err_path = scratch_path("err");
  const pid_t child = ::fork();
  if (child == 0) {
    for (const EnvironmentChange& change : environment) {
      if (change.value) {
        ::setenv(change.name.c_str(), change.value->c_str(), 1);
      } else {
        ::unsetenv(change.name.c_str());
      }
    }
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    std::vector<char*> argv;
    std::string program_text = program.string();
    argv.push_back(program_text.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(program_text.c_str(), argv.data());
    ::_exit(127);
  }
  ProcessResult result;
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
  }
  result.out = slurp(out_path);
  result.err = slurp(err_path);
  std::filesystem::remove(out_path);
  std::filesystem::remove(err_path);
  return result;
}

}  // namespace kelvane_dat::e2e
