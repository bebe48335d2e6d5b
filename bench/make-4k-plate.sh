#!/usr/bin/env bash
# A 3840x2160 half-float RGBA OpenEXR plate of FRAMES frames in DIR,
# DIR/plate.0001.exr ...: 48 distinct frames (a smooth gradient with a block
# passing through, ZIP-compressed, about 1.2 MB each) that the frame numbers
# link to in turn, so that every frame number is still decoded on its own and
# the files fit a small disk. Frames already there are kept. Needs oiiotool.
#
#   bench/make-4k-plate.sh DIR FRAMES
set -euo pipefail
[ $# = 2 ] || { sed -n '2,8p' "$0" >&2; exit 2; }
clip=$1
frames=$2
command -v oiiotool > /dev/null 2>&1 || { echo "make-4k-plate: oiiotool is needed" >&2; exit 2; }
distinct=48
mkdir -p "$clip"
for ((i = 0; i < distinct; ++i)); do
  file=$(printf '%s/distinct.%02d.exr' "$clip" "$i")
  [ -f "$file" ] && continue
  oiiotool --pattern "fill:topleft=0.1,0.15,0.2,1:topright=0.3,0.25,0.2,1:bottomleft=0.05,0.1,0.1,1:bottomright=0.4,0.35,0.3,1" \
    3840x2160 4 --pattern "constant:color=0.8,0.3,0.2,1" 320x640 4 \
    --origin "+$((200 + i * 70))+$((700 + (i % 7) * 40))" --over -d half --compression zip -o "$file"
done
for ((n = 1; n <= frames; ++n)); do
  link=$(printf '%s/plate.%04d.exr' "$clip" "$n")
  [ -e "$link" ] || ln -s "$(printf 'distinct.%02d.exr' $(((n - 1) % distinct)))" "$link"
done
