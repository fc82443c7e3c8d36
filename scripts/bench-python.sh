#!/usr/bin/env bash
# Reads every file of the 512 MiB fetch archive from Python and with get_file from C++, in the
# same run, and prints the ratio (see docs/python.md). Builds the bench preset with the Python
# module, for Debian's /usr/bin/python3.
#
#   ./scripts/bench-python.sh [--keep-data] [--repetitions N]
#
# The archive is written to build/bench/bench-data (as for ./scripts/bench.sh, which reuses it) and
# removed at the end unless --keep-data is given.
set -euo pipefail
cd "$(dirname "$0")/.."

keep_data=0
if [ "${1:-}" = "--keep-data" ]; then
  keep_data=1
  shift
fi

./scripts/install-deps.sh
cmake --preset bench -DKELVANE_BUILD_PYTHON=ON -DPython_EXECUTABLE=/usr/bin/python3 >/dev/null
cmake --build --preset bench --target fetch_baseline _kelvane_dat

data=build/bench/bench-data
if [ "$keep_data" -eq 0 ]; then
  trap 'rm -rf "$data"' EXIT
fi
KELVANE_BENCH_DATA="$data" PYTHONPATH=build/bench/crates/kelvane-dat/python/package \
  /usr/bin/python3 crates/kelvane-dat/python/bench/fetch_bench.py \
  build/bench/crates/kelvane-dat/bench/fetch_baseline "$@"
