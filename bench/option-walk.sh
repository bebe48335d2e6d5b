#!/usr/bin/env bash
# Follows a render's options from main through the command line's own
# source files: builds taviron with every function instrumented, renders one
# frame of a small plate with the entry hook preloaded, and prints the cli/
# files (a header and its source are one file) that the main thread enters
# from main to the render, then down to DEPTH calls below RunRender until it
# returns, in order, with how often the walk comes back to a file it had left
# (bench/option_walk/count_walk.py says what is counted).
#
#   bench/option-walk.sh [DEPTH]      (default 1: what RunRender calls)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVIRON_WALK_BUILD_DIR:-$root/build-walk}
depth=${1:-1}
jobs=${TAVIRON_JOBS:-2}

# No compiler cache: a shared one hands back objects whose debug lines name
# another checkout's files, and the walk would find none of this one's.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  "-DCMAKE_CXX_FLAGS=-finstrument-functions -finstrument-functions-exclude-file-list=/usr/" \
  -DTAVIRON_BUILD_TESTS=OFF -DTAVIRON_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target taviron_cli taviron_plugin >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O1 -shared -fPIC -o "$work/call_hook.so" "$root/bench/option_walk/call_hook.c" -ldl

for frame in 1 2 3; do
  oiiotool --pattern constant:color=0.$frame,0.5,0.25 32x16 3 -d half -o "$work/plate.000$frame.exr"
done
TAVIRON_WALK_LOG="$work/walk.log" LD_PRELOAD="$work/call_hook.so" "$build/bin/taviron" render -q \
  -i "$work/plate.####.exr" -o "$work/clean.####.exr" --range 2 --frames 1 --method median \
  --direction both --channels rgb --depth half --cache-mb 64 --threshold 0

# Offsets of the program itself to source files, once each.
program=$(readlink -f "$build/bin/taviron")
awk -v program="$program" '$2 == program { print $3 }' "$work/walk.log" | sort -u >"$work/offsets"
addr2line -f -e "$program" <"$work/offsets" | paste -d' ' - - | paste -d' ' "$work/offsets" - >"$work/files"
python3 "$root/bench/option_walk/count_walk.py" "$work/walk.log" "$work/files" "$program" "$root/cli/" "$depth"
