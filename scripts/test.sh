#!/usr/bin/env bash
# Runs every test stage: the native suite, the whole suite under the address
# and undefined-behaviour sanitizers, the host, filter and request tests and
# the command line's threads under the thread sanitizer, the fuzzers, the soak,
# the farm example on Slurm, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# The configurations are CMakePresets.json's: native, asan, tsan (and fuzz
# and windows, in the scripts of those stages).
echo "== native tests"
cmake --preset native
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== slurm: the farm example as a job array on a one-node cluster"
# Bounded: the stage stops its daemons when told to end.
timeout --kill-after=30 270 scripts/test-slurm.sh build/bin/taviron

# Any report stops the program with a status no test expects of the
# command line (which itself exits 1 to 3).
export ASAN_OPTIONS=halt_on_error=1:print_stacktrace=1:detect_leaks=1:exitcode=86
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=86
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:exitcode=86

echo "== address and undefined-behaviour sanitizers: every test"
cmake --preset asan
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs" -E 'FaultTest\.TruncatedFrame'
# OpenImageIO leaks an error string when libpng long-jumps out of a truncated
# PNG: that test runs with the image library's leaks, and only those,
# suppressed. Stacks are unwound slowly but fully, so the library's frames are
# there for the suppression to match.
LSAN_OPTIONS=suppressions=$PWD/scripts/leaks-of-the-image-library.supp:fast_unwind_on_malloc=0 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -R 'FaultTest\.TruncatedFrame'

echo "== thread sanitizer: host library, filter, the tool's requests, the window agreement, and the command line's frame cache and write queue"
cmake --preset tsan
cmake --build build-tsan -j "$jobs" --target hostsdk_tests taviron_filter_tests taviron_process_tests \
  taviron_cli_thread_tests taviron_contract_tests taviron_window_agreement_tests
ctest --test-dir build-tsan --output-on-failure -j "$jobs" --no-tests=error -L '^(host|filter|tool|contract|cli-threads)$'

echo "== fuzzers"
scripts/fuzz.sh

echo "== soak: memory and host objects stay flat over many requests"
build/bin/taviron_soak

echo "== windows tests under wine"
scripts/test-windows.sh
