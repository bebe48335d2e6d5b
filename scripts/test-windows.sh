#!/usr/bin/env bash
# The Windows stage: cross-builds the host library, the plug-in and the tests
# for 64-bit Windows with mingw-w64 and runs the tests under Wine. Installs
# nothing (scripts/install-packages.sh does). The build directory, and the
# Wine prefix inside it, can be moved with TAVIRON_WINDOWS_BUILD_DIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVIRON_WINDOWS_BUILD_DIR:-$root/build-windows}
jobs=${TAVIRON_JOBS:-2}

# The configuration is CMakePresets.json's "windows".
cmake -S "$root" --preset windows -B "$build"
cmake --build "$build" -j "$jobs"

# A prefix of its own, quiet, headless, and without the offers to install
# Mono and Gecko that a fresh prefix would otherwise make.
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine=$(command -v /usr/lib/wine/wine64 || command -v wine64 || command -v wine)

mkdir -p "$WINEPREFIX"
# One server for the whole run instead of one started and stopped per test.
wineserver -p
trap 'wineserver -k || true' EXIT
# Creates the prefix the first time and starts Wine's own services, which
# then stay up with the server: started here, they hold no pipe of ctest's.
# Their output goes to a log, since they outlive wineboot.
echo "== starting Wine in $WINEPREFIX"
if ! "$wine" wineboot -i </dev/null >"$build/wineboot.log" 2>&1; then
  cat "$build/wineboot.log" >&2
  exit 1
fi

ctest --test-dir "$build" --output-on-failure -j "$jobs"
