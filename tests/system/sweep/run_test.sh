#!/usr/bin/env bash
# tests/system/sweep/run_test.sh NKSWARM: the 20-row sweep of sweep.json with GNU parallel, once
# whole and once stopped and resumed: the same CSV, no finished row run again, the invalid rows
# reported with status 1 and the program's message. Exits 77 (skipped) without GNU parallel.
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 NKSWARM" >&2; exit 2; }
prog=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
tool=$here/../../../scripts/sweep.py
if ! parallel --version 2>/dev/null | grep -q "GNU parallel"; then
  echo "SKIP: GNU parallel is not installed (Debian package parallel)"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# The interpreter itself, not a wrapper such as a pyenv shim: it starts several times.
python=$(python3 -c "import sys; print(sys.executable)")
sweep() { "$python" "$tool" "$@"; }
nrows=20

# 1. Without a break.
sweep expand "$here/sweep.json" "$tmp/a" --program "$prog" > /dev/null
sweep run "$tmp/a" -j2
sweep collect "$tmp/a" -o "$tmp/a.csv"

# 2. Stopped after a few rows, then resumed.
sweep expand "$here/sweep.json" "$tmp/b" --program "$prog" > /dev/null
sweep run "$tmp/b" -j2 &
pid=$!  # the tool hands its process over to GNU parallel
done_rows() { find "$tmp/b/rows" -name status | wc -l; }
for _ in $(seq 3000); do
  [ "$(done_rows)" -ge 4 ] && break
  sleep 0.02
done
kill -TERM "$pid"
wait "$pid" || true
stopped=$(done_rows)
[ "$stopped" -ge 4 ] || fail "no row finished within a minute"
[ "$stopped" -lt "$nrows" ] || fail "the sweep ended before it could be stopped; the rows are too fast"
(cd "$tmp/b/rows" && stat -c '%n %i %y' */status) > "$tmp/finished-before"
sweep run "$tmp/b" -j2
(cd "$tmp/b/rows" && stat -c '%n %i %y' $(cut -d' ' -f1 "$tmp/finished-before")) > "$tmp/finished-after"
cmp -s "$tmp/finished-before" "$tmp/finished-after" || fail "rows finished before the stop ran again"
sweep collect "$tmp/b" -o "$tmp/b.csv"
if ! cmp -s "$tmp/a.csv" "$tmp/b.csv"; then
  diff "$tmp/a.csv" "$tmp/b.csv" >&2 || true
  fail "the resumed sweep's CSV differs from the uninterrupted one"
fi
echo "stopped after $stopped of $nrows rows, resumed: same CSV"

# 3. A finished sweep runs nothing again, even without its job log.
rm "$tmp/b/joblog"
sweep run "$tmp/b" -j2
(cd "$tmp/b/rows" && stat -c '%n %i %y' $(cut -d' ' -f1 "$tmp/finished-before")) > "$tmp/finished-after"
cmp -s "$tmp/finished-before" "$tmp/finished-after" || fail "a finished row ran again"

# 4. The CSV's content. Row 16 is checked against tests/system/sweep/expected_row16.cfg, written by
# hand from sweep.json (optional keywords added in their place), and against the program's
# own report for that file.
cmp -s "$here/expected_row16.cfg" "$tmp/a/rows/0016/sim.cfg" ||
  { diff "$here/expected_row16.cfg" "$tmp/a/rows/0016/sim.cfg" >&2; fail "row 16's configuration"; }
mkdir "$tmp/direct"
(cd "$tmp/direct" && "$prog" "$here/expected_row16.cfg" --num-runs 2 --print-stats) > "$tmp/direct/out"
(cd "$tmp/a/rows/0016" && sh ./cmd) | cmp -s - "$tmp/a/rows/0016/stdout" ||
  fail "row 16's cmd does not reproduce its stdout"
version=$("$prog" --version)
"$python" - "$tmp/a.csv" "$tmp/direct/out" "${version#nkswarm }" <<'EOF'
import csv, re, sys

rows = list(csv.DictReader(open(sys.argv[1])))
report = [line.split() for line in open(sys.argv[2]).read().splitlines()]
errors = []
by_row = {}
for r in rows:
    by_row.setdefault(int(r["row"]), []).append(r)
if sorted(by_row) != list(range(20)):
    errors.append("rows 0-19, each at least once: %s" % sorted(by_row))
for i, lines in sorted(by_row.items()):
    r = lines[0]
    if i in (12, 13, 14, 15):  # k 14 with n 14: one line, status 1, the program's message
        ok = len(lines) == 1 and r["status"] == "1" and r["ok"] == "0" and r["mean_g0"] == "" and re.fullmatch(
            r"ERROR at src/\S+:\d+: n=14 or k=14 out of bounds", r["message"])
    else:  # runs 0 and 1 with numbers; rows 8-11 score one fitness group, the others two
        ok = [x["run"] for x in lines] == ["0", "1"] and all(
            x["status"] == "0" and x["ok"] == "1" and x["value_g0"] != "" for x in lines) and (
            (r["mean_g1"] == "") == (8 <= i <= 11))
    ok = ok and r["version"] == sys.argv[3] and r["flockingIntensity"] == ("0.9" if i % 4 < 2 else "1.0")
    ok = ok and r["searchseed"] == str(1 + i % 2) and r["startseed"] == str(11 + i % 2) and r["landscapeseed"] == "5"
    if not ok:
        errors.append("row %d: %s" % (i, lines))
groups = len(report[0])
for run, r in enumerate(by_row[16]):
    got = [[r["%s_g%d" % (c, g)] for g in range(groups)] for c in ("mean", "sd", "value")]
    if got != [report[0], report[1], report[2 + run]]:
        errors.append("row 16, run %d: %s, program says %s" % (run, got, report))
if errors:
    print("\n".join("FAIL: " + e for e in errors), file=sys.stderr)
    sys.exit(1)
EOF
echo "PASS: $nrows rows, $(($(wc -l < "$tmp/a.csv") - 1)) CSV lines"
