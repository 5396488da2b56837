#!/usr/bin/env bash
# Formats every C++ source with clang-format (.clang-format at the root).
#   scripts/format.sh           rewrite the files in place
#   scripts/format.sh --check   list the files that differ and exit 1 if any do
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'neat/*.cpp' 'neat/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'fuzz/*.cpp' 'fuzz/*.h' 'python/*.cpp')
if [ "${1:-}" = "--check" ]; then
  bad=0
  for f in "${files[@]}"; do
    if ! clang-format "$f" | cmp -s - "$f"; then echo "$f"; bad=1; fi
  done
  exit $bad
fi
clang-format -i "${files[@]}"
