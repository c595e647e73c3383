#!/usr/bin/env bash
# Installs what is needed, builds, and runs the program's main job: a firmware upgrade of a
# simulated modem. In a fresh working directory it makes sample "TEPatch.bin" and
# "TEImage.bin" files, starts the simulated modem on 127.0.0.1 (telnet port 23, TFTP port 69,
# acknowledgements slowed so that the upload lasts a few seconds) and opens the wizard there.
# With a display the window is yours to drive (choose "Custom IP Address:" and type
# 127.0.0.1); without one the wizard runs under a private Xvfb, where real key presses and
# clicks take the normal road and screenshots go to build/demo/, one of them taken while the
# progress bar moves. Afterwards it checks that the modem received the firmware byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh normal
root="$PWD"
program="$root/build/app/Project1"
out="$root/build/demo"
mkdir -p "$out"
rm -f "$out"/*.png
work=$(mktemp -d /tmp/wizard-demo-XXXXXX)
mkdir -p "$work/modem"
head -c 262144 /dev/urandom > "$work/TEPatch.bin"
head -c 131072 /dev/urandom > "$work/TEImage.bin"

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
fail() { echo "demo: $*" >&2; exit 1; }

# 257 blocks of 1024 bytes at 20 ms each: about five seconds of upload.
coproc MODEM { exec "$root/build/tools/sim_modem" --address 127.0.0.1 --dir "$work/modem" --greeting old \
  --ack-delay-ms 20; }
pids+=("$MODEM_PID")
exec {modem_out}<&"${MODEM[0]}"  # bash drops the coprocess's own descriptors when it ends
# Its first line says that both ports listen.
read -r -t 10 -u "$modem_out" ready || fail "the simulated modem did not start"
echo "$ready"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Opening the wizard: choose \"Custom IP Address:\", type 127.0.0.1 and go on with Next."
  (cd "$work" && "$program") || true
else
  # Xvfb picks a free display itself and names it once it takes connections.
  mkfifo "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
  pids+=($!)
  read -r -t 20 number < "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$number"
  (cd "$work" && exec "$program") &
  app=$!
  pids+=("$app")
  win=$(xdotool search --sync --name 'Pelko Norvane Firmware Upgrade Software' | head -n 1)
  read -r wx wy < <(xwininfo -id "$win" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {print x, $NF}')

  # The screen in one capture; "at X Y" then reads a pixel of the window from it (RRGGBB).
  capture() { xwd -root -silent > "$work/screen.xwd"; }
  at() { /usr/bin/convert "$work/screen.xwd" -format "%[hex:p{$((wx + $1)),$((wy + $2))}]" info:; }
  # Waits (up to 20 s) until the named page shows; what marks each page is its layout.
  is_page() {
    case "$1" in
      welcome) [ "$(at 80 300)" = 0A246A ] && [ "$(at 451 538)" = FFFFFF ] ;;  # the strip, Cancel's edge
      connection) [ "$(at 16 150)" = 808080 ] ;;                             # the first group's frame
      ready) [ "$(at 16 150)" = D4D0C8 ] && [ "$(at 366 545)" = 000000 ] ;;   # no groups; Next is default
      uploading) [ "$(at 300 528)" = D4D0C8 ] && [ "$(at 160 296)" != D4D0C8 ] && [ "$(at 440 296)" = D4D0C8 ] ;;
      complete) [ "$(at 300 528)" = 808080 ] && [ "$(at 16 150)" = D4D0C8 ] && [ "$(at 366 545)" = D4D0C8 ] ;;
    esac
  }
  await() {
    for _ in $(seq 200); do
      capture
      if is_page "$1"; then return 0; fi
      sleep 0.1
    done
    fail "the $1 page did not show"
  }
  # Captures until two in a row agree, so that a page still being drawn is not kept.
  await_still() {
    capture
    for _ in $(seq 50); do
      sleep 0.1
      mv "$work/screen.xwd" "$work/before.xwd"
      capture
      cmp -s "$work/screen.xwd" "$work/before.xwd" && return 0
    done
    fail "the window did not settle"
  }
  # Keeps the capture that showed the page.
  shot() { /usr/bin/convert "xwd:$work/screen.xwd" "$out/$1.png"; echo "  screenshot $out/$1.png"; }

  xdotool windowfocus --sync "$win"               # no window manager here: give the window the keys
  await welcome; shot 1-welcome
  xdotool key alt+n                                # Next: the connection page
  await connection
  xdotool mousemove --window "$win" 40 297 click 1 # "Custom IP Address:"
  xdotool type --delay 20 127.0.0.1
  await_still; shot 2-custom-address
  xdotool key alt+n                                # Next: the probe (two seconds), then the verdict
  await ready; shot 3-ready
  xdotool key alt+n                                # Next: the upload
  await uploading; shot 4-uploading                # the bar a fifth filled or more, its right end still empty
  await complete; shot 5-complete
  xdotool key alt+f                                # Finish: ends the program
  rc=0
  wait "$app" || rc=$?
  echo "The wizard ended with exit code $rc."
fi

kill "$MODEM_PID"
while read -r -t 10 -u "$modem_out" line; do echo "$line"; done  # its summary, up to its exit

if cmp -s "$work/TEPatch.bin" "$work/modem/TEPatch.bin"; then
  echo "The modem received TEPatch.bin ($(stat -c %s "$work/TEPatch.bin") bytes) byte for byte."
else
  fail "the modem did not receive TEPatch.bin intact"
fi
