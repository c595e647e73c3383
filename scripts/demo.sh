#!/usr/bin/env bash
# Installs what is needed, builds, and runs the program's main job: a firmware upgrade of a
# simulated modem. In a fresh working directory it makes sample "TEPatch.bin" and
# "TEImage.bin" files, starts the simulated modem on 127.0.0.1 (telnet port 23, TFTP port 69)
# and opens the wizard there. With a display the window is yours to drive (choose "Custom IP
# Address:" and type 127.0.0.1); without one the wizard runs under a private Xvfb, where real
# key presses and clicks take the normal road and screenshots go to build/demo/. Afterwards it
# checks that the modem received the firmware byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh normal
root="$PWD"
program="$root/build/app/Project1"
out="$root/build/demo"
mkdir -p "$out"
work=$(mktemp -d /tmp/wizard-demo-XXXXXX)
mkdir -p "$work/modem"
head -c 262144 /dev/urandom > "$work/TEPatch.bin"
head -c 131072 /dev/urandom > "$work/TEImage.bin"

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
"$root/build/tools/sim_modem" --address 127.0.0.1 --dir "$work/modem" --greeting old &
pids+=($!)
sleep 0.3

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Opening the wizard: choose \"Custom IP Address:\", type 127.0.0.1 and go on with Next."
  (cd "$work" && "$program") || true
else
  display=":$((90 + RANDOM % 100))"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY="$display"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  (cd "$work" && exec "$program") &
  app=$!
  win=$(xdotool search --sync --name 'Pelko Norvane Firmware Upgrade Software' | head -n 1)
  shot() { sleep 0.4; xwd -root -silent | /usr/bin/convert xwd:- "$out/$1.png"; echo "  screenshot $out/$1.png"; }
  xdotool windowfocus --sync "$win"               # no window manager here: give the window the keys
  shot 1-welcome
  xdotool key alt+n                                # Next: the connection page
  xdotool mousemove --window "$win" 40 297 click 1 # "Custom IP Address:"
  xdotool type --delay 20 127.0.0.1
  shot 2-custom-address
  xdotool key alt+n                                # Next: the probe (two seconds), then the verdict
  sleep 3
  shot 3-ready
  xdotool key alt+n                                # Next: the upload
  sleep 2
  shot 4-complete
  xdotool key alt+f                                # Finish: ends the program
  rc=0
  wait "$app" || rc=$?
  echo "The wizard ended with exit code $rc."
fi

if cmp -s "$work/TEPatch.bin" "$work/modem/TEPatch.bin"; then
  echo "The modem received TEPatch.bin ($(stat -c %s "$work/TEPatch.bin") bytes) byte for byte."
else
  echo "The modem did not receive TEPatch.bin intact." >&2
  exit 1
fi
