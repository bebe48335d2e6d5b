#!/usr/bin/env bash
# A clean plate from a 4K plate whose window of frames is larger than the
# memory budget: one output frame of `taviron render --direction both
# --method median` over a window of 2N+1 frames of 3840x2160 half-float RGBA
# OpenEXR, with the given --cache-mb. Prints the render's peak resident
# memory, its time, the scratch space it used, and the time to merely decode
# the window's frames once (same reader, every core), with the ratio of the
# two times. bench/codec-floor.sh measures this case among others.
#
#   bench/out-of-core.sh [--frames N] [--cache-mb MB] [--work DIR] [--scratch DIR]
#                        [--taviron PROGRAM] [--decoder PROGRAM] [--decode-seconds S]
#
# --frames N     frames on each side of the current one (default 100: 201 frames)
# --cache-mb MB  the render's memory budget (default 2048)
# --work DIR     where the clip and the output go (default /tmp/taviron-out-of-core);
#                the clip is made there once and kept for the next run
# --scratch DIR  the render's scratch folder (default: the system's temporary folder)
# --decode-seconds S  the decoding time of an earlier run on the same clip (skips decoding)
#
# The clip is made by bench/make-4k-plate.sh. Needs oiiotool
# (openimageio-tools) and /usr/bin/time.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
taviron=$here/build/bin/taviron
decoder=$here/build/bin/taviron_codec_floor
frames=100
cacheMb=2048
work=/tmp/taviron-out-of-core
scratch=
decodeSeconds=
while [ $# -gt 0 ]; do
  case $1 in
    --frames) frames=$2; shift 2 ;;
    --cache-mb) cacheMb=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --scratch) scratch=$2; shift 2 ;;
    --taviron) taviron=$2; shift 2 ;;
    --decoder) decoder=$2; shift 2 ;;
    --decode-seconds) decodeSeconds=$2; shift 2 ;;
    *) sed -n '2,21p' "$0" >&2; exit 2 ;;
  esac
done
for tool in oiiotool /usr/bin/time "$taviron" "$decoder"; do
  command -v "$tool" > /dev/null 2>&1 || { echo "out-of-core: $tool is needed" >&2; exit 2; }
done

window=$((2 * frames + 1))
clip=$work/clip
mkdir -p "$work/out"
"$here/bench/make-4k-plate.sh" "$clip" "$window"

decodeReport="$window frames, measured earlier"
if [ -z "$decodeSeconds" ]; then
  decodeReport=$("$decoder" decode "$clip/plate.####.exr" 1 "$window")
  decodeSeconds=$(sed -n 's/^decoded [0-9]* frames in \([0-9.]*\) s.*/\1/p' <<< "$decodeReport")
fi

middle=$((frames + 1))
scratchOption=()
[ -z "$scratch" ] || scratchOption=(--scratch "$scratch")
rm -f "$work"/out/*
status=0
report=$(/usr/bin/time -v "$taviron" render -i "$clip/plate.####.exr" -o "$work/out/clean.####.exr" \
  --range "$middle" --frames "$frames" --direction both --method median --cache-mb "$cacheMb" \
  "${scratchOption[@]}" 2>&1) || status=$?
peakOf() { sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' <<< "$1"; }
peak=$(peakOf "$report")
elapsed=$(sed -n 's/^[[:space:]]*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' <<< "$report")
seconds=$(awk -v t="$elapsed" 'BEGIN { n = split(t, p, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + p[i]; print s }')
kept=$(sed -n 's/^taviron: \([0-9]*\) frames kept in the scratch folder .*, \(.*\) at most$/\1 frames, \2/p' <<< "$report")

small=$(/usr/bin/time -v "$taviron" render -i "$clip/plate.####.exr" -o "$work/out/small.####.exr" \
  --range "$middle" --frames 1 --direction both --method median 2>&1) || status=$?
smallPeak=$(peakOf "$small")

echo "window: $window frames of 3840x2160 half RGBA EXR, --cache-mb $cacheMb, $(nproc) cores"
echo "render (one clean-plate frame, median, both directions): status $status"
echo "  peak resident memory: $((peak / 1024)) MB; over a 3-frame window in memory: $((smallPeak / 1024)) MB" \
  "(+$(((peak - smallPeak) / 1024)) MB)"
echo "  time: ${seconds} s"
echo "  scratch space used: ${kept:-none}"
echo "decode the window's frames once: ${decodeSeconds} s (${decodeReport#decoded })"
awk -v r="$seconds" -v d="$decodeSeconds" 'BEGIN { printf "render / decode: %.2f\n", r / d }'
[ "$status" = 0 ] || { echo "$report$small" | grep '^taviron' >&2; exit 1; }
