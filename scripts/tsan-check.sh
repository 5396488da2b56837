#!/usr/bin/env bash
# Builds the program with ThreadSanitizer in a build folder of its own and runs the threads test
# once: runs in worker threads must share nothing they write. Any data race fails the test (the
# program exits 66 instead of the status the test expects).
#   scripts/tsan-check.sh [BUILD_DIR]        (default build-tsan)
# Kept out of CTest: a TSan build of the engine takes long; CI keeps ASan and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-tsan}
launcher=()
if command -v ccache > /dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNK_BUILD_TESTS=OFF -DNK_BUILD_BENCH=OFF -DNK_VISUAL=OFF \
  -DNK_PYTHON=OFF "${launcher[@]}" "-DCMAKE_CXX_FLAGS=-fsanitize=thread" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread"
cmake --build "$dir" -j"$(nproc)" --target nkswarm
export TSAN_OPTIONS=halt_on_error=1:exitcode=66:second_deadlock_stack=1
python3 tests/system/results/test_threads.py "$dir/nkswarm"
echo "tsan-check: no data race"
