#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a bounded time:
#   scripts/fuzz.sh [SECONDS]      (default 60 seconds per harness)
# Harnesses: config (the configuration reader) and genome (the genome population
# reader). Each starts from tests/system/fuzz_corpus/<harness> and tests/system/fuzz_regression/<harness>
# and keeps what it learns in build-fuzz/corpus/<harness>. Any crash, hang (one input
# over 10 s), leak, use of more than 2 GB or sanitizer report fails the script; the input
# is saved under build-fuzz/artifacts/ and belongs in tests/system/fuzz_regression/ once fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
secs=${1:-60}
dir=${NK_FUZZ_BUILD_DIR:-build-fuzz}
case "$secs" in
  '' | *[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;;
esac

if ! command -v clang++ > /dev/null; then
  echo "fuzz: clang++ is missing (scripts/install-deps.sh --all installs clang and libclang-rt-14-dev)" >&2
  exit 1
fi
mkdir -p "$dir"
CC=clang CXX=clang++ cmake -S fuzz -B "$dir" > "$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; exit 1; }
cmake --build "$dir" -j"$(nproc)"

mkdir -p "$dir/artifacts"
# The harnesses write each input to files; memory-backed files are twice as fast.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
status=0
for harness in config genome; do
  mkdir -p "$dir/corpus/$harness"
  log="$dir/$harness.log"
  # Paths are absolute: libFuzzer resolves them from its working directory. Standard input
  # is empty, so that a configuration naming /dev/stdin as its genome file cannot wait.
  rc=0
  "$root/$dir/${harness}_fuzzer" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
    -close_fd_mask=3 -print_final_stats=1 -dict="$root/fuzz/$harness.dict" \
    -artifact_prefix="$root/$dir/artifacts/$harness-" \
    "$root/$dir/corpus/$harness" "$root/tests/system/fuzz_corpus/$harness" "$root/tests/system/fuzz_regression/$harness" \
    < /dev/null > "$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
  corpus=$(find "$dir/corpus/$harness" -type f | wc -l)
  if [ "$rc" -eq 0 ]; then
    echo "fuzz: $harness: ok: ${runs:-?} inputs in ${secs}s, corpus $corpus files, peak ${rss:-?} MB"
  else
    echo "fuzz: $harness: FAILED (status $rc) after ${runs:-?} inputs; the log ends:"
    tail -n 60 "$log"
    ls -1 "$dir/artifacts/$harness-"* 2> /dev/null | sed 's/^/fuzz: input kept: /'
    status=1
  fi
done
exit $status
