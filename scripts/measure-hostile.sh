#!/usr/bin/env bash
# Times kelvane-dat on crafted archives that try to multiply its work (shared and overlapping
# chains, deep, wide and self-sharing directories, huge declared sizes) and prints one Markdown
# table row per run: exit status, wall time, peak memory (GNU time's maximum resident set size)
# and the first line the command wrote to standard error (for extract, then the files it wrote).
#
#   ./scripts/measure-hostile.sh [COMMAND...]    default: verify; "cat" fetches the first file,
#                                                "extract" writes into a fresh directory per run
#
# The archives (about 420 MB) are written to build/release/hostile/ and kept for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."

commands=("$@")
if [ "${#commands[@]}" -eq 0 ]; then
  commands=(verify)
fi

./scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kelvane-dat make_hostile_archives >/dev/null

build=build/release
tool="$build/tools/kelvane-dat/kelvane-dat"
archives="$build/hostile"
if [ ! -f "$archives/huge_sizes.dat" ]; then
  "$build/tools/make_hostile_archives" "$archives" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "| Archive | Size | Command | Exit | Wall time | Peak memory | First line on standard error |"
echo "|---|---|---|---|---|---|---|"
for archive in sound shared_chain shared_scattered overlapping deep_directory wide_directory \
               shared_levels huge_sizes; do
  path="$archives/$archive.dat"
  size_mb=$(awk -v bytes="$(stat -c %s "$path")" 'BEGIN { printf "%.1f MB", bytes / 1e6 }')
  for command in "${commands[@]}"; do
    args=("$command" "$path")
    case "$command" in
      cat) args+=(0x06000000) ;;
      extract) args+=("$work/extracted") ;;
    esac
    status=0
    /usr/bin/time -v -o "$work/time" "$tool" "${args[@]}" >"$work/out" 2>"$work/err" || status=$?
    # Counted before the next run needs the directory empty again; a refusal creates none.
    written=""
    if [ "$command" = extract ]; then
      files=0
      [ -d "$work/extracted" ] && files=$(find "$work/extracted" -type f | wc -l)
      written="[$files files written]"
      rm -rf "$work/extracted"
    fi
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$work/time")
    peak_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time")
    peak=$(awk -v kb="$peak_kb" 'BEGIN { printf "%.1f MB", kb / 1024 }')
    first=$(head -n 1 "$work/err" | sed 's/|/\\|/g')
    lines=$(wc -l <"$work/err")
    [ "$lines" -gt 1 ] && first="$first (+$((lines - 1)) more lines)"
    [ -n "$first" ] && [ -n "$written" ] && written=" $written"
    echo "| $archive | $size_mb | $command | $status | $wall | $peak | $first$written |"
  done
done
