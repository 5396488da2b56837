#!/usr/bin/env bash
# Runs the program under Valgrind's memcheck: a small batch with probability tables, a
# small batch with a network strategy (examples/genomes, plain and gzip), and the
# action-probability check. Any memory error or definite or indirect leak fails.
#   scripts/valgrind-check.sh PROGRAM
# Exits 77 (CTest: skipped) when valgrind is missing or PROGRAM is a sanitizer build,
# which Valgrind cannot run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ne 1 ]; then
  echo "usage: $0 PROGRAM" >&2
  exit 2
fi
prog=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
if ! command -v valgrind > /dev/null; then
  echo "valgrind-check: valgrind is not installed (scripts/install-deps.sh --all); skipped"
  exit 77
fi
libs=$(ldd "$prog" 2> /dev/null || true)
if grep -q -e libasan -e libubsan <<< "$libs"; then
  echo "valgrind-check: $prog is a sanitizer build; skipped"
  exit 77
fi

# Exit status 99 tells Valgrind's findings from the program's own status 1.
vg=(valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect
    --show-leak-kinds=definite,indirect --track-origins=yes)
failed=0
# check STATUS DIR ARGS...: runs the program in DIR and expects exit status STATUS.
check() {
  local want=$1 dir=$2
  shift 2
  local out status=0
  out=$(cd "$dir" && "${vg[@]}" "$prog" "$@" 2>&1) || status=$?
  if [ "$status" -eq "$want" ]; then
    echo "valgrind-check: ok: ($dir) nkswarm $*"
  else
    echo "valgrind-check: FAILED with status $status, not $want: ($dir) nkswarm $*"
    echo "$out"
    failed=1
  fi
}

cd "$root"
check 0 tests/data small.cfg --print-stats
check 0 examples groups_network.cfg --num-runs 1
check 0 examples groups_network.cfg --print-action-probs 3 0 0.3 0.7 0.2
check 0 examples groups_network.cfg --print-action-probs 3 1 0.6
check 0 tests/system/golden/t40_nn_type0_gz m.cfg --num-runs 1

# Errors end the program from deep inside the readers; nothing may be lost there either. The
# runs are the bad-input cases genome_cycle and flag_2 (tests/system/badinput/cases.txt),
# written out here as their blocks say: a shared base with one line replaced.
bad=$root/tests/system/badinput
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/genome_cycle" "$scratch/flag_2"
sed 's/^NNStrategy genome_ok.xml 0 type 0$/NNStrategy genome_cycle.xml 0 type 0/' "$bad/shared/network.cfg" \
  > "$scratch/genome_cycle/m.cfg"
cp "$bad/genome_cycle/genome_cycle.xml" "$scratch/genome_cycle/"
sed 's/^rememberChecked 1$/rememberChecked 2/' "$bad/shared/basic.cfg" > "$scratch/flag_2/m.cfg"
check 0 "$scratch/genome_cycle" m.cfg
check 1 "$scratch/flag_2" m.cfg
exit $failed
