#!/usr/bin/env bash
# Whole-run benchmark: times nkswarm on fixed configurations (N=20, K=5, 100 agents,
# 500 steps, 5 runs) with and without rememberChecked, exploit depth 1 and 2, and prints
# agent-steps per second and the peak resident memory of each run.
#   bench/run_bench.sh [path/to/nkswarm]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/nkswarm}
[ -x "$bin" ] || { echo "no program at $bin (build first)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (apt-get install time)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

agents=100 steps=500 runs=5
printf "%-28s %12s %14s %12s\n" configuration seconds agent-steps/s peak-RSS-MiB
for remember in 0 1; do
  for depth in 1 2; do
    cfg=$work/r${remember}d${depth}.cfg
    cat > "$cfg" <<CFG
n 20
k 5
nAgents $agents
nRuns $runs
maxTotalSteps $steps
lastStepsUsedForFitness 25
nFitnessGroups 1
agentFitnessGroup 0 $((agents - 1))
initialMemSize 3
initialPublicMemSize 10
maxMemSize 100
rememberChecked $remember
flockingRadius 1
flockingIntensity 0.9
maxExploitTreeDepth $depth
exploit 5
explore 5 4 0.1 0.4
searchProbs 4 2 1 1   3 3 1 1   2 1 2 1   2 2 1 1
placeProbs 1 3   3 1
landscapeseed 1
changeseed 0
startseed 2
searchseed 3
varylandscape 0
varychange 0
varystart 0
varysearch 0
CFG
    /usr/bin/time -v -o "$work/time.txt" "$bin" "$cfg" > /dev/null
    secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' "$work/time.txt")
    rss=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2/1024}' "$work/time.txt")
    rate=$(awk -v s="$secs" -v n=$((agents * steps * runs)) 'BEGIN {printf "%.0f", (s > 0 ? n / s : 0)}')
    printf "%-28s %12s %14s %12s\n" "rememberChecked=$remember depth=$depth" "$secs" "$rate" "$rss"
  done
done
