#!/usr/bin/env bash
# Installs what is needed; checks the layering, the formatting and (on the normal tree) the
# clang-tidy rules; builds the normal and the sanitizer trees with warnings as errors, and runs
# every test in both: inside a loopback-only network namespace (so nothing can leave the
# machine), with a private Xvfb for the tests that need a real X server. Then cross-builds for
# Windows, runs that build's tests under Wine on the same Xvfb and zips the program. The X11
# tests then run once more with a window manager (openbox) on that Xvfb, which reparents,
# places and focuses the windows. Last, fuzzes each libFuzzer target for FUZZ_SECONDS
# (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
./scripts/check-layers.sh
./scripts/format.sh --check
export WIZARD_WERROR=ON
./scripts/build.sh normal
if ! ./scripts/tidy.sh >build/tidy.log 2>&1; then
  grep -v -e '^clang-tidy-14 ' -e 'warnings generated' build/tidy.log >&2
  echo "clang-tidy found the above (whole log: build/tidy.log)" >&2
  exit 1
fi
./scripts/build.sh asan

# A display number no other X server holds: with one taken, Xvfb would not start and the tests
# would meet someone else's server (and its end).
n=$((90 + RANDOM % 100))
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
display=":$n"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
wm_pid=
trap 'kill $wm_pid $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -S "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
export DISPLAY="$display"

# Usage: run_suites [ctest options] -- dir...
run_suites() {
  local opts=()
  while [ "$1" != "--" ]; do opts+=("$1"); shift; done
  shift
  for dir in "$@"; do
    echo "== tests in $dir ${opts[*]} ${WM_NOTE:-} =="
    ctest --test-dir "$dir" "${opts[@]}" --output-on-failure -j2 --timeout 300 || return
  done
}
export -f run_suites
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

if unshare -n true 2>/dev/null; then
  isolated() {
    # A second loopback address: with 127.0.0.1 alone the resolver's "configured addresses"
    # rule finds no IPv4 at all, and tftpd-hpa cannot resolve its bind address.
    unshare -n bash -c 'ip link set lo up && ip addr add 127.0.0.2/8 dev lo && "$@"' isolated "$@"
  }
else
  echo "NOTE: this machine refuses a private network namespace (unshare -n);" \
       "running without it - the socket layer's loopback guard still keeps every test on 127.0.0.0/8."
  isolated() { "$@"; }
fi

status=0
isolated run_suites -- build build-asan || status=$?

# The Windows build, its tests run under Wine beside the Linux peers, in a Wine prefix of the
# tree's own, before any window manager has run on the display: one that was killed leaves its
# marks on the root window, and Wine then waits on a manager that is gone. One persistent
# wineserver serves the whole run, started inside the namespace (Wine's sockets are made by the
# server, so the server's network is the tests' network), and Wine's own services are started
# before the tests: started by a test, they would outlive it holding ctest's output open, and a
# cold start costs seconds per test.
wine_suites() {
  wineserver -p >/dev/null 2>&1
  wine cmd /c exit >/dev/null 2>&1
  local s=0
  run_suites -- build-win || s=$?
  wineserver -k || true
  return $s
}
export -f wine_suites
if [ $status -eq 0 ]; then
  ./scripts/build.sh windows
  . scripts/wine-prefix.sh
  isolated wine_suites || status=$?
  # The Windows download, from the tree just tested.
  [ $status -eq 0 ] && { ./scripts/package-windows.sh || status=$?; }
fi
# Debian's default configuration, not whatever the user running this keeps in ~/.config.
start_openbox() {
  openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml >/dev/null 2>&1 &
  wm_pid=$!
  # It has taken the screen once it names its check window on the root window.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  echo "openbox did not start on $display" >&2
  return 1
}
# Killed outright, as a stalled one might not act on a polite signal; it leaves its check
# window's name behind, which the next start would take for its own.
stop_openbox() {
  kill -KILL "$wm_pid" 2>/dev/null || true
  wait "$wm_pid" 2>/dev/null || true
  wm_pid=
  xprop -root -remove _NET_SUPPORTING_WM_CHECK 2>/dev/null || true
}
# The X11 tests passed above without a window manager; here they meet one. Twice in some
# fifteen runs openbox has stopped mapping new windows for half a minute, and every test that
# shows one failed with "window not on screen within 5 s"; so a test that fails here runs once
# more under a fresh openbox, and only a second failure counts.
for dir in build build-asan; do
  start_openbox || { status=1; break; }
  if ! WM_NOTE="under openbox" isolated run_suites -L x11 -- "$dir"; then
    stop_openbox
    echo "== the failed tests in $dir once more, under a fresh openbox =="
    { start_openbox && isolated ctest --test-dir "$dir" --rerun-failed --output-on-failure --timeout 300; } || status=$?
  fi
  stop_openbox
done
# The Debian package of the tested normal tree (the suite's "package" tests made, linted and
# ran one already), kept in build/ for whoever installs what was tested.
if [ $status -eq 0 ]; then
  (cd build && cpack -G DEB >/dev/null) && echo "package: $(ls build/norvane-upgrade_*.deb)" || status=$?
fi
# A short fuzzing run of every libFuzzer target (clang, ASan+UBSan); scripts/fuzz.sh runs longer.
if [ $status -eq 0 ]; then
  ./scripts/fuzz.sh "${FUZZ_SECONDS:-60}" || status=$?
fi
exit $status
