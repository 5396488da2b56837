#!/usr/bin/env bash
# Runs clang-tidy with the checks in .clang-tidy on the engine's layers (src/base ... src/analysis); any
# finding fails. Needs only a configured build folder (for compile_commands.json).
#   scripts/tidy.sh [build directory]   (default: build-tidy, configured here)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-tidy}
cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DNK_VISUAL=OFF -DNK_BUILD_TESTS=OFF \
  -DNK_BUILD_BENCH=OFF >/dev/null
run-clang-tidy -quiet -p "$build" -j"$(nproc)" "$PWD/src/(base|params|config|model|strategy|sim|results|analysis)/.*\.cpp\$" > "$build/tidy.log" 2>&1 || {
  grep -E "(warning|error):" "$build/tidy.log" | sort -u >&2
  echo "clang-tidy: findings in the engine (full log: $build/tidy.log)" >&2
  exit 1
}
echo "clang-tidy: the engine is clean"
