#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (tree build-fuzz/) and runs each for the given number
# of seconds (default 60) on one core, starting from its seed corpus. New inputs go to
# build-fuzz/corpus/<target>; a finding is left as build-fuzz/crash-* and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
if [ ! -f build-fuzz/CMakeCache.txt ]; then
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWIZARD_FUZZ=ON -DWIZARD_TESTS=OFF -DWIZARD_BENCH=OFF >/dev/null
fi
targets=(fuzz_tftp_replies)
ninja -C build-fuzz -j2 "${targets[@]}"
for t in "${targets[@]}"; do
  seeds="fuzz/corpus/${t#fuzz_}"
  work="build-fuzz/corpus/$t"
  mkdir -p "$work"
  echo "== $t for ${seconds}s =="
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=256 \
    -timeout=10 -artifact_prefix=build-fuzz/ -print_final_stats=1 "$work" "$seeds"
done
