#include "report.hpp"

#include <cerrno>
#include <string>

#include "kelvane_platform/console.hpp"
#include "kelvane_platform/errno_text.hpp"

namespace kelvane_dat::cli {

namespace {

thread_local CapturedOutput* capture = nullptr;

}  // namespace

CapturedOutput::CapturedOutput() { capture = this; }

CapturedOutput::~CapturedOutput() { capture = nullptr; }

void report_error(std::string_view what, std::string_view text) {
  std::string line(kProgramName);
  line.append(": ").append(what).append(": ").append(text).append("\n");
  write_err(line);
}

int usage_error(std::string_view command, std::string_view text) {
  std::string line(kProgramName);
  if (!command.empty()) line.append(": ").append(command);
  line.append(": ").append(text).append("\nTry '").append(kProgramName);
  if (!command.empty()) line.append(" ").append(command);
  line.append(" --help' for more information.\n");
  write_err(line);
  return kExitUsage;
}

void write_out(std::string_view bytes) {
  if (capture != nullptr) {
    capture->out_.append(bytes);
    return;
  }
  if (kelvane_platform::write_to_console(stdout, bytes)) return;
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void write_err(std::string_view bytes) {
  if (capture != nullptr) {
    capture->err_.append(bytes);
    return;
  }
  // Standard output may be buffered ahead; keep the two streams in the order things happened.
  std::fflush(stdout);
  if (kelvane_platform::write_to_console(stderr, bytes)) return;
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
}

int finish_output(int status) {
  if (capture != nullptr) return status;
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  const int error = errno;
  // A reader that stopped early ("| head") got what it wanted; Linux ends such a run quietly by
  // SIGPIPE, and every system ends it quietly here.
  if (error != 0 && kelvane_platform::reader_went_away(error)) return status;
  report_error("write to standard output",
               error != 0 ? kelvane_platform::errno_text(error) : "write failed");
  return kExitArchiveError;
}

std::string error_code_text(const std::error_code& error) {
  return error.message() + " (os error " + std::to_string(error.value()) + ")";
}

bool is_terminal(std::FILE* stream) {
  return capture == nullptr && kelvane_platform::is_terminal(stream);
}

}  // namespace kelvane_dat::cli
