#!/usr/bin/env bash
# Installs what is missing, builds the program and runs the bundled example in batch mode.
# Standard output carries the example's result only: what installing and building print goes
# to standard error.
set -euo pipefail
cd "$(dirname "$0")/.."
{
  bash scripts/install-deps.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DNK_BUILD_TESTS=OFF -DNK_BUILD_BENCH=OFF
  cmake --build build -j"$(nproc)" --target nkswarm
} >&2
cd examples
exec ../build/nkswarm "${1:-basic.cfg}"
