#!/usr/bin/env bash
# Writes the differential GIF corpus into DIR with ImageMagick's convert (given as CONVERT):
# many sizes, 1 to 8 bits per pixel, interlaced and not, both versions, transparent frames and
# two-frame animations whose second frame has a local colour table. Deterministic: the plasma
# patterns are seeded, and GIF files carry no time stamps.
# Usage: make_gif_corpus.sh CONVERT DIR
set -euo pipefail
export MAGICK_THREAD_LIMIT=1
convert="$1"
dir="$2"
mkdir -p "$dir"
rm -f "$dir"/*.gif

sizes=(1x1 2x3 3x1 7x5 16x16 17x9 33x65 65x33 100x1 1x100 128x96 255x3 320x240 640x480 1000x50)
depths=(2 4 8 16 32 64 128 256)

seed=1
for size in "${sizes[@]}"; do
  w=${size%x*}
  h=${size#*x}
  for pattern in plasma gradient; do
    if [ "$pattern" = plasma ]; then
      source=(-seed "$seed" "plasma:fractal")
    else
      source=("gradient:#f03010-#1040e0")
    fi
    seed=$((seed + 1))
    writes=()
    i=0
    # Gradients compress differently but add little else: half the depths suffice.
    if [ "$pattern" = plasma ]; then use=("${depths[@]}"); else use=(2 16 128 256); fi
    for n in "${use[@]}"; do
      base="$dir/${pattern}_${size}_c${n}"
      # Alternate interlacing and version over the depths so that both meet every depth.
      if [ $((i % 2)) -eq 0 ]; then lace=GIF; else lace=none; fi
      if [ $((i % 3)) -eq 0 ]; then prefix=GIF87:; else prefix=; fi
      writes+=( \( +clone -colors "$n" -interlace "$lace" -write "${prefix}${base}.gif" +delete \) )
      # A transparent corner on every other depth, made before quantising so that the colour
      # table is the encoder's own.
      if [ "$pattern" = plasma ] && [ $((i % 2)) -eq 1 ]; then
        tw=$(( (w + 2) / 3 )); th=$(( (h + 2) / 3 ))
        writes+=( \( +clone -alpha set -region "${tw}x${th}+0+0" -channel A -evaluate set 0 +channel +region
                     -colors "$n" -interlace "$lace" -write "${base}_t.gif" +delete \) )
      fi
      i=$((i + 1))
    done
    "$convert" -respect-parentheses -size "$size" "${source[@]}" "${writes[@]}" null:
  done
  # Two frames with different palettes: the second carries a local colour table.
  for n in $(( seed % 2 == 0 ? 4 : 256 )); do
    "$convert" -size "$size" -seed "$seed" plasma:fractal -size "$size" "gradient:#20c040-#f0e020" \
      -colors "$n" "$dir/anim_${size}_c${n}.gif"
    seed=$((seed + 1))
  done
done
ls "$dir"/*.gif | wc -l > "$dir/count.txt"
