#!/usr/bin/env bash
# Installs what is needed, builds, and runs the program's main job as far as it exists: the
# upgrade wizard's window with its seven pages and the connection choice (the modem probe and
# the firmware transfer arrive with their own work). With a display it opens the real window;
# without one it runs the wizard under a private Xvfb, walks the connection road with real
# key presses and saves screenshots in build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh normal
program="$PWD/build/app/Project1"
echo "The wizard's modem probe and firmware transfer are not built yet: the demo shows its pages."

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$program"
fi

out="$PWD/build/demo"
mkdir -p "$out"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$program" &
pid=$!
win=$(xdotool search --sync --name 'Pelko Norvane Firmware Upgrade Software' | head -n 1)
shot() { sleep 0.3; xwd -root -silent | /usr/bin/convert xwd:- "$out/$1.png"; echo "  $out/$1.png"; }
echo "Screenshots:"
shot 1-welcome
xdotool windowfocus --sync "$win"          # no window manager here: give the window the keys
xdotool key alt+n                           # Next: the connection page
shot 2-connection
xdotool key Down            # the first radio group's next item...
xdotool key Up              # ...and back: Ethernet is chosen
shot 3-ethernet-chosen
xdotool key Escape          # Cancel ends the program
rc=0
wait "$pid" || rc=$?
echo "The wizard ended with exit code $rc."
exit "$rc"
