#pragma once

// How the tool ends and complains: exit statuses, error lines on standard error, and the final
// check that everything written to standard output arrived.
//
// Everything the tool writes goes through write_out and write_err, so a command can also run
// in-process with its output kept in memory (see CapturedOutput).

#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

namespace kelvane_dat::cli {

inline constexpr int kExitSuccess = 0;
// The archive could not be opened or read, or (verify) something in it is damaged.
inline constexpr int kExitArchiveError = 1;
// The command line was wrong, or the command refused to do what was asked.
inline constexpr int kExitUsage = 2;
// grep and diff, whose status 1 is a finding (no match, a difference), as grep and diff have it:
// anything that went wrong, from a bad archive to a usage error.
inline constexpr int kExitTrouble = 2;

inline constexpr std::string_view kProgramName = "kelvane-dat";

// "kelvane-dat: <what>: <text>" on standard error.
void report_error(std::string_view what, std::string_view text);

// Reports a usage error of `command` (empty for the tool itself) with a pointer to its help, and
// returns kExitUsage.
int usage_error(std::string_view command, std::string_view text);

// Writes bytes to standard output, or standard error, as they are.
void write_out(std::string_view bytes);
void write_err(std::string_view bytes);

// Flushes standard output. When anything written to it was lost (a full disk), reports it and
// returns kExitArchiveError; otherwise, and when its reader closed early, returns `status`.
int finish_output(int status);

// False for a stream whose writes are being captured.
bool is_terminal(std::FILE* stream);

// While one exists, what the tool writes on this thread collects here instead of reaching the
// standard streams, and neither stream counts as a terminal. Not nestable.
class CapturedOutput {
 public:
  CapturedOutput();
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;
  ~CapturedOutput();

  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  friend void write_out(std::string_view bytes);
  friend void write_err(std::string_view bytes);

  std::string out_;
  std::string err_;
};

// The system's reason for `error`, as the library words it: "<message> (os error N)".
std::string error_code_text(const std::error_code& error);

}  // namespace kelvane_dat::cli
