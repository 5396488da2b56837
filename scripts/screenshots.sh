#!/usr/bin/env bash
# Makes the pictures of visual mode shown in docs/visual.md (docs/visual-*.png): the main window
# with each view of a 12-bit landscape after 41 steps, and the fitness plot, under Xvfb.
#   scripts/screenshots.sh [build directory]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tool=$build/nkscreenshots
[ -x "$tool" ] || { echo "no $tool: build with visual mode first (scripts/install-deps.sh --visual)" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "needs xvfb-run (scripts/install-deps.sh --visual)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/screens.cfg" <<CFG
n 12
k 4
nAgents 20
nRuns 1
maxTotalSteps 1000
lastStepsUsedForFitness 25
nFitnessGroups 1
agentFitnessGroup 0 19
agentsFitnessUseMax 1
initialMemSize 3
initialPublicMemSize 8
maxMemSize 50
rememberChecked 1
flockingRadius 1
flockingIntensity 0.95
exploit 5
explore 5 4 0.1 0.4
searchProbs 4 2 1 1   3 3 1 1   2 1 2 1   2 2 1 1
placeProbs 1 3   3 1
landscapeseed 2024
changeseed 0
startseed 11
searchseed 12
varylandscape 0
varychange 0
varystart 0
varysearch 0
CFG
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x1024x24" "$tool" "$work/screens.cfg" docs
