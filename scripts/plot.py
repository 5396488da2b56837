#!/usr/bin/python3
"""Figures of nkswarm results, as PNG files.

    plot.py series SERIES.csv [-o OUT.png] [--title TEXT] [--size WxH]
        a --series file: each fitness group's mean fitness per step, averaged over the runs,
        with a band of one standard deviation over the runs on either side (the population
        deviation, as the report's), and the runs' average best fitness dashed
    plot.py sweep SWEEP.csv --x COLUMN [--by COLUMN] [--group G] [-o OUT.png] [--title TEXT] [--size WxH]
        a sweep CSV (scripts/sweep.py collect): group G's score against COLUMN, one line per value
        of the --by column; rows that differ only in other columns (seed replicates) are averaged,
        with error bars of one standard error when there are several

Needs matplotlib: Debian's python3-matplotlib with the system's /usr/bin/python3
(scripts/install-deps.sh --plot). The picture is WxH pixels (default 800x500).
"""

import argparse
import csv
import math
import statistics
import sys

import matplotlib

matplotlib.use("Agg")  # files only, no display
import matplotlib.pyplot as plt  # noqa: E402

DPI = 100


def read_rows(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


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


def series_by_group(rows):
    """{group: {step: ([mean per run], [best per run])}} from the rows of a series file."""
    groups = {}
    for r in rows:
        if not r["mean_fitness"]:
            continue  # a group without agents
        steps = groups.setdefault(int(r["group"]), {})
        means, bests = steps.setdefault(int(r["step"]), ([], []))
        means.append(float(r["mean_fitness"]))
        bests.append(float(r["best_fitness"]))
    return groups


def plot_series(args):
    groups = series_by_group(read_rows(args.file))
    if not groups:
        raise SystemExit("plot.py: %s holds no rows with agents" % args.file)
    fig, ax = figure(args.size, args.title)
    for g, steps in sorted(groups.items()):
        xs = sorted(steps)
        mean = [statistics.fmean(steps[s][0]) for s in xs]
        sd = [statistics.pstdev(steps[s][0]) for s in xs]
        best = [statistics.fmean(steps[s][1]) for s in xs]
        line, = ax.plot(xs, mean, label="group %d mean" % g)
        ax.fill_between(xs, [m - d for m, d in zip(mean, sd)], [m + d for m, d in zip(mean, sd)],
                        color=line.get_color(), alpha=0.2, linewidth=0)
        ax.plot(xs, best, linestyle="--", color=line.get_color(), label="group %d best" % g)
    runs = max(len(v[0]) for steps in groups.values() for v in steps.values())
    ax.set_xlabel("step")
    ax.set_ylabel("current fitness (mean over %d run%s, band: ±1 s.d.)" % (runs, "" if runs == 1 else "s"))
    save(fig, ax, args.output)


def number(text):
    try:
        return float(text)
    except ValueError:
        return None


def sweep_points(rows, x, by, score):
    """{by value: {x value: [score of each row]}}, one score per sweep row (not per run line)."""
    seen, lines = set(), {}
    for r in rows:
        if r.get("ok") != "1" or r["row"] in seen or not r.get(score):
            continue
        seen.add(r["row"])
        key = r[by] if by else ""
        lines.setdefault(key, {}).setdefault(r[x], []).append(float(r[score]))
    return lines


def plot_sweep(args):
    rows = read_rows(args.file)
    score = "mean_g%d" % args.group
    for col in [args.x, args.by, score]:
        if col and rows and col not in rows[0]:
            raise SystemExit("plot.py: %s has no column %s" % (args.file, col))
    lines = sweep_points(rows, args.x, args.by, score)
    if not lines:
        raise SystemExit("plot.py: %s holds no successful row with %s" % (args.file, score))
    fig, ax = figure(args.size, args.title)
    numeric = all(number(v) is not None for pts in lines.values() for v in pts)
    order = sorted({v for pts in lines.values() for v in pts}, key=number if numeric else None)
    for key in sorted(lines, key=lambda k: (number(k) is None, number(k) or 0, k)):
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
    s = sub.add_parser("series", help="a --series file: fitness per step")
    s.add_argument("file")
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
