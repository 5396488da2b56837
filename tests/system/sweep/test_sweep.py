#!/usr/bin/env python3
"""Unit tests of scripts/sweep.py: configuration editing in the fixed keyword order, sweep
expansion, the command line of a row, the Slurm array and the reading of results.
Run: python3 tests/system/sweep/test_sweep.py"""

import io
import json
import os
import shutil
import sys
import tempfile
import unittest
from contextlib import redirect_stderr, redirect_stdout

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..", "..")
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import sweep  # noqa: E402

# The keyword order comes from the program: test_sweep.py [NKSWARM] (default: as sweep.py finds it).
sweep.use_program(sys.argv.pop(1) if len(sys.argv) > 1 else sweep.find_program(None))

# A valid main file with comments, an optional keyword on the line of another, and one of
# each kind of entry the editor meets.
with open(os.path.join(HERE, "edit_base.cfg")) as f:
    BASE = f.read()


def edited(base, **settings):
    cfg = sweep.Config(base, "base")
    for key, value in settings.items():
        if value == sweep.OMIT:
            cfg.remove(key)
        elif cfg.find(key):
            cfg.set(key, value.split())
        else:
            cfg.insert(key, value.split())
    return cfg.render()


class ConfigEditing(unittest.TestCase):
    def test_edits_keep_the_file_and_put_added_keywords_in_reading_order(self):
        one_line = BASE.replace("n 12 k 3\nnAgents 4", "n 12 k 3 nAgents 4")
        upper = BASE.replace("nAgents 4", "NAGENTS 4")
        O = sweep.OMIT
        cases = [  # base, settings, the (old, new) replacements that give the expected text
            (BASE, {}, []),  # written back byte for byte
            (BASE, {"k": "5", "explore": "5 3 0.2 0.6"},
             [("n 12 k 3", "n 12 k 5"), ("explore 5 3 0.1 0.4", "explore 5 3 0.2 0.6")]),
            # after its predecessor, not at the end; a comment line before the next keyword stays
            (BASE, {"maxMemSize": "20"}, [("initialMemSize 2\n", "initialMemSize 2\nmaxMemSize 20\n")]),
            (BASE, {"flockingIntensityEnd": "0.5"},
             [("# trailing comment\n", "# trailing comment\nflockingIntensityEnd 0.5\n")]),
            (one_line, {"fitnessStretchCoef": "2"}, [("k 3 nAgents", "k 3 fitnessStretchCoef 2 nAgents")]),
            (BASE, {"fitnessStretchCoef": "2"}, [("n 12 k 3\n", "n 12 k 3\nfitnessStretchCoef 2\n")]),
            (BASE, {"optionalInfo": ""}, [("# head comment\n", "# head comment\noptionalInfo\n")]),
            (BASE, {"recombination": "2", "explore2": "3 2 0.5 0.8", "limitedEvals": "1"},
             [("exploit 5\nexplore 5 3 0.1 0.4\n",
               "limitedEvals 1\nexploit 5\nexplore 5 3 0.1 0.4\nexplore2 3 2 0.5 0.8\nrecombination 2\n")]),
            (BASE, {"nRuns": O, "k": O}, [("nRuns 1\n", ""), ("n 12 k 3\n", "n 12\n")]),
            (upper, {"nAgents": "8"}, [("NAGENTS 4", "NAGENTS 8")]),
        ]
        for base, settings, replacements in cases:
            expected = base
            for old, new in replacements:
                expected = expected.replace(old, new)
            with self.subTest(settings=settings):
                self.assertEqual(edited(base, **settings), expected)

    def test_keywords_out_of_order_in_a_base_file_are_reported(self):
        # searchProbsSpecificAgents is asked for before placeProbs only; written after it,
        # the block stands where the program expects landscapeseed.
        block = "searchProbsSpecificAgents 1 0 0 0  1 0 0 0  1 0 0 0  1 0 0 0  2 0 1\n"
        wrong = BASE.replace(block, "").replace("landscapeseed 1", block + "landscapeseed 1")
        with self.assertRaisesRegex(sweep.SweepError,
                                    "keyword landscapeseed expected, found 'searchProbsSpecificAgents'"):
            sweep.Config(wrong, "base")
        with self.assertRaisesRegex(sweep.SweepError, "unexpected 'maxMemSize'"):
            sweep.Config(BASE + "maxMemSize 3\n", "base")

    def test_every_main_configuration_of_the_project_is_read_and_written_back(self):
        paths = [os.path.join(ROOT, "examples", f) for f in os.listdir(os.path.join(ROOT, "examples"))]
        golden = os.path.join(ROOT, "tests", "system", "golden")
        paths += [os.path.join(golden, d, "m.cfg") for d in os.listdir(golden) if d.startswith("t")]
        # The valid runs (t*, not the usage case); compare_explore and compare_exploit are compared strategies.
        for path in sorted(p for p in paths if os.path.exists(p) and p.endswith(".cfg") and "compare_e" not in p):
            with self.subTest(path=path), open(path) as f:
                text = f.read()
                self.assertEqual(sweep.Config(text, path).render(), text)


class Rows(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        self.out = os.path.join(self.tmp, "out")
        with open(os.path.join(self.tmp, "base.cfg"), "w") as f:
            f.write(BASE)

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def sweep_file(self, d, name="sweep.json"):
        d.setdefault("base", "base.cfg")
        path = os.path.join(self.tmp, name)
        with open(path, "w") as f:
            json.dump(d, f)
        return sweep.Sweep(path)

    def build(self, sw, i=0):
        return sweep.build_row(sw, sw.rows[i], sweep.Files(self.out), {})

    def test_rows_are_rows_times_grid_times_replicates_in_that_nesting(self):
        sw = self.sweep_file({"set": {"nRuns": 3},
                              "rows": [{"k": 2}, {"k": 4}],
                              "grid": {"nAgents": [4, 8], "flockingIntensity": [0.9, 1]},
                              "seeds": {"searchseed": "5..6", "startseed": [20, 30]}})
        self.assertEqual(len(sw.rows), 2 * 4 * 2)
        self.assertEqual(sw.columns, ["nRuns", "k", "nAgents", "flockingIntensity", "searchseed", "startseed"])
        self.assertEqual(sw.rows[0], {"nRuns": "3", "k": "2", "nAgents": "4", "flockingIntensity": "0.9",
                                      "searchseed": "5", "startseed": "20"})
        self.assertEqual([(r["searchseed"], r["startseed"]) for r in sw.rows[:2]], [("5", "20"), ("6", "30")])
        self.assertEqual([sw.rows[2]["flockingIntensity"], sw.rows[4]["nAgents"], sw.rows[8]["k"]], ["1", "8", "4"])

    def test_options_are_written_in_the_order_the_program_reads_them(self):
        with open(os.path.join(self.tmp, "extra.cfg"), "w") as f:
            f.write("agentParamsBegin 1 0 maxExploitTreeDepth 1 agentParamsEnd\n")
        with open(os.path.join(self.tmp, "cmp.cfg"), "w") as f:
            f.write("searchProbsSpecificAgents 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 0\n"
                    "placeProbsSpecificAgents 1 1 1 1 1 0\n")
        sw = self.sweep_file({"set": {"--step-evals": 2.5, "--print-stats": True,
                                      "--compare-strategies": "own cmp.cfg other 0 x",
                                      "--extra-cfg": "extra.cfg", "--num-runs": 3}})
        files, argv, stats, _ = self.build(sw)
        self.assertEqual(argv, ["sim.cfg", "--num-runs", "3", "--extra-cfg", "extra.cfg",
                                "--compare-strategies", "own", "compared1.cfg", "other", "0", "x",
                                "--print-stats", "--step-evals", "2.5"])
        self.assertTrue(stats)
        self.assertEqual(sorted(files), ["compared1.cfg", "extra.cfg", "sim.cfg"])

    def test_network_files_are_copied_and_referred_to_from_the_row(self):
        os.makedirs(os.path.join(self.tmp, "g"))
        for name in ("pop.xml", "other.xml"):
            with open(os.path.join(self.tmp, "g", name), "w") as f:
                f.write("<x/>")
        base = BASE.replace("searchProbs 1 1 1 1  1 1 1 1  1 1 1 1  1 1 1 1\n"
                            "searchProbsSpecificAgents 1 0 0 0  1 0 0 0  1 0 0 0  1 0 0 0  2 0 1\n"
                            "placeProbs 1 1 1 1\n",
                            "NNStrategy g/pop.xml 0 type 0\n")
        with open(os.path.join(self.tmp, "base.cfg"), "w") as f:
            f.write(base)
        sw = self.sweep_file({"rows": [{}, {"NNStrategy": "g/other.xml 3"}]})
        files = sweep.Files(self.out)
        text0 = sweep.build_row(sw, sw.rows[0], files, {})[0]["sim.cfg"]
        text1 = sweep.build_row(sw, sw.rows[1], files, {})[0]["sim.cfg"]
        self.assertIn("\nNNStrategy ../../files/pop.xml 0 type 0\n", text0)
        self.assertIn("\nNNStrategy ../../files/other.xml 3\n", text1)
        files.write()
        self.assertEqual(sorted(os.listdir(os.path.join(self.out, "files"))), ["other.xml", "pop.xml"])

    def test_mistakes_in_the_sweep_are_reported_before_anything_runs(self):
        cases = [
            ({"rows": [{"nagent": 3}]}, "unknown column 'nagent'"),
            ({"rows": [{"--num-run": 3}]}, "unknown option column"),
            ({"rows": [{"placeProbsSpecificAgents": "1 1 1 1 1 0"}]}, "cannot be swept"),
            ({"rows": [{"explore": "5 3 0.1"}]}, "explore takes 4 values"),
            ({"rows": [{"n": "omit"}]}, "n is required"),
            ({"rows": [{"k": 2}], "grid": {"k": [3]}}, "both in rows and in grid"),
            ({"seeds": {"searchseed": "1..3", "startseed": "1..2"}}, "differ in length"),
            # without a fitness-group keyword the program does not read agentsFitnessUseMax
            ({"rows": [{"nFitnessGroups": "omit", "agentFitnessGroup": "omit",
                        "agentsFitnessUseMax": 1}]}, "initialMemSize expected, found 'agentsFitnessUseMax'"),
            # a table strategy is not read beside a network strategy
            ({"rows": [{"NNStrategy": "base.cfg 0"}]}, "unexpected 'searchProbs'|found 'searchProbs'"),
        ]
        for d, message in cases:
            with self.subTest(message=message):
                with self.assertRaisesRegex(sweep.SweepError, message):
                    sw = self.sweep_file(dict(d))
                    for i in range(len(sw.rows)):
                        self.build(sw, i)


class Directory(unittest.TestCase):
    """expand, slurm and collect on a directory, with a stand-in program."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        with open(os.path.join(self.tmp, "base.cfg"), "w") as f:
            f.write(BASE)
        with open(os.path.join(self.tmp, "sweep.json"), "w") as f:
            json.dump({"base": "base.cfg", "set": {"--print-stats": 1},
                       "seeds": {"searchseed": "1..6"}}, f)
        self.dir = os.path.join(self.tmp, "out")
        self.run_tool("expand", os.path.join(self.tmp, "sweep.json"), self.dir, "--program", sys.executable)

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def run_tool(self, *argv):
        out, err = io.StringIO(), io.StringIO()
        with redirect_stdout(out), redirect_stderr(err):
            rc = sweep.main(list(argv))
        self.assertEqual(rc, 0, err.getvalue())
        return out.getvalue(), err.getvalue()

    def finish(self, row, status, stdout="", stderr="", version="nkswarm v1-2-gabc", sweep_dir=None):
        d = os.path.join(sweep_dir or self.dir, "rows", "%04d" % row)
        for name, text in (("stdout", stdout), ("stderr", stderr), ("version", version + "\n"),
                           ("status", "%d\n" % status)):
            with open(os.path.join(d, name), "w") as f:
                f.write(text)

    def test_slurm_array_holds_only_rows_without_results(self):
        for row in (0, 4):
            self.finish(row, 0, "1.0 \n0.0 \n1.0 \n")
        out, _ = self.run_tool("slurm", self.dir, "--limit", "3", "--time", "0:10:00")
        with open(os.path.join(self.dir, "slurm.sh")) as f:
            script = f.read()
        self.assertIn("#SBATCH --array=1-3,5%3\n", script)
        self.assertIn("#SBATCH --time=0:10:00\n", script)
        self.assertIn("first=$(( SLURM_ARRAY_TASK_ID * per_task + 1 ))", script)
        self.assertIn("sbatch", out)
        self.run_tool("slurm", self.dir, "--rows-per-task", "4")
        with open(os.path.join(self.dir, "slurm.sh")) as f:
            self.assertIn("#SBATCH --array=0-1%32\n", f.read())

    def test_collect_reports_every_row_whatever_became_of_it(self):
        self.finish(0, 0, "0.5 0.25 \n0.1 0.0 \n0.4 0.25 \n0.6 0.25 \n")
        self.finish(1, 1, "", "warning: sim.cfg:9: searchseed 65536 acts as 0: only the low 16 bits of a seed are used\n"
                    "ERROR at src/core/simuparameters.cpp:146:\nn=12 or k=12 out of bounds\n\n")
        self.finish(2, 139, "")
        self.finish(3, 0, "error", "cannot read pop.xml\n")
        self.finish(4, 1, "flag=2 incorrect\n", "ERROR at src/core/simuparameters.cpp:30:\n\n")
        csv_path = os.path.join(self.tmp, "r.csv")
        _, err = self.run_tool("collect", self.dir, "-o", csv_path)
        self.assertEqual(err, "6 rows: 1 ok, 0 ok with warnings, 4 failed, 1 not run\n")
        with open(csv_path) as f:
            got = f.read()
        self.assertEqual(got, "".join([
            "row,--print-stats,searchseed,landscapeseed,changeseed,startseed,version,status,ok,message,warnings,run,"
            "mean_g0,mean_g1,sd_g0,sd_g1,value_g0,value_g1\n",
            "0,1,1,1,0,2,v1-2-gabc,0,1,,,0,0.5,0.25,0.1,0.0,0.4,0.25\n",
            "0,1,1,1,0,2,v1-2-gabc,0,1,,,1,0.5,0.25,0.1,0.0,0.6,0.25\n",
            "1,1,2,1,0,2,v1-2-gabc,1,0,ERROR at src/core/simuparameters.cpp:146: n=12 or k=12 out of bounds,"
            "sim.cfg:9: searchseed 65536 acts as 0: only the low 16 bits of a seed are used,,,,,,,\n",
            "2,1,3,1,0,2,v1-2-gabc,139,0,killed by SIGSEGV,,,,,,,,\n",
            "3,1,4,1,0,2,v1-2-gabc,0,0,no report: error (cannot read pop.xml),,,,,,,,\n",
            "4,1,5,1,0,2,v1-2-gabc,1,0,ERROR at src/core/simuparameters.cpp:30: flag=2 incorrect,,,,,,,,\n",
            "5,1,6,1,0,2,,,0,not run,,,,,,,,\n",
        ]))

    def test_expanding_again_keeps_results_of_unchanged_rows_only(self):
        self.finish(0, 0, "1 \n0 \n1 \n")
        self.finish(1, 0, "1 \n0 \n1 \n")
        with open(os.path.join(self.dir, "joblog"), "w") as f:
            f.write("stale\n")
        with open(os.path.join(self.tmp, "sweep.json"), "w") as f:
            json.dump({"base": "base.cfg", "set": {"--print-stats": 1},
                       "seeds": {"searchseed": [1, 7, 3, 4, 5]}}, f)
        out, _ = self.run_tool("expand", os.path.join(self.tmp, "sweep.json"), self.dir,
                               "--program", sys.executable)
        self.assertTrue(out.endswith(": 5 rows, 4 to run\n"), out)
        rows = os.path.join(self.dir, "rows")
        self.assertTrue(os.path.exists(os.path.join(rows, "0000", "status")))
        self.assertFalse(os.path.exists(os.path.join(rows, "0001", "status")))
        self.assertEqual(sorted(os.listdir(rows)), ["%04d" % i for i in range(5)])
        self.assertFalse(os.path.exists(os.path.join(self.dir, "joblog")))

    def test_a_change_of_the_base_configuration_reruns_the_rows_it_reaches(self):
        path, d = os.path.join(self.tmp, "k.json"), os.path.join(self.tmp, "k")
        with open(path, "w") as f:
            json.dump({"base": "base.cfg", "rows": [{"k": 2}, {}]}, f)
        self.run_tool("expand", path, d, "--program", sys.executable)
        for row in (0, 1):
            self.finish(row, 0, "1 \n", sweep_dir=d)
        with open(os.path.join(self.tmp, "base.cfg"), "w") as f:
            f.write(BASE.replace("n 12 k 3", "n 12 k 5"))
        out, _ = self.run_tool("expand", path, d, "--program", sys.executable)
        # Row 0 sets its own k; row 1 takes the base's.
        self.assertTrue(out.endswith(": 2 rows, 1 to run\n"), out)
        self.assertTrue(os.path.exists(os.path.join(d, "rows", "0000", "status")))
        with open(os.path.join(d, "rows", "0001", "sim.cfg")) as f:
            self.assertIn("n 12 k 5\n", f.read())


class Helpers(unittest.TestCase):
    def test_report_needs_the_lines_the_options_promise(self):
        self.assertEqual(sweep.parse_report("0.5 0.2 \n", False), [["0.5", "0.2"]])
        self.assertIsNone(sweep.parse_report("0.5 0.2 \n", True))
        self.assertIsNone(sweep.parse_report("0.5 \n0.1 \n", True))
        self.assertIsNone(sweep.parse_report("0.5 \n0.1 0.2 \n0.5 \n", True))
        self.assertIsNone(sweep.parse_report("error", False))
        self.assertEqual(len(sweep.parse_report("1 \n0 \n1 \n1 \n", True)), 4)


if __name__ == "__main__":
    unittest.main()
