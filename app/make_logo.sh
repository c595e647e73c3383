#!/usr/bin/env bash
# Draws the program's 65 x 33 logo (a modem with its lights and a signal mark on a light blue
# ground) into app/Logo.gif: GIF89a with a 256-entry global colour table. Run by hand when the
# logo changes; the build embeds the checked-in file. Needs Debian's ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
export MAGICK_THREAD_LIMIT=1
/usr/bin/convert -size 65x33 xc: -sparse-color bilinear "0,0 #ffffff 64,0 #c8dcf5 0,32 #e3ecf8 64,32 #7fa6dc" \
  \( -size 34x14 gradient:"#4a6294"-"#26344f" \) -geometry +5+14 -compose over -composite \
  -fill none -stroke "#1b2740" -strokewidth 1 -draw "roundrectangle 5,14 38,27 3,3" \
  -draw "line 11,14 8,4" -draw "line 32,14 35,4" \
  -stroke none -fill "#46d35a" -draw "circle 12,21 12,19" -fill "#f2b632" -draw "circle 19,21 19,19" \
  -fill "#46d35a" -draw "circle 26,21 26,19" -fill "#9fb3d6" -draw "rectangle 30,20 35,22" \
  -fill none -stroke "#2f6fd0" -strokewidth 2 -draw "arc 36,6 52,22 -50,50" -draw "arc 38,1 62,27 -45,45" \
  -dither None -treedepth 7 -colors 256 Logo.gif
# The colour count must fill a 256-entry table (packed byte 0xF7).
test "$(od -An -tx1 -j10 -N1 Logo.gif | tr -d ' ')" = f7
