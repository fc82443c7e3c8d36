#include "report.hpp"

#include <cerrno>
#include <string>

#include "kelvane_platform/console.hpp"
#include "kelvane_platform/errno_text.hpp"

namespace kelvane_dat::cli {

void report_error(std::string_view what, std::string_view text) {
  std::string line(kProgramName);
  line.append(": ").append(what).append(": ").append(text).append("\n");
  // Standard output may be buffered ahead; keep the two streams in the order things happened.
  std::fflush(stdout);
  std::fwrite(line.data(), 1, line.size(), stderr);
}

int usage_error(std::string_view command, std::string_view text) {
  std::string line(kProgramName);
  if (!command.empty()) line.append(": ").append(command);
  line.append(": ").append(text).append("\nTry '").append(kProgramName);
  if (!command.empty()) line.append(" ").append(command);
  line.append(" --help' for more information.\n");
  std::fwrite(line.data(), 1, line.size(), stderr);
  return kExitUsage;
}

void write_out(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

int finish_output(int status) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  const int error = errno;
  report_error("write to standard output",
               error != 0 ? kelvane_platform::errno_text(error) : "write failed");
  return kExitArchiveError;
}

bool is_terminal(std::FILE* stream) { return kelvane_platform::is_terminal(stream); }

}  // namespace kelvane_dat::cli
