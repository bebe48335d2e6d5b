#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers, coverage instrumentation throughout) and runs each for a
# bounded time from its committed seed corpus under fuzz/corpus/<name>.
# New inputs go to the build directory, never into the committed corpus.
#
#   scripts/fuzz.sh [seconds per fuzzer]      (default 60)
#
# A crash, a sanitizer report or a mismatch leaves its input in
# build-fuzz/artifacts/ and fails the script.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVIRON_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-60}
jobs=${TAVIRON_JOBS:-$(nproc)}
fuzzers=(filter track_file control_setting frame_range)

# The configuration is CMakePresets.json's "fuzz".
cmake -S "$root" --preset fuzz -B "$build"
cmake --build "$build" -j "$jobs" --target "${fuzzers[@]/%/_fuzzer}"

export ASAN_OPTIONS=halt_on_error=1:print_stacktrace=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p "$build/artifacts"
summary=()
for name in "${fuzzers[@]}"; do
  echo "== fuzzing $name for ${seconds}s"
  corpus=$build/corpus/$name
  mkdir -p "$corpus"
  log=$build/$name.log
  status=0
  "$build/bin/${name}_fuzzer" "$corpus" "$root/fuzz/corpus/$name" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$name-" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "fuzzer $name failed (status $status); its input is in $build/artifacts/"
    exit 1
  fi
  summary+=("$(printf '%-14s %9s runs %7s runs/s' "$name" "${runs:-?}" "${rate:-?}")")
done
echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
