#!/usr/bin/env bash
# closed_reader_check.sh TOOL SAMPLE_TOOL: with SIGPIPE ignored, as a Windows pipe behaves, output
# into a reader that closes early ends without a word on standard error.
set -u
tool=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$2" "$scratch/sample.dat" >/dev/null || exit 1
for command in ls strings; do
  (trap '' PIPE; "$tool" "$command" "$scratch/sample.dat" 2>"$scratch/err" | head -c 10 >/dev/null)
  if [[ -s $scratch/err ]]; then
    echo "$command into a closed reader said:" "$(cat "$scratch/err")"
    exit 1
  fi
done
