#!/usr/bin/env bash
# Whole-run benchmark: times whole batch runs of the configurations in a folder (by default
# ../shared/bench beside the repository: std, nocheck, depth2, small, large) and prints, per
# configuration, the median wall time, agent-steps per second (agents x steps x runs / time)
# and peak resident memory. Given a baseline program, runs it on the same configurations,
# interleaved with the built one (alternating which goes first), and adds its figures, the
# speed-up and whether both printed the same output.
#   bench/run_bench.sh [-n REPETITIONS] [-p PROGRAM] [-c CONFIG_DIR] [-s "std small ..."] [BASELINE_PROGRAM]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
reps=3
prog=$root/build/nkswarm
confdir=$root/../shared/bench
only=""
usage() { sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while getopts "n:p:c:s:h" opt; do
  case $opt in
    n) reps=$OPTARG ;;
    p) prog=$OPTARG ;;
    c) confdir=$OPTARG ;;
    s) only=$OPTARG ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
base=${1:-}
[ $# -le 1 ] || usage
[ -x "$prog" ] || { echo "no program at $prog (build first, or name it with -p)" >&2; exit 1; }
[ -z "$base" ] || [ -x "$base" ] || { echo "no baseline program at $base" >&2; exit 1; }
[ -d "$confdir" ] || { echo "no configuration folder $confdir (name one with -c)" >&2; exit 1; }
prog=$(realpath "$prog")
[ -z "$base" ] || base=$(realpath "$base")
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (scripts/install-deps.sh installs it)" >&2; exit 1; }
if [ -z "$only" ]; then
  configs=()
  for f in "$confdir"/*.cfg; do configs+=("$(basename "$f" .cfg)"); done
else
  read -r -a configs <<< "$only"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The value of a keyword in a configuration file (first occurrence), or a default.
keyword() { awk -v k="$1" -v d="$3" '$1 == k {print $2; found = 1; exit} END {if (!found) print d}' "$2"; }

# One timed run: appends its seconds to $work/<tag>.times and keeps the output. The
# program is timed on its own: a measuring tool started around it would add its own start
# (several milliseconds) to runs that take a few tens of milliseconds.
run_once() {
  local tag=$1 bin=$2 cfg=$3 t0 t1
  t0=$EPOCHREALTIME
  "$bin" "$confdir/$cfg" > "$work/$tag.out"
  t1=$EPOCHREALTIME
  awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.4f\n", b - a}' >> "$work/$tag.times"
}

# Peak resident memory (KiB) of one more, untimed run.
peak_rss() {
  /usr/bin/time -f "%M" -o "$work/$1.rss" "$2" "$confdir/$3" > /dev/null
  cat "$work/$1.rss"
}

# Median of a column of the times file.
median() { awk -v c="$2" '{print $c}' "$1" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

for c in "${configs[@]}"; do
  [ -f "$confdir/$c.cfg" ] || { echo "no configuration $confdir/$c.cfg" >&2; exit 1; }
  for r in $(seq 1 "$reps"); do
    if [ -n "$base" ] && [ $((r % 2)) -eq 0 ]; then
      run_once "$c.base" "$base" "$c.cfg"
      run_once "$c.new" "$prog" "$c.cfg"
    else
      run_once "$c.new" "$prog" "$c.cfg"
      [ -z "$base" ] || run_once "$c.base" "$base" "$c.cfg"
    fi
  done
done

echo "median of $reps runs; agent-steps = agents x steps x runs; RSS in MiB"
if [ -z "$base" ]; then
  printf "%-10s %10s %14s %9s\n" config seconds agent-steps/s peak-RSS
else
  printf "%-10s %10s %14s %9s | %10s %14s %9s | %8s %9s %7s\n" config seconds agent-steps/s peak-RSS \
    base-s base-steps/s base-RSS speed-up RSS-ratio output
fi
for c in "${configs[@]}"; do
  cfg=$confdir/$c.cfg
  steps=$(( $(keyword nAgents "$cfg" 0) * $(keyword maxTotalSteps "$cfg" 0) * $(keyword nRuns "$cfg" 1) ))
  s=$(median "$work/$c.new.times" 1)
  m=$(peak_rss "$c.new" "$prog" "$c.cfg")
  line=$(awk -v s="$s" -v m="$m" -v n="$steps" -v c="$c" \
    'BEGIN {printf "%-10s %10.3f %14.0f %9.1f", c, s, (s > 0 ? n / s : 0), m / 1024}')
  if [ -n "$base" ]; then
    bs=$(median "$work/$c.base.times" 1)
    bm=$(peak_rss "$c.base" "$base" "$c.cfg")
    same=same
    cmp -s "$work/$c.new.out" "$work/$c.base.out" || same=DIFFERENT
    line+=$(awk -v s="$s" -v m="$m" -v bs="$bs" -v bm="$bm" -v n="$steps" -v same="$same" \
      'BEGIN {printf " | %10.3f %14.0f %9.1f | %7.2fx %9.2f %7s", bs, (bs > 0 ? n / bs : 0), bm / 1024,
              (s > 0 ? bs / s : 0), (bm > 0 ? m / bm : 0), same}')
  fi
  echo "$line"
done
