#!/usr/bin/env bash
# Makes the Windows download: a zip with Project1.exe (one static program that imports only
# Windows' own DLLs) and a short read-me for Windows users, from the cross-built tree
# build-win/ (configured here first if need be). Prints the zip's path.
set -euo pipefail
cd "$(dirname "$0")/.."
# The tree as it was configured (reconfiguring could change its flags and rebuild it all).
[ -f build-win/CMakeCache.txt ] || ./scripts/build.sh windows >/dev/null
cmake --build build-win --target Project1 -j2 >/dev/null
version="$(sed -n 's/^project(UpgradeWizard VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
name="norvane-upgrade-wizard-$version-windows"
stage="build-win/package/$name"
rm -rf "build-win/package" && mkdir -p "$stage"
cp build-win/app/Project1.exe packaging/windows/README.txt "$stage/"
x86_64-w64-mingw32-strip "$stage/Project1.exe"
# The program must run on a bare Windows: only system DLLs may be imported.
unexpected="$(objdump -p "$stage/Project1.exe" | sed -n 's/^\s*DLL Name: //p' |
  grep -viE '^(kernel32|user32|gdi32|shell32|ws2_32|msvcrt|advapi32|ole32|comctl32|comdlg32|imm32|winmm)\.dll$' || true)"
if [ -n "$unexpected" ]; then
  echo "Project1.exe imports more than Windows' own DLLs: $unexpected" >&2
  exit 1
fi
(cd build-win/package && rm -f "$name.zip" && zip -q -X -r "$name.zip" "$name")
echo "build-win/package/$name.zip"
