#!/usr/bin/env bash
# Renders against their codec floor: for each case, the time of `taviron
# render` next to the time to decode its input frames once on every core plus
# the time to encode its output frames once on every core, measured in the
# same run on the same files (build/bin/taviron_codec_floor, the render's own
# reader and writer; the outputs are encoded again into /dev/shm, so that the
# floor is the codec's work without the disk's latency of syncing files),
# with the render's peak resident memory. CPU times (user and system) are
# given beside the wall times, and their ratio, which a loaded machine
# disturbs far less.
#
#   bench/codec-floor.sh [--cases LIST] [--runs N] [--work DIR] [--scratch DIR]
#                        [--taviron PROGRAM] [--floor PROGRAM]
#
# --cases LIST   comma-separated, from (default plate4k,png1080,footage):
#   plate4k      one clean-plate frame, median of 201 frames of 3840x2160 half
#                RGBA OpenEXR (bench/make-4k-plate.sh), --cache-mb 2048
#   plate4k-501  the same over 501 frames: 33 GB decoded, most of it into the
#                scratch folder (check `df -h` there first)
#   png1080      7-frame median of each of 24 frames of 1920x1080 8-bit RGBA
#                PNG (a noisy ffmpeg test pattern)
#   footage      81-frame median of 61 frames of 768x576 real footage (the
#                opencv-doc street clip vtest.avi, decoded by ffmpeg to RGB PNG),
#                beside ffmpeg's tmedian=radius=40 on the same 141 frames: its
#                time, and whether its 61 frames have the same pixels
# --runs N       runs of each case, interleaved render and floor (default 1);
#                the medians are printed
# --work DIR     where clips and outputs go (default /tmp/taviron-codec-floor);
#                clips are made once and kept for the next run
# --scratch DIR  the renders' scratch folder (default: the system's temporary folder)
#
# The load average is printed with every case: on a shared machine compare
# the CPU times, or ratios from runs made under the same load.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
taviron=$here/build/bin/taviron
floor=$here/build/bin/taviron_codec_floor
cases=plate4k,png1080,footage
runs=1
work=/tmp/taviron-codec-floor
scratch=
while [ $# -gt 0 ]; do
  case $1 in
    --cases) cases=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --scratch) scratch=$2; shift 2 ;;
    --taviron) taviron=$2; shift 2 ;;
    --floor) floor=$2; shift 2 ;;
    *) sed -n '2,32p' "$0" >&2; exit 2 ;;
  esac
done
for tool in ffmpeg oiiotool /usr/bin/time "$taviron" "$floor"; do
  command -v "$tool" > /dev/null 2>&1 || { echo "codec-floor: $tool is needed" >&2; exit 2; }
done
mkdir -p "$work"
# Outputs encoded again go to memory: the floor is the codec's work, without
# the disk's latency of syncing them.
reencoded=/dev/shm/taviron-codec-floor-$$
trap 'rm -rf "$reencoded"' EXIT
scratchOption=()
[ -z "$scratch" ] || scratchOption=(--scratch "$scratch")

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# timed FILE COMMAND...: runs COMMAND, appends "wall cpu peakKB" to FILE.
timed() {
  local file=$1
  shift
  local times=$work/time.txt
  if ! /usr/bin/time -f '%e %U %S %M' -o "$times" "$@" > "$work/command.log" 2>&1; then
    cat "$work/command.log" >&2
    echo "codec-floor: failed: $*" >&2
    exit 1
  fi
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$times" >> "$file"
}

# floor FILE PATTERN FIRST LAST OUTPUT_PATTERN OUTPUT_FIRST OUTPUT_LAST: appends
# "decode_s decode_cpu encode_s encode_cpu" to FILE.
floor_of() {
  local file=$1 decoded encoded
  rm -rf "$reencoded" && mkdir -p "$reencoded"
  decoded=$("$floor" decode "$2" "$3" "$4")
  encoded=$("$floor" encode "$5" "$6" "$7" "$reencoded")
  rm -rf "$reencoded"
  local pattern='s/^[a-z]* [0-9]* frames in \([0-9.]*\) s (\([0-9.]*\) s CPU).*/\1 \2/p'
  echo "$(sed -n "$pattern" <<< "$decoded") $(sed -n "$pattern" <<< "$encoded")" >> "$file"
}

column_median() { awk -v c="$2" '{ print $c }' "$1" | median; }

rows=()
# report NAME RENDERS FLOORS [EXTRA]
report() {
  local render cpu peak decode encode
  render=$(column_median "$2" 1)
  cpu=$(column_median "$2" 2)
  peak=$(column_median "$2" 3)
  decode=$(column_median "$3" 1)
  encode=$(column_median "$3" 3)
  local floorCpu
  floorCpu=$(awk '{ print $2 + $4 }' "$3" | median)
  rows+=("$(awk -v n="$1" -v r="$render" -v c="$cpu" -v p="$peak" -v d="$decode" -v e="$encode" -v fc="$floorCpu" \
    -v l="$(cut -d' ' -f1-3 /proc/loadavg)" \
    'BEGIN { printf "%-12s %8.2f %8.2f %8.2f %8.2f %7.2fx %8.2f %8.2f %7.2fx %8.0f   %s", n, r, d, e, d + e, r / (d + e), c, fc, c / fc, p / 1024, l }')")
  [ $# -lt 4 ] || rows+=("$4")
}

plate() {
  local name=$1 side=$2 window=$((2 * $2 + 1))
  local clip=$work/plate4k
  "$here/bench/make-4k-plate.sh" "$clip" "$window"
  local middle=$((side + 1)) renders=$work/$name.render floors=$work/$name.floor
  rm -f "$renders" "$floors"
  for ((run = 1; run <= runs; ++run)); do
    rm -rf "$work/out" && mkdir -p "$work/out"
    timed "$renders" "$taviron" render -i "$clip/plate.####.exr" -o "$work/out/clean.####.exr" --range "$middle" \
      --frames "$side" --direction both --method median --cache-mb 2048 "${scratchOption[@]}" --quiet
    floor_of "$floors" "$clip/plate.####.exr" 1 "$window" "$work/out/clean.####.exr" "$middle" "$middle"
  done
  report "$name" "$renders" "$floors"
}

png1080() {
  local clip=$work/png1080
  if [ ! -f "$clip/clip.0024.png" ]; then
    mkdir -p "$clip"
    ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=24,format=gbrap,noise=alls=25:allf=t+u,format=rgba" \
      -frames:v 24 -start_number 1 "$clip/clip.%04d.png"
  fi
  local renders=$work/png1080.render floors=$work/png1080.floor
  rm -f "$renders" "$floors"
  for ((run = 1; run <= runs; ++run)); do
    rm -rf "$work/out" && mkdir -p "$work/out"
    timed "$renders" "$taviron" render -i "$clip/clip.####.png" -o "$work/out/median.####.png" --frames 3 \
      --direction both --method median --quiet
    floor_of "$floors" "$clip/clip.####.png" 1 24 "$work/out/median.####.png" 1 24
  done
  report png1080 "$renders" "$floors"
}

footage() {
  local clip=$work/footage
  if [ ! -f "$clip/street.0141.png" ]; then
    mkdir -p "$clip"
    ffmpeg -v error -y -i /usr/share/doc/opencv-doc/examples/data/vtest.avi -frames:v 141 -pix_fmt rgb24 \
      -start_number 1 "$clip/street.%04d.png"
  fi
  local renders=$work/footage.render floors=$work/footage.floor peers=$work/footage.ffmpeg
  rm -f "$renders" "$floors" "$peers"
  for ((run = 1; run <= runs; ++run)); do
    rm -rf "$work/out" && mkdir -p "$work/out"
    timed "$renders" "$taviron" render -i "$clip/street.####.png" -o "$work/out/median.####.png" --frames 40 \
      --direction both --method median --range 41-101 --quiet
    floor_of "$floors" "$clip/street.####.png" 1 141 "$work/out/median.####.png" 41 101
    rm -rf "$work/peer" && mkdir -p "$work/peer"
    # tmedian's first frame out is the median of the first 81 frames: frame 41's.
    timed "$peers" ffmpeg -v error -y -i "$clip/street.%04d.png" -vf tmedian=radius=40 -start_number 41 \
      "$work/peer/median.%04d.png"
  done
  local same=different
  if [ "$(pixel_digests "$work/out")" = "$(pixel_digests "$work/peer")" ]; then same=identical; fi
  local ours theirs oursCpu theirsCpu
  ours=$(column_median "$renders" 1)
  theirs=$(column_median "$peers" 1)
  oursCpu=$(column_median "$renders" 2)
  theirsCpu=$(column_median "$peers" 2)
  report footage "$renders" "$floors" "$(awk -v o="$ours" -v t="$theirs" -v oc="$oursCpu" -v tc="$theirsCpu" \
    -v s="$same" 'BEGIN { printf "  ffmpeg tmedian=radius=40: %.2f s, %.2f s CPU; taviron / ffmpeg %.2fx, CPU %.2fx;" \
    " pixels of the 61 frames %s", t, tc, o / t, oc / tc, s }')"
}

# The pixels of FOLDER/median.0041.png ..., frame by frame, as ffmpeg decodes
# them (one digest a line; the header, which names the aspect ratio the PNG
# states, left out).
pixel_digests() {
  ffmpeg -v error -start_number 41 -i "$1/median.%04d.png" -pix_fmt rgb24 -f framemd5 - | grep -v '^#'
}

IFS=, read -r -a chosen <<< "$cases"
for name in "${chosen[@]}"; do
  case $name in
    plate4k) plate plate4k 100 ;;
    plate4k-501) plate plate4k-501 250 ;;
    png1080) png1080 ;;
    footage) footage ;;
    *) echo "codec-floor: no case $name" >&2; exit 2 ;;
  esac
done

echo "$(nproc) cores; medians of $runs run(s); times in seconds, floor = decode + encode on every core"
printf '%-12s %8s %8s %8s %8s %8s %8s %8s %8s %8s   %s\n' case render decode encode floor ratio "CPU" "flr CPU" "CPU rat" "peak MB" "load (1, 5, 15 min)"
printf '%s\n' "${rows[@]}"
