#!/usr/bin/python3
"""Figures of nkswarm results, as PNG files.

    plot.py series SERIES.csv [--y COLUMN] [--by COLUMN] [-o OUT.png] [--title TEXT] [--size WxH]
        a --series file, or the series of a sweep (sweep.py collect --series): each fitness
        group's --y column per step (default mean_fitness), averaged over the runs, with a band
        of one standard deviation over the runs on either side (the population deviation, as the
        report's); for a mean_* column the runs' average of its best_* column dashed
        (mean_fitness: best_fitness, mean_base_fitness: best_base_fitness); one line per value of
        the --by column
    plot.py sweep SWEEP.csv --x COLUMN [--by COLUMN] [--group G] [-o OUT.png] [--title TEXT] [--size WxH]
        a sweep CSV (scripts/sweep.py collect): group G's score against COLUMN, one line per value
        of the --by column; rows that differ only in their seeds (seed replicates) are averaged,
        with error bars of one standard error when there are several

Only seed replicates are averaged: sweep rows that would be averaged together but differ in
another sweep column stop the plot with the columns that differ.

Needs matplotlib: Debian's python3-matplotlib with the system's /usr/bin/python3
(scripts/install-deps.sh --plot). The picture is WxH pixels (default 800x500).
"""

import argparse
import csv
import math
import statistics
import sys

import os

import matplotlib

matplotlib.use("Agg")  # files only, no display
import matplotlib.pyplot as plt  # noqa: E402

sys.dont_write_bytecode = True  # no __pycache__ beside the scripts
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sweep import SEED_COLUMNS, did_you_mean  # noqa: E402  (the seeds a sweep CSV records)

DPI = 100


class Table:
    """A CSV file's header and rows (dicts)."""

    def __init__(self, path):
        self.path = path
        with open(path, newline="") as f:
            reader = csv.DictReader(f)
            self.rows = list(reader)
            self.header = reader.fieldnames or []

    def need(self, column):
        """Stops with a "did you mean" when the file has no such column."""
        if column and column not in self.header:
            raise SystemExit("plot.py: %s has no column %s%s" % (self.path, column, did_you_mean(column, self.header)))

    def conditions(self):
        """The sweep's columns: after "row", up to the CSV's own ("version") or the series' ("run").
        A file without a "row" column holds one condition."""
        if self.header[:1] != ["row"]:
            return []
        ends = [i for i, c in enumerate(self.header) if c in ("version", "run")]
        return self.header[1:ends[0] if ends else len(self.header)]


def refuse_pooling(table, rows, keys):
    """Rows averaged together (equal in the `keys` columns) must be seed replicates: stops when
    they differ in another sweep column, naming it and its values."""
    others = [c for c in table.conditions() if c not in keys and c not in SEED_COLUMNS]
    seen = {c: {} for c in others}
    for r in rows:
        point = tuple(r[k] for k in keys)
        for c in others:
            seen[c].setdefault(point, set()).add(r[c])
    differ = [c for c in others if any(len(v) > 1 for v in seen[c].values())]
    if differ:
        shown = ["%s (%s)" % (c, ", ".join(sorted({v or "base file's" for vs in seen[c].values() for v in vs},
                                                   key=order_key))) for c in differ]
        raise SystemExit("plot.py: %s: rows to be averaged differ in %s; only seed replicates are averaged: "
                         "draw one line per value with --by, or plot rows that share %s" % (
                             table.path, " and ".join(shown), "it" if len(differ) == 1 else "them"))


def figure(size, title):
    w, h = size
    fig, ax = plt.subplots(figsize=(w / DPI, h / DPI), dpi=DPI)
    if title:
        ax.set_title(title)
    ax.grid(True, alpha=0.3)
    return fig, ax


def save(fig, ax, out, legend=True):
    if legend:
        ax.legend(fontsize="small")
    fig.tight_layout()  # keeps the figure's size, unlike a tight bounding box
    fig.savefig(out, dpi=DPI)
    plt.close(fig)


# The y axis's words for the series' fitness columns; other columns are named as they are.
Y_LABELS = {"mean_fitness": "current fitness", "best_fitness": "current fitness",
            "mean_base_fitness": "base (uncrowded) fitness", "best_base_fitness": "base (uncrowded) fitness",
            "distinct_points": "distinct points"}


def series_lines(rows, by, columns):
    """{(by value, group): {step: ([value per run] for each column)}} from the rows of a series file."""
    lines = {}
    for r in rows:
        if not all(r[c] for c in columns):
            continue  # a group without agents
        steps = lines.setdefault((r[by] if by else "", int(r["group"])), {})
        for values, c in zip(steps.setdefault(int(r["step"]), tuple([] for _ in columns)), columns):
            values.append(float(r[c]))
    return lines


def plot_series(args):
    table = Table(args.file)
    table.need(args.by)
    table.need(args.y)
    # A mean comes with its best, dashed (mean_fitness with best_fitness).
    best = "best" + args.y[len("mean"):] if args.y.startswith("mean_") else None
    columns = [args.y] + ([best] if best in table.header else [])
    refuse_pooling(table, table.rows, [args.by] if args.by else [])
    lines = series_lines(table.rows, args.by, columns)
    if not lines:
        raise SystemExit("plot.py: %s holds no rows with agents" % args.file)
    fig, ax = figure(args.size, args.title)
    words = [c.replace("_fitness", "").replace("_", " ") for c in columns]  # "mean", "best base"
    for (key, g), steps in sorted(lines.items(), key=lambda item: (order_key(item[0][0]), item[0][1])):
        name = ("%s = %s, " % (args.by, key) if args.by else "") + "group %d" % g
        xs = sorted(steps)
        mean = [statistics.fmean(steps[s][0]) for s in xs]
        sd = [statistics.pstdev(steps[s][0]) for s in xs]
        line, = ax.plot(xs, mean, label="%s %s" % (name, words[0]))
        ax.fill_between(xs, [m - d for m, d in zip(mean, sd)], [m + d for m, d in zip(mean, sd)],
                        color=line.get_color(), alpha=0.2, linewidth=0)
        if len(columns) > 1:
            ax.plot(xs, [statistics.fmean(steps[s][1]) for s in xs], linestyle="--", color=line.get_color(),
                    label="%s %s" % (name, words[1]))
    runs = max(len(v[0]) for steps in lines.values() for v in steps.values())
    ax.set_xlabel("step")
    ax.set_ylabel("%s (mean over %d run%s, band: ±1 s.d.)" % (Y_LABELS.get(args.y, args.y), runs,
                                                              "" if runs == 1 else "s"))
    save(fig, ax, args.output)


def number(text):
    try:
        return float(text)
    except ValueError:
        return None


def order_key(text):
    """Numbers in their order, then other words alphabetically."""
    return (number(text) is None, number(text) or 0, text)


def scored_rows(rows, score):
    """One line of each successful sweep row (with --print-stats a row has one line per run)."""
    seen, out = set(), []
    for r in rows:
        if r.get("ok") == "1" and r["row"] not in seen and r.get(score):
            seen.add(r["row"])
            out.append(r)
    return out


def sweep_points(rows, x, by, score):
    """{by value: {x value: [score of each row]}}."""
    lines = {}
    for r in rows:
        lines.setdefault(r[by] if by else "", {}).setdefault(r[x], []).append(float(r[score]))
    return lines


def plot_sweep(args):
    table = Table(args.file)
    score = "mean_g%d" % args.group
    for col in [args.x, args.by, score]:
        table.need(col)
    rows = scored_rows(table.rows, score)
    refuse_pooling(table, rows, [c for c in (args.x, args.by) if c])
    lines = sweep_points(rows, args.x, args.by, score)
    if not lines:
        raise SystemExit("plot.py: %s holds no successful row with %s" % (args.file, score))
    fig, ax = figure(args.size, args.title)
    numeric = all(number(v) is not None for pts in lines.values() for v in pts)
    order = sorted({v for pts in lines.values() for v in pts}, key=number if numeric else None)
    for key in sorted(lines, key=order_key):
        pts = lines[key]
        xs = [v for v in order if v in pts]
        ys = [statistics.fmean(pts[v]) for v in xs]
        err = [statistics.stdev(pts[v]) / math.sqrt(len(pts[v])) if len(pts[v]) > 1 else 0 for v in xs]
        pos = [number(v) for v in xs] if numeric else [order.index(v) for v in xs]
        label = "%s = %s" % (args.by, key) if args.by else None
        ax.errorbar(pos, ys, yerr=err, marker="o", capsize=3, label=label)
    if not numeric:
        ax.set_xticks(range(len(order)), order)
    ax.set_xlabel(args.x)
    ax.set_ylabel("score of fitness group %d" % args.group)
    save(fig, ax, args.output, legend=bool(args.by))  # one line needs no legend


def size(text):
    w, _, h = text.partition("x")
    try:
        return int(w), int(h)
    except ValueError:
        raise argparse.ArgumentTypeError("WxH in pixels expected, e.g. 800x500")


def main(argv=None):
    p = argparse.ArgumentParser(prog="plot.py", description=__doc__.split("\n\n")[0])
    sub = p.add_subparsers(dest="what", required=True)
    s = sub.add_parser("series", help="a --series file, or a sweep's series: fitness per step")
    s.add_argument("file")
    s.add_argument("--y", default="mean_fitness",
                   help="the column drawn (default mean_fitness; e.g. mean_base_fitness, distinct_points)")
    s.add_argument("--by", help="one line per value of this column (a sweep's series)")
    s.set_defaults(func=plot_series)
    w = sub.add_parser("sweep", help="a sweep CSV: score against a column")
    w.add_argument("file")
    w.add_argument("--x", required=True, help="the column along the x axis")
    w.add_argument("--by", help="one line per value of this column")
    w.add_argument("--group", type=int, default=0, help="the fitness group scored (default 0)")
    w.set_defaults(func=plot_sweep)
    for q in (s, w):
        q.add_argument("-o", "--output", help="the PNG file to write")
        q.add_argument("--title")
        q.add_argument("--size", type=size, default=(800, 500), help="WxH in pixels (default 800x500)")
    args = p.parse_args(argv)
    if args.output is None:
        args.output = "series.png" if args.what == "series" else "sweep.png"
    args.func(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
