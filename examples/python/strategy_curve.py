#!/usr/bin/python3
"""Mean fitness per step of four search tables on basic.cfg's landscape, run in threads.

Each table is run with three search seeds; the runs go to a thread pool, which runs them in
parallel because the module releases the interpreter lock while a batch runs. The curve of a
table is its agents' mean fitness per step, averaged over every run of every seed.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/strategy_curve.py [-o OUT.png]

Needs the module (build/python, or installed) and Debian's python3-matplotlib.
"""
import argparse
import os
import pathlib
from concurrent.futures import ThreadPoolExecutor

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import nkswarm  # noqa: E402

EXAMPLES = pathlib.Path(__file__).resolve().parents[1]
# Weights of (exploit from public, exploit from private, explore from public, explore from
# private), the same in all four (public best, private best) blocks but for basic.cfg's own.
TABLES = {
    "basic.cfg's table": None,
    "exploit only": [1, 1, 0, 0] * 4,
    "explore only": [0, 0, 1, 1] * 4,
    "public memory only": [1, 0, 1, 0] * 4,
}
SEEDS = (12, 13, 14)
RUNS = 4


def mean_curve(results):
    """The steps and the mean fitness per step over every run of the results (one fitness group)."""
    curves = []
    for r in results:
        s = r.series
        for run in np.unique(s["run"]):
            rows = s["run"] == run
            order = np.argsort(s["step"][rows])
            steps = s["step"][rows][order]
            curves.append(s["mean_fitness"][rows][order])
    return steps, np.mean(curves, axis=0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("-o", "--output", default="strategy_curve.png")
    out = parser.parse_args().output
    base = nkswarm.Config.from_file(EXAMPLES / "basic.cfg")
    jobs = []
    for name, table in TABLES.items():
        for seed in SEEDS:
            cfg = base.copy()
            cfg.update({"searchseed": seed} if table is None else {"searchseed": seed, "searchProbs": table})
            jobs.append((name, cfg))
    with ThreadPoolExecutor(os.cpu_count()) as pool:
        results = list(pool.map(lambda job: nkswarm.run(job[1], num_runs=RUNS, series=True), jobs))
    fig, ax = plt.subplots(figsize=(8, 5), dpi=100)
    for name in TABLES:
        ax.plot(*mean_curve([r for (n, _), r in zip(jobs, results) if n == name]), label=name)
    ax.set_xlabel("step")
    ax.set_ylabel("mean fitness of the agents")
    ax.set_title(f"basic.cfg: four search tables ({len(SEEDS)} search seeds x {RUNS} runs each)")
    ax.legend()
    ax.grid(alpha=0.3)
    fig.tight_layout()
    fig.savefig(out)
    print(f"strategy_curve.py: wrote {out}")


if __name__ == "__main__":
    main()
