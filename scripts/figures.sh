#!/usr/bin/env bash
# Makes the figures of results in docs/outputs.md from examples/:
#   docs/results-series.png  examples/eval_budget.cfg with --series: each fitness group's
#                            current fitness per step over 5 runs
#   docs/results-sweep.png   the sweep examples/sweep_crowding.json: score against crowding
#                            strength, one line per K
#   docs/results-strategies.png  examples/python/strategy_curve.py: mean fitness per step of
#                            four search tables, run in threads through the Python module
#   docs/study-crowding.png  examples/study_crowding/run.sh: crowded and base score against
#                            crowding strength, one line per K (and docs/study-crowding.csv)
# Needs build/nkswarm, the module beside it (build/python), /usr/bin/python3 with
# matplotlib (scripts/install-deps.sh --python) and, for the study, GNU parallel (a few minutes).
#   scripts/figures.sh [PROGRAM]
set -euo pipefail
cd "$(dirname "$0")/.."
prog=$(realpath "${1:-build/nkswarm}")
plot=(/usr/bin/python3 scripts/plot.py)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

(cd examples && "$prog" eval_budget.cfg --print-stats --series "$tmp/series.csv" > /dev/null)
"${plot[@]}" series "$tmp/series.csv" -o docs/results-series.png \
  --title "eval_budget.cfg: exploiters (group 0) and explorers (group 1) at equal evaluations"

python3 scripts/sweep.py expand examples/sweep_crowding.json "$tmp/sweep" --program "$prog"
# One row after another: the figure needs no GNU parallel.
for row in "$tmp"/sweep/rows/*/; do "$tmp/sweep/job.sh" "rows/$(basename "$row")"; done
python3 scripts/sweep.py collect "$tmp/sweep" -o "$tmp/sweep.csv" --series "$tmp/sweep-series.csv"
"${plot[@]}" sweep "$tmp/sweep.csv" --x flockingIntensity --by k -o docs/results-sweep.png \
  --title "basic.cfg: score against crowding strength (3 seeds x 2 runs per point)"
PYTHONPATH="$(dirname "$prog")/python" /usr/bin/python3 examples/python/strategy_curve.py -o docs/results-strategies.png
bash examples/study_crowding/run.sh -p "$prog" -o docs/study-crowding.png
echo "figures.sh: wrote docs/results-series.png, docs/results-sweep.png, docs/results-strategies.png and docs/study-crowding.png"
