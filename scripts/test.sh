#!/usr/bin/env bash
# Installs what is needed, builds the normal and the sanitizer trees, and runs every test in
# both: inside a loopback-only network namespace (so nothing can leave the machine), with a
# private Xvfb for the tests that need a real X server. Then fuzzes each libFuzzer target for
# FUZZ_SECONDS (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
./scripts/build.sh normal
./scripts/build.sh asan

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -S "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
export DISPLAY="$display"

run_suite() {
  local dir="$1"
  echo "== tests in $dir =="
  ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300
}
export -f run_suite
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
if unshare -n true 2>/dev/null; then
  # A second loopback address: with 127.0.0.1 alone the resolver's "configured addresses" rule
  # finds no IPv4 at all, and tftpd-hpa cannot resolve its bind address.
  unshare -n bash -c 'ip link set lo up && ip addr add 127.0.0.2/8 dev lo &&
    run_suite build && run_suite build-asan' || status=$?
else
  echo "NOTE: this machine refuses a private network namespace (unshare -n);" \
       "running without it - the socket layer's loopback guard still keeps every test on 127.0.0.0/8."
  { run_suite build && run_suite build-asan; } || status=$?
fi
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
