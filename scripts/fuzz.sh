#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (tree build-fuzz/) and runs each for the given number
# of seconds (default 60) on one core, starting from its seed corpus fuzz/corpus/<name> when
# there is one. Usage: scripts/fuzz.sh [seconds] [target...] (default: every fuzz/fuzz_*.cpp).
# New inputs go to build-fuzz/corpus/<target>; a finding is left as build-fuzz/crash-* and
# fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
if [ ! -f build-fuzz/CMakeCache.txt ]; then
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWIZARD_FUZZ=ON -DWIZARD_TESTS=OFF -DWIZARD_BENCH=OFF >/dev/null
fi
cmake build-fuzz -DWIZARD_WERROR="${WIZARD_WERROR:-OFF}" >/dev/null
ninja -C build-fuzz -j2 "${targets[@]}"
for t in "${targets[@]}"; do
  work="build-fuzz/corpus/$t"
  mkdir -p "$work"
  dirs=("$work")
  [ -d "fuzz/corpus/${t#fuzz_}" ] && dirs+=("fuzz/corpus/${t#fuzz_}")
  echo "== $t for ${seconds}s =="
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=256 \
    -timeout=10 -artifact_prefix=build-fuzz/ -print_final_stats=1 "${dirs[@]}"
done
