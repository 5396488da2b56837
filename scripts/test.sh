#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --all
jobs=$(nproc)
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Release -DNK_WERROR=ON
cmake --build build-test -j"$jobs"
(cd build-test && ctest --output-on-failure -j"$jobs" --timeout 600)
