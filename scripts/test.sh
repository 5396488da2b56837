#!/usr/bin/env bash
# Installs what is missing, checks formatting and the static checks, builds everything with
# warnings as errors and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --all
# The sources are formatted with .clang-format, and the engine is clean under .clang-tidy.
bash scripts/format.sh --check
bash scripts/tidy.sh
jobs=$(nproc)
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Release -DNK_WERROR=ON
cmake --build build-test -j"$jobs"
# The view and window tests need an X display: run the tests under a virtual one (Xvfb,
# kept from resetting between clients so that no test meets it mid-reset)
# when it is installed; without any display those tests skip themselves.
if command -v xvfb-run >/dev/null; then
  (cd build-test && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure -j"$jobs" --timeout 600)
else
  (cd build-test && ctest --output-on-failure -j"$jobs" --timeout 600)
fi
# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# configuration and genome readers fuzzed for a minute each.
bash scripts/test-sanitize.sh
bash scripts/fuzz.sh 60
