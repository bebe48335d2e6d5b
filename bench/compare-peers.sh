#!/usr/bin/env bash
# taviron render against the tools a user would pick instead for a 7-frame
# temporal median (or mean) of a 1080p 8-bit RGBA PNG clip, each writing PNG:
# milliseconds per output frame (hyperfine) and peak resident memory
# (/usr/bin/time -v) side by side. Tools that are not installed are skipped.
# Then taviron alone with a window of 501 frames, for its peak memory.
#
#   bench/compare-peers.sh [--clip DIR] [--taviron PROGRAM] [--runs N]
#                          [--magick-frames N] [--work DIR] [--skip-long]
#
# --clip DIR       frames DIR/clip.0001.png ... (made with ffmpeg when not given)
# --taviron        the taviron program (default: build/bin/taviron)
# --runs N         timed runs per tool (default 3)
# --magick-frames  output frames for ImageMagick and G'MIC, one call per frame
#                  (default 3)
# --work DIR       where clips and outputs go (default: a new directory in /tmp)
# --skip-long      skip the 501-frame window, which decodes 501 frames
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
taviron=$here/build/bin/taviron
clip=
runs=3
magickFrames=3
work=
long=1
while [ $# -gt 0 ]; do
  case $1 in
    --clip) clip=$2; shift 2 ;;
    --taviron) taviron=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --magick-frames) magickFrames=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --skip-long) long=0; shift ;;
    *) sed -n '2,20p' "$0" >&2; exit 2 ;;
  esac
done

have() { command -v "$1" > /dev/null 2>&1; }
for tool in hyperfine /usr/bin/time; do
  have "$tool" || { echo "compare-peers: $tool is needed" >&2; exit 2; }
done
[ -x "$taviron" ] || { echo "compare-peers: no taviron program at $taviron (--taviron)" >&2; exit 2; }

work=${work:-$(mktemp -d /tmp/taviron-peers.XXXXXX)}
mkdir -p "$work"
frameCount=24
width=1920
height=1080

# Moving test pattern with noise in every channel, alpha included.
make_clip() {
  local dir=$1
  have ffmpeg || { echo "compare-peers: ffmpeg is needed to make the clip (or give --clip)" >&2; exit 2; }
  mkdir -p "$dir"
  ffmpeg -v error -y -f lavfi \
    -i "testsrc2=s=${width}x${height}:r=24,format=gbrap,noise=alls=25:allf=t+u,format=rgba" \
    -frames:v "$frameCount" -start_number 1 "$dir/clip.%04d.png"
}

if [ -z "$clip" ]; then
  clip=$work/clip
  [ -f "$clip/clip.$(printf %04d $frameCount).png" ] || make_clip "$clip"
fi
frameCount=$(find "$clip" -maxdepth 1 -name 'clip.[0-9][0-9][0-9][0-9].png' | wc -l)
[ "$frameCount" -ge 7 ] || { echo "compare-peers: $clip holds fewer than 7 frames clip.NNNN.png" >&2; exit 2; }
frame() { printf '%s/clip.%04d.png' "$clip" "$1"; }

out=$work/out
rows=()

# measure NAME OUTPUT_FRAMES OUTPUT_GLOB COMMAND: mean time of $runs runs,
# peak resident memory of one more, and the size of the files written.
measure() {
  local name=$1 frames=$2 glob=$3 command=$4
  rm -rf "$out" && mkdir -p "$out"
  local json=$work/hyperfine.json
  hyperfine --style none --runs "$runs" --warmup 0 --prepare "rm -f $out/*" --export-json "$json" \
    "$command" > /dev/null
  local seconds
  seconds=$(sed -n 's/^ *"mean": *\([0-9.e+-]*\),*$/\1/p' "$json" | head -1)
  rm -f "$out"/*
  local peak
  peak=$(/usr/bin/time -v bash -c "$command" 2>&1 > /dev/null |
    sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p')
  local bytes
  # shellcheck disable=SC2086  # the glob is meant to expand
  bytes=$(cat $out/$glob | wc -c)
  rows+=("$(awk -v n="$name" -v s="$seconds" -v f="$frames" -v k="$peak" -v b="$bytes" \
    'BEGIN { printf "%-40s %10.0f %12.0f %12.2f", n, 1000 * s / f, k / 1024, b / f / 1e6 }')")
}

tavironRender() {
  echo "$taviron render -i $clip/clip.####.png -o $out/tav.####.png --frames 3 --direction both" \
    "--method median --threads 2 -q"
}
measure "taviron render (median, 7)" "$frameCount" 'tav.*.png' "$(tavironRender)"

if have ffmpeg; then
  ffmpegRun() {
    echo "ffmpeg -v error -y -start_number 1 -i $clip/clip.%04d.png -vf $1 -start_number 1 $out/$2.%04d.png"
  }
  measure "ffmpeg tmedian=radius=3" "$frameCount" 'ffmed.*.png' "$(ffmpegRun tmedian=radius=3 ffmed)"
  measure "ffmpeg tmix=frames=7 (mean)" "$frameCount" 'ffmix.*.png' "$(ffmpegRun tmix=frames=7 ffmix)"
else
  echo "compare-peers: no ffmpeg, skipped" >&2
fi

# One call per output frame over its 7 inputs, for frames 4, 5, ...
perFrameCommand() {
  local template=$1 command="" f i inputs one
  for ((f = 4; f < 4 + magickFrames; ++f)); do
    inputs=""
    for ((i = f - 3; i <= f + 3; ++i)); do inputs+=" $(frame "$i")"; done
    one=${template//INPUTS/$inputs}
    command+="${one//OUTPUT/$(printf '%s/%s.%04d.png' "$out" "$2" "$f")}; "
  done
  echo "$command"
}
[ $((3 + magickFrames + 3)) -le "$frameCount" ] || magickFrames=$((frameCount - 6))

magick=
for candidate in magick convert-im6.q16 convert-im6 convert; do
  if have "$candidate" && "$candidate" -version 2> /dev/null | grep -q ImageMagick; then
    magick=$candidate
    break
  fi
done
if [ -n "$magick" ]; then
  measure "ImageMagick -evaluate-sequence median" "$magickFrames" 'im.*.png' \
    "$(perFrameCommand "$magick INPUTS -evaluate-sequence median OUTPUT" im)"
else
  echo "compare-peers: no ImageMagick, skipped" >&2
fi

if have gmic; then
  measure "G'MIC med() of 7 images" "$magickFrames" 'gm.*.png' \
    "$(perFrameCommand "gmic -v -1 INPUTS fill[0] 'med(i#0,i#1,i#2,i#3,i#4,i#5,i#6)' keep[0] o OUTPUT" gm)"
else
  echo "compare-peers: no G'MIC, skipped" >&2
fi

echo "${frameCount} frames ${width}x${height} 8-bit RGBA PNG from $clip; $runs runs each; $(nproc) cores"
printf '%-40s %10s %12s %12s\n' "tool" "ms/frame" "peak MB" "MB/frame out"
printf '%s\n' "${rows[@]}"

[ "$long" = 1 ] || exit 0

# A window of 501 frames: 520 frame numbers, each a link to one of the clip's
# frames (decoded, they are still separate images). Frames 251 and 252 see
# the whole window, 1 to 501.
longClip=$work/long-clip
mkdir -p "$longClip"
for ((n = 1; n <= 520; ++n)); do
  ln -sf "$(frame $(((n - 1) % frameCount + 1)))" "$(printf '%s/clip.%04d.png' "$longClip" "$n")"
done
rm -rf "$out" && mkdir -p "$out"
longCommand="$taviron render -i $longClip/clip.####.png -o $out/long.####.png --frames 250 --direction both \
--method median --threads 2 --range 251-252 -q"
report=$(/usr/bin/time -v bash -c "$longCommand" 2>&1 > /dev/null)
peak=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' <<< "$report")
elapsed=$(sed -n 's/^[[:space:]]*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' <<< "$report")
echo
echo "taviron --frames 250 --direction both (501-frame window), frames 251-252: peak $((peak / 1024)) MB," \
  "wall $elapsed (mostly decoding 501 frames)"
