#!/usr/bin/env bash
# What --series costs: runs a configuration with and without it, the two interleaved so that
# a busy machine slows both alike, and prints each one's minimum and median user CPU time and
# the ratio of the minima (the least disturbed runs).
#   bench/series_cost.sh [PROGRAM [CONFIG [PAIRS]]]   (default: build/nkswarm, the standard
#   benchmark ../shared/bench/std.cfg, 7 pairs)
set -euo pipefail
cd "$(dirname "$0")/.."
prog=$(realpath "${1:-build/nkswarm}")
cfg=$(realpath "${2:-../shared/bench/std.cfg}")
pairs=${3:-7}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
user() { /usr/bin/time -f %U -o "$tmp/t" "$@" > "$tmp/out"; cat "$tmp/t"; }
for ((i = 0; i < pairs; i++)); do
  echo "plain $(user "$prog" "$cfg")" >> "$tmp/times"
  echo "series $(user "$prog" "$cfg" --series "$tmp/series.csv")" >> "$tmp/times"
done
python3 - "$tmp/times" <<'PY'
import statistics, sys
t = {"plain": [], "series": []}
for line in open(sys.argv[1]):
    k, v = line.split()
    t[k].append(float(v))
for k, v in t.items():
    print("%-7s min %.2f s  median %.2f s  (%d runs)" % (k, min(v), statistics.median(v), len(v)))
print("series / plain: %.3f (minima), %.3f (medians)" % (
    min(t["series"]) / min(t["plain"]), statistics.median(t["series"]) / statistics.median(t["plain"])))
PY
