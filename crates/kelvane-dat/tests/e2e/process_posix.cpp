#include "process.hpp"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
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

// A pseudo-terminal in raw mode, so what the child writes arrives byte for byte (no line feed
// turned into carriage return and line feed).
struct PseudoTerminal {
  int controller = -1;
  int device = -1;
};

PseudoTerminal open_pseudo_terminal() {
  PseudoTerminal terminal;
  termios mode{};
  ::cfmakeraw(&mode);
  if (::openpty(&terminal.controller, &terminal.device, nullptr, &mode, nullptr) != 0) return {};
  return terminal;
}

// Everything until the last holder of the device side closes it, which Linux reports as EIO.
std::string read_until_closed(int controller) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(controller, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      return text;
    }
  }
}

}  // namespace

bool terminals_supported() { return true; }

ProcessResult run_process(const std::filesystem::path& program,
                          const std::vector<std::string>& args,
                          const std::vector<EnvironmentChange>& environment,
                          TerminalStreams terminal) {
  // Files rather than pipes: the child may print more than a pipe holds before we read.
  const std::filesystem::path out_path = scratch_path("out");
  const std::filesystem::path err_path = scratch_path("err");
  const bool wants_terminal = terminal.out || terminal.err;
  const PseudoTerminal pty = wants_terminal ? open_pseudo_terminal() : PseudoTerminal{};
  if (wants_terminal && pty.controller < 0) return {};
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
    ::dup2(terminal.out ? pty.device : out, STDOUT_FILENO);
    ::dup2(terminal.err ? pty.device : err, STDERR_FILENO);
    if (wants_terminal) {
      ::close(pty.controller);
      ::close(pty.device);
    }
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
  if (wants_terminal) {
    // Read while the child runs: a terminal holds only a few kilobytes before writes block.
    ::close(pty.device);
    if (child > 0) result.terminal = read_until_closed(pty.controller);
    ::close(pty.controller);
  }
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
