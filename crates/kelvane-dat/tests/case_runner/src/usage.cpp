#include <string>
#include <string_view>

#include "case_runner/options.hpp"
#include "internal/option_table.hpp"

namespace case_runner {
namespace {

constexpr std::size_t kDescriptionColumn = 24;

constexpr std::string_view kHelpText =
    R"(The FILTER string is tested against the name of all tests, and only those
tests whose names contain the filter are run. Multiple filter strings may
be passed, which will run all tests matching any of the filters. With
--exact, a filter must equal the whole name.

By default, all tests are run in parallel, one thread per test, as many at a
time as there are processors available to the process. This can be altered
with the --test-threads flag or the KELVANE_TEST_THREADS environment variable
when running tests (set it to 1 to run them one after the other).

All tests have their output captured by default; a test's output is shown
when it fails, or with --show-output. This can be overridden with the
--no-capture flag or by setting the KELVANE_TEST_NOCAPTURE environment variable
to a value other than "0".

Environment variables:

    KELVANE_TEST_THREADS      - Number of tests run at the same time when
                                --test-threads is absent; a positive integer.
    KELVANE_TEST_NOCAPTURE    - Any value other than "0" acts as --no-capture.
    KELVANE_BACKTRACE         - Any value other than "0" prints the stack trace
                                of each failed check after its failure report,
                                instead of the one-line note.
    KELVANE_UNSTABLE_OPTIONS  - Set to 1 to allow -Z unstable-options, which
                                unlocks the experimental options: --fail-fast,
                                --report-time, --ensure-time, --shuffle,
                                --shuffle-seed, --exclude-should-panic,
                                --force-run-in-process and the json and junit
                                formats.
    KELVANE_TEST_SHUFFLE      - With -Z unstable-options: any value other than
                                "0" acts as --shuffle.
    KELVANE_TEST_SHUFFLE_SEED - With -Z unstable-options: a number that acts as
                                --shuffle-seed.

Test attributes:

    ignored          - The test is reported as ignored and not run, unless
                       --ignored or --include-ignored is given.
    expected failure - The test passes only if it fails (a failed check or an
                       exception); with a required message, only if the
                       failure message contains that text.
)";

}  // namespace

std::string usage_text(std::string_view program) {
  std::string text = "Usage: ";
  text += program;
  text += " [OPTIONS] [FILTERS...]\n\nOptions:\n";
  for (const internal::OptionSpec& option : internal::option_table()) {
    std::string row = "    ";
    if (option.short_name != '\0') {
      row += '-';
      row += option.short_name;
      row += option.long_name.empty() ? " " : ", ";
    } else {
      row += "    ";
    }
    if (!option.long_name.empty()) {
      row += "--";
      row += option.long_name;
      row += ' ';
    }
    row += option.hint;
    if (row.size() < kDescriptionColumn) {
      row.append(kDescriptionColumn - row.size(), ' ');
    } else {
      while (row.back() == ' ') row.pop_back();
      row += '\n';
      row.append(kDescriptionColumn, ' ');
    }
    for (const char c : option.help) {
      row += c;
      if (c == '\n') row.append(kDescriptionColumn, ' ');
    }
    text += row;
    text += '\n';
  }
  text += '\n';
  text += kHelpText;
  return text;
}

}  // namespace case_runner
