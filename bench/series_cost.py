#!/usr/bin/env python3
"""What --series costs: runs a configuration with and without it, the two interleaved so that a
busy machine slows both alike, and prints each one's minimum and median CPU time (user + system,
from the kernel's accounting of the finished child) and the ratios.

    bench/series_cost.py [PROGRAM [CONFIG [PAIRS]]]

Defaults: build/nkswarm, the standard benchmark ../shared/bench/std.cfg, 15 pairs.
Standard-library Python 3 only.
"""

import os
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))


def cpu_seconds(cmd):
    """CPU time of one run of `cmd` (its output discarded)."""
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit("series_cost.py: %s exited %d" % (" ".join(cmd), proc.returncode))
    return usage.ru_utime + usage.ru_stime


def main(argv):
    program = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(ROOT, "build", "nkswarm"))
    config = os.path.abspath(argv[2] if len(argv) > 2 else os.path.join(ROOT, "..", "shared", "bench", "std.cfg"))
    pairs = int(argv[3]) if len(argv) > 3 else 15
    times = {"plain": [], "series": []}
    with tempfile.TemporaryDirectory() as tmp:
        for _ in range(pairs):
            times["plain"].append(cpu_seconds([program, config]))
            times["series"].append(cpu_seconds([program, config, "--series", os.path.join(tmp, "s.csv")]))
    for name, t in times.items():
        print("%-7s min %.3f s  median %.3f s  (%d runs)" % (name, min(t), statistics.median(t), len(t)))
    print("series / plain: %.3f (minima), %.3f (medians)" % (
        min(times["series"]) / min(times["plain"]), statistics.median(times["series"]) / statistics.median(times["plain"])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
