#!/usr/bin/env python3
"""test_results.py NKSWARM: the results a researcher reads agree with the report and change no run.

Every batch golden case gives its expected output with --series and --dump-config, and its dump
reads back to the same output and dumps identically; with --print-stats the series' group means
reproduce (or, for the best agent's score, bound) the run values and the JSON and CSV reports
hold the plain report's numbers, and the JSON report's parameters the dump's lines. CSV reports of
different configurations stack into one table. The sweep tool collects the rows' series; plot.py writes PNGs.
"""

import csv
import io
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
PROGRAM = None
# Keywords that the dump and the labelled reports leave out while they are 0.
WRITTEN_WHEN_SET = {"runSeeding", "landscapePerRun"}


def golden_root():
    # As the golden-case test: the shared copy beside the checkout wins.
    shared = os.path.normpath(os.path.join(ROOT, "..", "shared", "golden"))
    return shared if os.path.isdir(shared) else os.path.join(ROOT, "tests", "system", "golden")


def batch_cases():
    """(name, folder, args) of the golden cases that end normally and whose output is compared whole."""
    root = golden_root()
    for name in sorted(os.listdir(root)):
        d = os.path.join(root, name)
        if not os.path.isfile(os.path.join(d, "expected.rc")) or os.path.exists(os.path.join(d, "mode")):
            continue
        with open(os.path.join(d, "args")) as f:
            args = f.read().split("\n")
        args = [a for a in args if a]
        # A genome file that cannot be loaded also ends with status 0, before any result.
        if read(os.path.join(d, "expected.rc")).strip() == "0" and args and \
                read(os.path.join(d, "expected.out")) != "error":
            yield name, d, args


def run(args, cwd, check_status=True):
    p = subprocess.run([PROGRAM] + args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       universal_newlines=True, timeout=120)
    if check_status and p.returncode != 0:
        raise AssertionError("%s exited %d: %s" % (" ".join(args), p.returncode, p.stderr))
    return p.stdout


def read(path):
    with open(path) as f:
        return f.read()


def with_stats(args):
    """The arguments with --print-stats where the program looks for it."""
    i = 1
    for option, words in (("--num-runs", 2), ("--extra-cfg", 2), ("--compare-strategies", 6)):
        if i < len(args) and args[i] == option:
            i += words
    return args if args[i:i + 1] == ["--print-stats"] else args[:i] + ["--print-stats"] + args[i:]


def dump_args(args, dump):
    """The arguments for a rerun from the written-back configuration: it replaces the main file and
    holds the extra file's blocks; compared strategies need an extra file in its place, an empty one."""
    rest = list(args[1:])
    if "--extra-cfg" in rest:
        i = rest.index("--extra-cfg")
        rest[i:i + 2] = ["--extra-cfg", "/dev/null"] if "--compare-strategies" in rest else []
    return [dump] + rest


def dumped(path):
    """{keyword: [its values' text, one per line]} of a --dump-config file, in its order."""
    out = {}
    for line in read(path).splitlines():
        if not line.startswith("#"):
            out.setdefault(line.split(" ")[0], []).append(line.partition(" ")[2])
    return out


def series_rows(path):
    """{(run, group): [row, ...]} in step order."""
    out = {}
    with open(path, newline="") as f:
        for r in csv.DictReader(f):
            out.setdefault((int(r["run"]), int(r["group"])), []).append(r)
    return out


class Scratch(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="nkresults-")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def case_copy(self, name, folder):
        work = os.path.join(self.tmp, name)
        shutil.copytree(folder, work)
        return work

    def round_trip(self, args, cwd, expected):
        """--series, --agents and --dump-config leave the output as `expected`, and the dump reads back to it."""
        d1, d2 = os.path.join(self.tmp, "d1.cfg"), os.path.join(self.tmp, "d2.cfg")
        outputs = ["--series", os.path.join(self.tmp, "s.csv"), "--agents", os.path.join(self.tmp, "a.csv")]
        self.assertEqual(run(args + outputs, cwd), expected, "--series --agents")
        self.assertEqual(run(args + ["--dump-config", d1], cwd), expected, "--dump-config")
        self.assertEqual(run(dump_args(args, d1) + ["--dump-config", d2], cwd), expected, "run from the dump")
        self.assertEqual(read(d1), read(d2), "the dump of the dump differs")

    def check_series(self, rep, rows):
        L = rep["last_steps_used_for_fitness"]
        for g in rep["groups"]:
            for r, value in enumerate(g["values"]):
                steps = rows[(r, g["group"])]
                self.assertEqual([int(x["step"]) for x in steps], list(range(1, len(steps) + 1)))
                self.assertEqual(int(steps[-1]["evaluations"]), g["evaluations"][r], "evaluations")
                if not g["agents"]:
                    continue
                counted = steps[len(steps) - rep["counted_steps"][r]:]
                # Each series value is rounded to six decimals: the sum of the counted rows may be
                # off by half a unit of the last digit per row (a budget run scores more rows than L).
                slack = 0.5e-6 * len(counted) / L + 1e-9
                if rep["agents_fitness_use_max"]:
                    # The best agent's sum over the counted steps is at most the sum of the bests.
                    self.assertLessEqual(value, sum(float(x["best_fitness"]) for x in counted) / L + slack)
                else:
                    self.assertAlmostEqual(sum(float(x["mean_fitness"]) for x in counted) / L, value, delta=slack)
                # The base score is the mean's accounting on the uncrowded fitness of the same points.
                if all(x["mean_base_fitness"] for x in counted):
                    self.assertAlmostEqual(sum(float(x["mean_base_fitness"]) for x in counted) / L, g["base_values"][r],
                                           delta=slack)
            self.assertAlmostEqual(sum(g["base_values"]) / len(g["base_values"]), g["base_score"], delta=1e-12)

    def check_agents(self, rep, rows, agents_path):
        """The agents' rows of a step average to the series' means of their group and step."""
        steps = {}
        with open(agents_path, newline="") as f:
            for a in csv.DictReader(f):
                if a["group"] and a["fitness"]:
                    cell = steps.setdefault((int(a["run"]), int(a["group"]), int(a["step"])), [0, 0.0, 0.0])
                    cell[0] += 1
                    cell[1] += float(a["fitness"])
                    cell[2] += float(a["base_fitness"])
        for (r, g), series in rows.items():
            for x in series:
                if not x["mean_fitness"]:
                    continue
                count, fit, base = steps[(r, g, int(x["step"]))]
                self.assertEqual(count, int(x["agents"]))
                self.assertAlmostEqual(fit / count, float(x["mean_fitness"]), delta=1.01e-6)
                self.assertAlmostEqual(base / count, float(x["mean_base_fitness"]), delta=1.01e-6)

    def check_report(self, rep, plain):
        lines = [[float(v) for v in line.split()] for line in plain.splitlines()]
        groups = rep["groups"]
        self.assertEqual(lines[0], [round(g["score"], 6) for g in groups])
        self.assertEqual(lines[1], [round(g["sd"], 6) for g in groups])
        self.assertEqual(lines[2:], [[round(g["values"][r], 6) for g in groups] for r in range(rep["runs"])])
        self.assertEqual(rep["sd_kind"].split(":")[0], "population")


class GoldenCases(Scratch):
    def test_golden_cases(self):
        kinds = set()
        for name, folder, args in batch_cases():
            with self.subTest(case=name):
                work = self.case_copy(name, folder)
                self.round_trip(args, work, read(os.path.join(folder, "expected.out")))
                args = with_stats(args)
                plain = run(args, work)
                if not plain:
                    continue  # the action-probability check: no report
                rep = json.loads(run(args + ["--series", "s.csv", "--agents", "a.csv", "--report", "json"], work))
                self.check_report(rep, plain)
                # The report's parameters are the dump's lines: a list per repeated keyword or block.
                lists = {k: v if isinstance(v, list) else [v]
                         for k, v in rep["parameters"].items() if v not in (None, [])}
                self.assertEqual(lists, dumped(os.path.join(self.tmp, "d1.cfg")), "parameters")
                rows = series_rows(os.path.join(work, "s.csv"))
                self.check_series(rep, rows)
                self.check_agents(rep, rows, os.path.join(work, "a.csv"))
                kinds.add(rep["agents_fitness_use_max"])
        self.assertEqual(kinds, {True, False}, "both kinds of score")

    def test_series_of_a_group_without_a_turn_is_empty(self):
        # Its agents stand on no point yet: a fitness read there would be that of point 2^N - 1.
        cfg = os.path.join(HERE, "data", "no_turn.cfg")
        run([cfg, "--series", "s.csv"], self.tmp)
        rows = series_rows(os.path.join(self.tmp, "s.csv"))
        self.assertEqual(sorted(rows), [(r, g) for r in range(2) for g in range(2)])
        for (r, g), steps in rows.items():
            self.assertEqual([(x["agents"], x["mean_fitness"], x["best_fitness"]) for x in steps],
                             [(str(4 * g), "", "")] * 6)

    def test_csv_report_and_labels(self):
        examples = os.path.join(ROOT, "examples")
        args = ["compare_main.cfg", "--num-runs", "3", "--extra-cfg", "compare_extra.cfg", "--compare-strategies",
                "own", "compare_explore.cfg", "explorer", "0", "x"]
        rep = json.loads(run(args + ["--report", "json"], examples))
        self.assertEqual(rep["config_files"], {"main": "compare_main.cfg", "extra": "compare_extra.cfg",
                                               "compared": ["compare_explore.cfg"]})
        self.assertEqual(rep["compared_strategies"], ["own", "explorer"])
        self.assertEqual(rep["version"], run(["--version"], examples).split()[1])
        analyze = os.path.join(os.path.dirname(PROGRAM), "nkanalyze")
        self.assertEqual(subprocess.check_output([analyze, "--version"], universal_newlines=True).split(),
                         ["nkanalyze", rep["version"]])
        table = list(csv.DictReader(io.StringIO(run(args + ["--report", "csv"], examples))))
        self.assertEqual([(int(t["group"]), int(t["run"]), float(t["value"]), float(t["score"]), float(t["sd"]),
                           int(t["evaluations"]), t["version"]) for t in table],
                         [(g["group"], r, v, g["score"], g["sd"], g["evaluations"][r], rep["version"])
                          for g in rep["groups"] for r, v in enumerate(g["values"])])

    def test_csv_reports_of_different_configurations_stack(self):
        examples, cfgs = os.path.join(ROOT, "examples"), ["basic.cfg", "groups_network.cfg"]
        texts = [run([cfg, "--num-runs", "2", "--report", "csv", "--dump-config", os.path.join(self.tmp, cfg)],
                     examples) for cfg in cfgs]
        self.assertEqual(texts[0].splitlines()[0], texts[1].splitlines()[0], "headers")
        table = list(csv.reader(io.StringIO(texts[0] + texts[1].split("\n", 1)[1])))
        header, rows = table[0], [dict(zip(table[0], r)) for r in table[1:]]
        keywords = [line.split("\t")[0] for line in run(["--keywords"], examples).splitlines()[2:]]
        own = header[:header.index("base_value") + 1]
        # Keywords written only when set (runSeeding, landscapePerRun) have columns only then.
        keywords = [k for k in keywords if k not in WRITTEN_WHEN_SET]
        self.assertEqual(header[len(own):], [k for k in keywords if k not in own], "a column per keyword")
        self.assertEqual([(r["main_config"], r["k"], r["groupSize"], r["flockingIntensity"]) for r in rows],
                         [("basic.cfg", "6", "0", "0.95")] * 2 + [("groups_network.cfg", "5", "5", "0.9")] * 2)
        for r in rows:
            dump = dumped(os.path.join(self.tmp, r["main_config"]))
            self.assertEqual({k: r[k] for k in keywords}, {k: "; ".join(dump.get(k, [])) for k in keywords})


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError("%s is not a PNG file" % path)
    return struct.unpack(">II", head[16:24])


def matplotlib_missing():
    try:
        return subprocess.run(["/usr/bin/python3", "-c", "import matplotlib"], stderr=subprocess.DEVNULL).returncode
    except OSError:
        return True


class SweepAndPlots(Scratch):
    def sweep(self):
        """A two-row sweep with the rows' series, run and collected."""
        sweep_file = os.path.join(self.tmp, "sweep.json")
        with open(sweep_file, "w") as f:
            json.dump({"base": os.path.join(ROOT, "tests", "data", "small.cfg"),
                       "set": {"--num-runs": 2, "--print-stats": True, "--series": True},
                       "seeds": {"searchseed": "1..2"}}, f)
        d = os.path.join(self.tmp, "sweep")
        tool = [sys.executable, os.path.join(ROOT, "scripts", "sweep.py")]
        subprocess.run(tool + ["expand", sweep_file, d, "--program", PROGRAM], check=True, stdout=subprocess.DEVNULL)
        for row in sorted(os.listdir(os.path.join(d, "rows"))):
            subprocess.run([os.path.join(d, "job.sh"), "rows/" + row], check=True)
        subprocess.run(tool + ["collect", d, "-o", os.path.join(self.tmp, "sweep.csv"), "--series",
                               os.path.join(self.tmp, "series.csv")], check=True, stderr=subprocess.DEVNULL)
        return d

    def test_sweep_collects_series(self):
        d = self.sweep()
        with open(os.path.join(self.tmp, "series.csv"), newline="") as f:
            collected = list(csv.reader(f))
        header, want = collected[0], []
        for i, row in enumerate(sorted(os.listdir(os.path.join(d, "rows")))):
            with open(os.path.join(d, "rows", row, "series.csv"), newline="") as f:
                own = list(csv.reader(f))
            lead = len(header) - len(own[0])
            self.assertEqual(header[lead:], own[0])
            want += [[str(i), str(i + 1)] + r for r in own[1:]]
        seed = header.index("searchseed")
        self.assertEqual([[r[0], r[seed]] + r[lead:] for r in collected[1:]], want)

    @unittest.skipIf(matplotlib_missing(), "no matplotlib for /usr/bin/python3")
    def test_plots_are_pngs_of_the_size_asked(self):
        self.sweep()
        plot = ["/usr/bin/python3", os.path.join(ROOT, "scripts", "plot.py")]
        out = os.path.join(self.tmp, "a.png")
        for args, size in ((["series", "series.csv"], (800, 500)),
                           (["series", "series.csv", "--y", "mean_base_fitness"], (800, 500)),
                           (["sweep", "sweep.csv", "--x", "searchseed", "--size", "640x360"], (640, 360))):
            subprocess.run(plot + args + ["-o", out], cwd=self.tmp, check=True)
            self.assertEqual(png_size(out), size)
            os.remove(out)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
