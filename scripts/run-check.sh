#!/usr/bin/env bash
# Builds the check program and runs it: on the archive named by KELVANE_LOCAL_DAT when that is set,
# otherwise on a generated sample archive. Extra arguments go to the check program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target string_table_parity make_sample_archive

build=build/release
if [ -z "${KELVANE_LOCAL_DAT+set}" ]; then
  sample="$build/sample/local_English.dat"
  mkdir -p "$(dirname "$sample")"
  "$build/tools/make_sample_archive" "$sample"
  export KELVANE_LOCAL_DAT="$sample"
fi
echo "checking $KELVANE_LOCAL_DAT"
exec "$build/crates/kelvane-dat/tests/string_table_parity" --show-output "$@"
