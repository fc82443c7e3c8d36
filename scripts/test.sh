#!/usr/bin/env bash
# Builds everything and runs every test: ./scripts/test.sh [dev|asan|tsan|windows]
# windows cross-compiles with MinGW-w64, runs the tests under Wine, then holds the Windows check
# program's totals on the sample archive against the Linux one's.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
./scripts/install-deps.sh "$preset"
cmake --workflow --preset "$preset"
if [ "$preset" = windows ]; then
  ./scripts/windows-parity.sh
fi
