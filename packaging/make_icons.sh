#!/usr/bin/env bash
# Makes the desktop icons (hicolor, 16 to 256 pixels) from the program's logo, app/Logo.gif:
# the logo without its last column and row (64 x 32), centred on a transparent square; whole
# multiples keep its pixels sharp, smaller sizes are averaged down. Run by hand when the logo
# changes; the build installs the checked-in files. Needs Debian's ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
export MAGICK_THREAD_LIMIT=1
for size in 16 24 32 48 64 128 256; do
  if [ "$size" -ge 64 ]; then filter=point; else filter=box; fi
  /usr/bin/convert ../app/Logo.gif -crop 64x32+0+0 +repage -filter "$filter" -resize "${size}x" \
    -background none -gravity center -extent "${size}x${size}" \
    -define png:exclude-chunks=date,time -strip "PNG32:icons/${size}.png"
done
