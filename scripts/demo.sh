#!/usr/bin/env bash
# Installs what is needed, builds, and runs what exists of the program so far: the platform
# layer's demonstration form (the wizard itself arrives with its own work). With a display it
# opens a real window; without one it runs under a private Xvfb and saves a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh normal
echo "The upgrade wizard is not built yet; showing the platform demonstration form instead."
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec ./build/tools/platform_demo
fi
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
sleep 1
DISPLAY="$display" ./build/tools/platform_demo --screenshot build/platform_demo.png
echo "Screenshot of the demonstration form: build/platform_demo.png"
