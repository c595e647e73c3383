#!/usr/bin/env bash
# Runs clang-tidy, with the .clang-tidy files of the tree, over every .cpp file of ours in the
# normal build's compile database (generated sources are left out); exits non-zero on any
# finding, since the configuration makes every warning an error.
# Usage: scripts/tidy.sh [regex of files] (default: all of ours). Needs a configured build/
# (scripts/build.sh normal); nothing has to be built, no header is generated.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/compile_commands.json ]; then
  echo "no build/compile_commands.json: run scripts/build.sh normal first" >&2
  exit 2
fi
root="$(pwd)"
files="${1:-^$root/(app|bench|cli|fuzz|graphics|net|platform|telnet|tests|tools|widgets|wizard)/.*\.cpp\$}"
exec run-clang-tidy -j2 -quiet -p build "$files"
