#!/usr/bin/env bash
# Builds everything and runs every test: ./scripts/test.sh [dev|release|asan|tsan|python|windows]
# (python: the Python module and its pytest suite, with Debian's /usr/bin/python3; windows:
# cross-compiled with MinGW-w64, the tests run under Wine, then the Windows check program's totals
# on the sample archive held against the Linux one's)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
./scripts/install-deps.sh "$preset"
if [ "$preset" = windows ]; then
  # One Wine server for the whole run (see scripts/wine-run.sh).
  ./scripts/wine-run.sh --start
  trap './scripts/wine-run.sh --stop' EXIT
fi
cmake --workflow --preset "$preset"
if [ "$preset" = windows ]; then
  ./scripts/windows-parity.sh
fi
