#!/usr/bin/python3
"""The Python module's speed: two runs of a configuration (different search seeds) in two threads
against one after the other, the same with two nkswarm processes for comparison (a busy machine
slows both alike), and the cost of a call beyond the batch that it runs.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_module.py [CONFIG [REPETITIONS]]

Defaults: the standard benchmark ../shared/bench/std.cfg, 5 repetitions (medians printed).
"""

import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import nkswarm

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
CONFIG = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "..", "shared", "bench", "std.cfg")
REPS = int(sys.argv[2]) if len(sys.argv) > 2 else 5
PROGRAM = os.path.join(ROOT, "build", "nkswarm")


def timed(fn):
    start = time.perf_counter()
    fn()
    return time.perf_counter() - start


def both(start, wait):
    handles = [start(i) for i in range(2)]
    for h in handles:
        wait(h)


def main():
    cfgs = [nkswarm.Config.from_file(CONFIG) for _ in range(2)]
    cfgs[1]["searchseed"] = cfgs[0]["searchseed"] + 1
    work = tempfile.TemporaryDirectory()
    cfg_files = [os.path.join(work.name, f"run{i}.cfg") for i in range(2)]
    for c, name in zip(cfgs, cfg_files):
        with open(name, "w") as f:
            f.write(c.to_text())

    def thread(i):
        t = threading.Thread(target=nkswarm.run, args=(cfgs[i],))
        t.start()
        return t

    def process(i):
        return subprocess.Popen([PROGRAM, cfg_files[i]], stdout=subprocess.DEVNULL)

    cases = {
        "threads, one after the other": lambda: [nkswarm.run(c) for c in cfgs],
        "threads, side by side": lambda: both(thread, threading.Thread.join),
        "processes, one after the other": lambda: [process(i).wait() for i in range(2)],
        "processes, side by side": lambda: both(process, subprocess.Popen.wait),
    }
    times = {name: [] for name in cases}
    for rep in range(REPS):  # alternating the order, so that a change of load hits all alike
        for name in list(cases)[:: 1 if rep % 2 == 0 else -1]:
            times[name].append(timed(cases[name]))
    median = {name: statistics.median(t) for name, t in times.items()}
    for name, m in median.items():
        print(f"{name:32s} {m:.3f} s")
    for kind in ("threads", "processes"):
        print(f"{kind}: side by side / one after the other = "
              f"{median[kind + ', side by side'] / median[kind + ', one after the other']:.3f}")

    tiny = nkswarm.Config.from_file(os.path.join(ROOT, "examples", "basic.cfg"))
    tiny.update({"n": 10, "k": 2, "nAgents": 2, "agentFitnessGroup": ["0 1"], "nRuns": 1, "maxTotalSteps": 1,
                 "lastStepsUsedForFitness": 1})
    for name, cfg, series, reps in (("1-step batch", tiny, False, 200), ("the configuration, series", cfgs[0], True, 3)):
        whole, beyond = [], []
        for _ in range(reps):
            start = time.perf_counter()
            r = nkswarm.run(cfg, series=series)
            whole.append(time.perf_counter() - start)
            beyond.append(whole[-1] - r.seconds)
        print(f"{name}: call {statistics.median(whole) * 1e3:.3f} ms, beyond the batch "
              f"{statistics.median(beyond) * 1e3:.3f} ms (at most {max(beyond) * 1e3:.3f} ms)")
    work.cleanup()


if __name__ == "__main__":
    main()
