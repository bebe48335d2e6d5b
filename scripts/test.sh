#!/usr/bin/env bash
# Runs every test stage: the native suite, the thread-sanitized pool and
# filter tests, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

echo "== native tests"
cmake -S . -B build -G Ninja
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== thread sanitizer: host pool and filter"
cmake -S . -B build-tsan -G Ninja -DTAVIRON_SANITIZE=thread -DTAVIRON_BUILD_CLI=OFF -DTAVIRON_BUILD_BENCH=OFF
cmake --build build-tsan -j "$jobs"
ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R '^(Host|Pool|Filter|Window|Process)'

echo "== windows tests under wine"
scripts/test-windows.sh
