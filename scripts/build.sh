#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [normal|asan|windows] (default
# normal); windows cross-builds with mingw-w64 into build-win/.
# With WIZARD_WERROR=ON in the environment (as CI runs it), warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
kind="${1:-normal}"
case "$kind" in
  normal) dir=build; extra=() ;;
  asan) dir=build-asan; extra=(-DWIZARD_SANITIZE=ON -DWIZARD_BENCH=OFF) ;;
  windows) dir=build-win; extra=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DWIZARD_BENCH=OFF) ;;
  *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
fi
cmake "$dir" -DWIZARD_WERROR="${WIZARD_WERROR:-OFF}" >/dev/null
cmake --build "$dir" -j2
