#!/usr/bin/python3
"""The crowding study's figure: crowded and base score against crowding strength, one line per K.

    study.py SWEEP.csv SERIES.csv [-o OUT.png] [--last-steps L]

SWEEP.csv and SERIES.csv are what `sweep.py collect DIR -o SWEEP.csv --series SERIES.csv` writes
for sweep.json (run.sh does it all). Per sweep row, a run's crowded score is the sum of the
series' mean_fitness over its last L steps (lastStepsUsedForFitness, 25 in basic.cfg) divided by
L, its base score the same of mean_base_fitness, its best base score of best_base_fitness (the
best agent's uncrowded fitness) and its distinct points of distinct_points; a row's scores are
the means over its runs. The crowded score must equal the report's (mean_g0, the group's mean
with --print-stats), which checks L. Each point averages the seed replicates, with error bars of
one standard error. Writes OUT.png and OUT.csv (per point: k, flockingIntensity, replicates, then
each score with its standard error). Stops at a failed row. Needs Debian's python3-matplotlib.
"""

import argparse
import collections
import csv
import math
import os
import statistics
import sys

import matplotlib

matplotlib.use("Agg")  # files only, no display
import matplotlib.pyplot as plt  # noqa: E402


COLUMNS = ["mean_fitness", "mean_base_fitness", "best_base_fitness", "distinct_points"]  # in this order


def checked_rows(path):
    """{row: the report's crowded score} of the sweep CSV; stops at a row that is not ok."""
    scores = {}
    with open(path, newline="") as f:
        for r in csv.DictReader(f):
            if r["ok"] != "1":
                raise SystemExit("study.py: row %s (k %s, flockingIntensity %s) failed, status %s: %s" % (
                    r["row"], r["k"], r["flockingIntensity"], r["status"] or "none", r["message"]))
            if r["warnings"]:
                print("study.py: row %s warns: %s" % (r["row"], r["warnings"]), file=sys.stderr)
            scores[r["row"]] = float(r["mean_g0"])
    return scores


def row_scores(path, last):
    """{row: (k, intensity, crowded, base, ...)}: the runs' COLUMNS over their last `last` steps, averaged."""
    tails, cond = collections.defaultdict(lambda: collections.deque(maxlen=last)), {}
    with open(path, newline="") as f:
        for r in csv.DictReader(f):
            if r["group"] == "0":
                tails[r["row"], r["run"]].append(tuple(float(r[c]) for c in COLUMNS))
                cond[r["row"]] = (int(r["k"]), float(r["flockingIntensity"]))
    runs = collections.defaultdict(list)
    for (row, _), tail in tails.items():
        runs[row].append([sum(v) / last for v in zip(*tail)])
    return {row: cond[row] + tuple(statistics.fmean(v) for v in zip(*rs)) for row, rs in runs.items()}


def mean_se(values):
    se = statistics.stdev(values) / math.sqrt(len(values)) if len(values) > 1 else 0.0
    return statistics.fmean(values), se


def main(argv=None):
    p = argparse.ArgumentParser(prog="study.py", description=__doc__.split("\n\n")[0])
    p.add_argument("sweep")
    p.add_argument("series")
    p.add_argument("-o", "--output", default=os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                          "study-crowding.png"))
    p.add_argument("--last-steps", type=int, default=25, help="lastStepsUsedForFitness (default 25)")
    args = p.parse_args(argv)
    reported = checked_rows(args.sweep)
    rows = row_scores(args.series, args.last_steps)
    for row, score in reported.items():
        if row not in rows:
            raise SystemExit("study.py: row %s has no series in %s" % (row, args.series))
        # The report rounds to six decimals, and so does every series value.
        if abs(rows[row][2] - score) > 2e-6:
            raise SystemExit("study.py: row %s: the series gives %.6f, the report %.6f: is lastStepsUsedForFitness "
                             "%d?" % (row, rows[row][2], score, args.last_steps))
    points = collections.defaultdict(list)
    for k, x, *scores in rows.values():
        points[k, x].append(scores)
    table = [(k, x, len(v)) + sum((mean_se(s) for s in zip(*v)), ()) for (k, x), v in sorted(points.items())]
    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    with open(os.path.splitext(args.output)[0] + ".csv", "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["k", "flockingIntensity", "replicates", "crowded_score", "crowded_se", "base_score", "base_se",
                    "best_base_score", "best_base_se", "distinct_points", "distinct_points_se"])
        w.writerows([k, x, n] + ["%.6f" % v for v in rest] for k, x, n, *rest in table)
    draw(table, args.output)
    return 0


def draw(table, out):
    fig, axes = plt.subplots(1, 2, figsize=(11, 4.6), dpi=100, sharey=True)
    panels = [("crowded score (what the report scores)", 3), ("base score (uncrowded fitness, same points)", 5)]
    for ax, (title, col) in zip(axes, panels):
        for k in sorted({t[0] for t in table}):
            pts = [t for t in table if t[0] == k]
            ax.errorbar([t[1] for t in pts], [t[col] for t in pts], yerr=[t[col + 1] for t in pts],
                        marker="o", capsize=3, label="K = %d" % k)
        ax.set_title(title)
        ax.set_xlabel("flockingIntensity (1 = no crowding; lower = stronger)")
        ax.grid(True, alpha=0.3)
    reps = min(t[2] for t in table)
    axes[0].set_ylabel("group's mean fitness over the scored steps\n(mean of %d seed replicates, bars ±1 s.e.)" % reps)
    axes[1].legend(title="landscape", fontsize="small")
    fig.suptitle("Crowding on basic.cfg with independent components (N = 20, 50 agents)")
    fig.tight_layout()
    fig.savefig(out)
    plt.close(fig)


if __name__ == "__main__":
    sys.exit(main())
