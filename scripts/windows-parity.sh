#!/usr/bin/env bash
# The Windows check program, under Wine, against the Linux one on the same sample archive: both
# must print the same totals (the parity case's count line and the run's result line, less its
# timing). Needs the windows preset built; builds what it needs of the release preset.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release --target string_table_parity make_sample_archive >/dev/null

sample=build/windows/sample/local_English.dat
mkdir -p "$(dirname "$sample")"
build/release/tools/make_sample_archive "$sample" >/dev/null

totals() {
  grep -E '^(Parsed [0-9]+ StringTable records|test result: )' | sed -E 's/; finished in [0-9.]+s$//'
}
linux=$(KELVANE_LOCAL_DAT="$sample" build/release/crates/kelvane-dat/tests/string_table_parity \
  --show-output | totals)
windows=$(KELVANE_LOCAL_DAT="$sample" ./scripts/wine-run.sh \
  build/windows/crates/kelvane-dat/tests/string_table_parity.exe --show-output | totals)

echo "Linux:   ${linux//$'\n'/ | }"
echo "Windows: ${windows//$'\n'/ | }"
if [ -z "$linux" ] || [ "$linux" != "$windows" ]; then
  echo "the Windows check program's totals differ from the Linux one's" >&2
  exit 1
fi
