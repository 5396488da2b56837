#!/usr/bin/env python3
"""test_threads.py NKSWARM: runs seeded one by one (runSeeding 1) give every output byte for byte in
any number of threads, --only-runs gives the whole batch's values of its runs, and landscapePerRun
draws a landscape per run, the same one each time.
"""

import csv
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
DATA = os.path.join(ROOT, "tests", "data")
PROGRAM = None

# (name, configuration, lines added at its end): groups scored by their best agent, crowding
# decaying, a network strategy (its nodes are written as it is evaluated, so each world needs its own).
CONFIGS = [
    ("groups_max", os.path.join(DATA, "small.cfg"), ["runSeeding 1"]),
    ("own_landscapes", os.path.join(DATA, "small.cfg"), ["runSeeding 1", "landscapePerRun 1"]),
    ("network", os.path.join(ROOT, "tests", "system", "golden", "t41_nn_type2_groups", "m.cfg"), ["runSeeding 1"]),
]
RUNS = "5"


def run(args, cwd, status=0):
    p = subprocess.run([PROGRAM] + args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       universal_newlines=True, timeout=300)
    if p.returncode != status:
        raise AssertionError("%s exited %d: %s" % (" ".join(args), p.returncode, p.stderr))
    return p.stdout, p.stderr


def read(path):
    with open(path) as f:
        return f.read()


class Threads(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def config(self, source, lines):
        """A copy of `source` with `lines` at its end, beside the files it reads."""
        work = os.path.join(self.tmp, "work")
        shutil.rmtree(work, ignore_errors=True)
        shutil.copytree(os.path.dirname(source), work)
        with open(os.path.join(work, "c.cfg"), "w") as f:
            f.write(read(source).rstrip("\n") + "\n" + "".join(line + "\n" for line in lines))
        return work

    def outputs(self, work, *options):
        """Every output of a batch: the plain report with statistics, the series, the agents, JSON, CSV."""
        out = {}
        base = ["c.cfg", "--num-runs", RUNS, "--print-stats"]
        out["plain"], out["stderr"] = run(base + ["--series", "s.csv", "--agents", "a.csv"] + list(options), work)
        out["series"], out["agents"] = read(os.path.join(work, "s.csv")), read(os.path.join(work, "a.csv"))
        for form in ("json", "csv"):
            out[form] = run(base + ["--report", form] + list(options), work)[0]
        return out

    def test_every_output_is_the_same_in_any_number_of_threads(self):
        for name, source, lines in CONFIGS:
            work = self.config(source, lines)
            one = self.outputs(work, "--threads", "1")
            for threads in ("2", "4", "0"):
                many = self.outputs(work, "--threads", threads)
                for output in one:
                    self.assertEqual(one[output], many[output], "%s: %s with --threads %s" % (name, output, threads))

            # A part of the batch: the whole batch's values of its runs, and its averages over them.
            full = json.loads(one["json"])
            for first, last, threads in ((1, 3, "2"), (4, 4, "1"), (0, 4, "3")):
                part = json.loads(run(["c.cfg", "--num-runs", RUNS, "--print-stats", "--only-runs", "%d-%d" % (first, last),
                                       "--threads", threads, "--report", "json", "--series", "p.csv"], work)[0])
                for g, group in enumerate(part["groups"]):
                    whole = full["groups"][g]
                    for key in ("values", "evaluations", "base_values"):
                        self.assertEqual(group[key], whole[key][first:last + 1], "%s: %s of runs %d-%d" % (name, key, first, last))
                    values = group["values"]
                    self.assertAlmostEqual(group["score"], sum(values) / len(values), 12)
                self.assertEqual(part["runs"], last - first + 1)
                rows = [r for r in one["series"].splitlines()[1:] if first <= int(r.split(",")[0]) <= last]
                self.assertEqual(read(os.path.join(work, "p.csv")).splitlines()[1:], rows, "%s: series of %d-%d" % (name, first, last))
            self.assertEqual("only_runs" in full, False)

    def test_runs_that_continue_each_other_stay_on_one_thread(self):
        work = self.config(os.path.join(DATA, "small.cfg"), [])
        plain = run(["c.cfg", "--print-stats"], work)[0]
        out, err = run(["c.cfg", "--print-stats", "--threads", "2"], work)
        self.assertEqual(out, plain)
        self.assertEqual(err.count("the runs depend on each other"), 1, err)
        _, err = run(["c.cfg", "--only-runs", "0-0"], work, status=1)
        self.assertIn("--only-runs needs runSeeding 1", err)
        work = self.config(os.path.join(DATA, "small.cfg"), ["runSeeding 1"])
        _, err = run(["c.cfg", "--only-runs", "1-2"], work, status=1)  # small.cfg has 2 runs
        self.assertIn("--only-runs 1-2: the batch has the runs 0 to 1", err)

    def test_a_landscape_per_run(self):
        def bases(lines):
            """{point: set of its base fitness over the runs}, and the agents file."""
            work = self.config(os.path.join(DATA, "small.cfg"), lines)
            run(["c.cfg", "--num-runs", "4", "--agents", "a.csv"], work)
            text = read(os.path.join(work, "a.csv"))
            found = {}
            for row in csv.DictReader(io.StringIO(text)):
                if row["point"]:
                    found.setdefault((row["point"], row["run"]), row["base_fitness"])
            per_point = {}
            for (point, _), base in found.items():
                per_point.setdefault(point, set()).add(base)
            return per_point, text, work

        for lines in (["runSeeding 1", "landscapePerRun 1"], ["landscapePerRun 1"]):
            per_point, text, work = bases(lines)
            self.assertTrue(any(len(b) > 1 for b in per_point.values()), "%s: one landscape" % lines)
            run(["c.cfg", "--num-runs", "4", "--agents", "again.csv"], work)
            self.assertEqual(read(os.path.join(work, "again.csv")), text, "%s: a second batch differs" % lines)
        for lines in ([], ["runSeeding 1"]):
            per_point, _, _ = bases(lines)
            self.assertTrue(all(len(b) == 1 for b in per_point.values()), "%s: runs on different landscapes" % lines)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
