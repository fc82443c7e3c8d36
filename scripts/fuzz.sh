#!/usr/bin/env bash
# Builds the fuzz targets (clang 14: libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer),
# replays every committed seed and regression input, then fuzzes each target in turn:
#
#   ./scripts/fuzz.sh [SECONDS] [TARGET...]     SECONDS per target (default 60; 0 only replays)
#
# Inputs that add coverage collect in build/fuzz/work/<target>/. An input that crashes or breaks a
# property is saved in build/fuzz/artifacts/<target>/ and fails the run; once fixed, it belongs in
# regressions/<target>/ of the target's folder (crates/kelvane-dat/fuzz/, or tools/kelvane-dat/fuzz/
# for tool_commands). KELVANE_FUZZ_FLAGS adds libFuzzer flags (for example -runs=10000000). One
# fuzzing process at a time, so the machine stays usable.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  targets=(archive_open block_chain decompress_lrs compress_lrs read_compressed_u32 string_table
           case_runner_options tool_commands translation_readers)
fi

./scripts/install-deps.sh
# Quiet unless the build fails, whose errors then show.
if ! build_output="$(cmake --workflow --preset fuzz 2>&1)"; then
  printf '%s\n' "$build_output"
  exit 1
fi

build=build/fuzz
# Each input is a few kilobytes: an allocation beyond 64 MiB or an input taking 10 s is a finding.
common_flags=(-timeout=10 -malloc_limit_mb=64 -print_final_stats=1)

for target in "${targets[@]}"; do
  # The tool's fuzz target lives beside the tool, the library's in the library's folder.
  case "$target" in
    tool_commands | translation_readers) source_dir=tools/kelvane-dat/fuzz ;;
    *) source_dir=crates/kelvane-dat/fuzz ;;
  esac
  binary="$build/$source_dir/${target}_fuzzer"
  inputs=("$source_dir/corpus/$target")
  if [ -d "$source_dir/regressions/$target" ]; then
    inputs+=("$source_dir/regressions/$target")
  fi
  target_flags=()
  case "$target" in
    # Room for a header and several directory nodes.
    archive_open | tool_commands) target_flags=(-max_len=12288) ;;
  esac

  log="$build/logs/$target.log"
  mkdir -p "$build/logs" "$build/work/$target" "$build/artifacts/$target"
  echo "== $target: replaying ${inputs[*]}"
  if ! "$binary" "${common_flags[@]}" -runs=0 "${inputs[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    exit 1
  fi

  if [ "$seconds" -gt 0 ]; then
    echo "== $target: fuzzing for $seconds s"
    # shellcheck disable=SC2086 # KELVANE_FUZZ_FLAGS is a list of flags
    if ! "$binary" "${common_flags[@]}" "${target_flags[@]}" -max_total_time="$seconds" \
        -artifact_prefix="$build/artifacts/$target/" ${KELVANE_FUZZ_FLAGS:-} \
        "$build/work/$target" "${inputs[@]}" >"$log" 2>&1; then
      tail -n 60 "$log"
      echo "== $target: the input is in $build/artifacts/$target/"
      exit 1
    fi
    grep -E '^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units' "$log"
  fi
done
