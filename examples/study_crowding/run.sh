#!/usr/bin/env bash
# The crowding study (docs/study-crowding.md): runs sweep.json with GNU parallel, collects it
# and draws crowded and base score against crowding strength, one line per K.
#   examples/study_crowding/run.sh [-o OUT.png] [-j JOBS] [-d DIR] [-p PROGRAM]
# OUT.png (default: study-crowding.png in this folder) comes with OUT.csv, the points' means.
# DIR keeps the sweep's rows (the same command resumes it); without -d they go to a temporary
# folder, removed after success and kept after a failure. PROGRAM: default build/nkswarm.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$here/study-crowding.png jobs=() dir="" prog=$root/build/nkswarm
while getopts o:j:d:p: opt; do
  case $opt in
    o) out=$OPTARG ;;
    j) jobs=(-j "$OPTARG") ;;
    d) dir=$OPTARG ;;
    p) prog=$OPTARG ;;
    *) sed -n 4p "$0" >&2; exit 2 ;;
  esac
done
if [ -z "$dir" ]; then
  dir=$(mktemp -d)
  # Only a finished study's rows are thrown away: a failed row is there to be read.
  trap 'if [ $? = 0 ]; then rm -rf "$dir"; else echo "run.sh: the rows are kept in $dir" >&2; fi' EXIT
fi
python3 "$root/scripts/sweep.py" expand "$here/sweep.json" "$dir" --program "$prog"
python3 "$root/scripts/sweep.py" run "$dir" "${jobs[@]}"
python3 "$root/scripts/sweep.py" collect "$dir" -o "$dir/sweep.csv" --series "$dir/series.csv"
/usr/bin/python3 "$here/study.py" "$dir/sweep.csv" "$dir/series.csv" -o "$out"
echo "run.sh: wrote $out and ${out%.png}.csv"
