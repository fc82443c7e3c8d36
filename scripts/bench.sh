#!/usr/bin/env bash
# Builds the benchmark suite in Release and runs it: Google Benchmark's table of medians, then each
# figure as a ratio to its baseline measured in the same run (see "Performance" in the README).
#
#   ./scripts/bench.sh [--keep-data] [BENCHMARK OPTIONS...]
#
# The archives the benchmarks read (about 3 GiB, built by the test support) are written to
# build/bench/bench-data on first use and removed when the run ends, unless --keep-data is given;
# kept, later runs reuse them. Other options go to the benchmark binary, for example
# --benchmark_filter=fetch or --benchmark_repetitions=9.
set -euo pipefail
cd "$(dirname "$0")/.."

keep_data=0
if [ "${1:-}" = "--keep-data" ]; then
  keep_data=1
  shift
fi

./scripts/install-deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench

data=build/bench/bench-data
if [ "$keep_data" -eq 0 ]; then
  trap 'rm -rf "$data"' EXIT
fi
KELVANE_BENCH_DATA="$data" build/bench/crates/kelvane-dat/bench/kelvane_bench \
  --benchmark_color=false "$@"
