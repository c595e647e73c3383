#!/usr/bin/env bash
# Formats our C++ sources with the root .clang-format (clang-format 14), in place.
# Usage: scripts/format.sh [--check]   --check changes nothing and fails if any file would change.
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=$(command -v clang-format-14 || command -v clang-format)
mapfile -t files < <(git ls-files -- '*.h' '*.cpp')
if [ "${1:-}" = "--check" ]; then
  "$clang_format" --style=file --dry-run -Werror "${files[@]}"
else
  "$clang_format" --style=file -i "${files[@]}"
fi
