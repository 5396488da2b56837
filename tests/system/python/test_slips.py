"""Slips a user makes with the sweep tool, the plot script and the module: each is refused, or used as
typed and warned about, in the exact words below. One row per slip; the configurations are
examples/basic.cfg, shortened."""
import atexit
import csv
import functools
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import warnings

import numpy as np
import pytest
import nkswarm

ROOT = pathlib.Path(__file__).resolve().parents[3]
PROGRAM = os.environ["NKSWARM_PROGRAM"]
BASIC = (ROOT / "examples/basic.cfg").read_text()
SEED_LINE = BASIC.splitlines().index("searchseed 12") + 1  # where the reader finds searchseed
SHORT = {"--num-runs": 1, "maxTotalSteps": 30}
LOW16 = "only the low 16 bits of a seed are used"


def tool(script, *args, cwd):
    """A script's standard error and exit status, as a user sees them."""
    p = subprocess.run([sys.executable, str(ROOT / "scripts" / script), *map(str, args)], cwd=cwd,
                       capture_output=True, text=True)
    return f"{p.stderr}exit {p.returncode}"


def expand(tmp, **sweep):
    (tmp / "s.json").write_text(json.dumps({"base": str(ROOT / "examples/basic.cfg"), **sweep}))
    return tool("sweep.py", "expand", "s.json", "d", "--program", PROGRAM, cwd=tmp)


def ran(tmp, base, sweep):
    """A sweep expanded, run row by row and collected: collect's summary and each row's warnings."""
    (tmp / "base.cfg").write_text(base)
    (tmp / "s.json").write_text(json.dumps({"base": "base.cfg", **sweep}))
    tool("sweep.py", "expand", "s.json", "d", "--program", PROGRAM, cwd=tmp)
    for row in sorted((tmp / "d/rows").iterdir()):
        subprocess.run([tmp / "d/job.sh", "rows/" + row.name], check=True)
    summary = tool("sweep.py", "collect", "d", "-o", "sweep.csv", "--series", "series.csv", cwd=tmp)
    rows = {r["row"]: r["warnings"] for r in csv.DictReader(open(tmp / "sweep.csv"))}
    return summary + "".join(f"\n{row}: {w}" for row, w in rows.items())


@functools.lru_cache(maxsize=None)
def crowding_sweep():
    """Rows that differ in k and flockingIntensity, two seed replicates each; collected once for all rows."""
    tmp = pathlib.Path(tempfile.mkdtemp(prefix="nkslips"))
    atexit.register(shutil.rmtree, tmp)
    ran(tmp, BASIC, {"set": {**SHORT, "--series": True}, "grid": {"k": [2, 6], "flockingIntensity": [0.8, 0.9]},
                     "seeds": {"searchseed": "1..2"}})
    return tmp


def plot(tmp, *args):
    out = tool("plot.py", *args, "-o", tmp / "p.png", cwd=crowding_sweep())
    return out + " (a PNG)" if out == "exit 0" and (tmp / "p.png").read_bytes()[:4] == b"\x89PNG" else out


def series_of_one_intensity(tmp):
    """The sweep's series less its rows of flockingIntensity 0.9: rows that differ in k and seeds only."""
    with open(crowding_sweep() / "series.csv", newline="") as f, open(tmp / "one.csv", "w", newline="") as out:
        rows = csv.DictReader(f)
        kept = csv.DictWriter(out, rows.fieldnames, lineterminator="\n")
        kept.writeheader()
        kept.writerows(r for r in rows if r["flockingIntensity"] == "0.8")
    return plot(tmp, "series", tmp / "one.csv", "--by", "k")


def raised(action):
    """What a module call does: its warnings (each once), then its error or its value."""
    with warnings.catch_warnings(record=True) as seen:
        warnings.simplefilter("always")
        try:
            out = str(action())
        except Exception as e:  # noqa: BLE001  (the error is the outcome)
            out = f"{type(e).__name__}: {e.args[0]}"
    return "".join(f"{w.category.__name__}: {w.message}\n" for w in seen) + out


def numpy_numbers():
    cfg = nkswarm.Config.from_text(BASIC, "basic.cfg")
    for k in np.arange(3, 5):  # numpy.int64
        cfg["k"] = k
    cfg.update({"flockingIntensity": np.float32(0.5), "maxTotalSteps": np.int16(30), "rememberChecked": np.bool_(False)})
    r = nkswarm.run(cfg, num_runs=np.int64(2), step_evals=np.float32(900))
    return f"k {cfg['k']}, flockingIntensity {cfg['flockingIntensity']}, {cfg['rememberChecked']}, {len(r.per_run)} runs, " \
           f"seed {nkswarm.analyze(8, np.uint8(2), seed=np.int32(5))['seed']}"


def edit(values):
    return lambda: nkswarm.Config.from_text(BASIC, "basic.cfg").update(values)


def warned_once():
    cfg = nkswarm.Config.from_text(BASIC.replace("searchseed 12", "searchseed 70000"), "seed.cfg")
    cfg.copy()
    cfg.update({"nRuns": 1, "maxTotalSteps": 30})
    nkswarm.run(cfg)
    cfg["searchseed"] = 70001  # a new value: a new warning
    return nkswarm.run(cfg).scoring


def seeds_of_landscapes():
    nkswarm.landscape(10, 4, seed=70000)
    return nkswarm.analyze(10, 4, seed=70000)["seed"]


def group_mean(stats):
    """basic.cfg scored by the mean of its 50 agents: run()'s scores against the program's report."""
    text = BASIC.replace("agentsFitnessUseMax 1", "agentsFitnessUseMax 0").replace("nRuns 10", "nRuns 2")
    kw = {} if stats is None else {"stats": stats}
    r = nkswarm.run(nkswarm.Config.from_text(text, "mean.cfg"), **kw)
    return f"{r.scoring} {r.report.splitlines()[0]}"


def program_report_line(*options):
    def expected(tmp):
        (tmp / "mean.cfg").write_text(BASIC.replace("agentsFitnessUseMax 1", "agentsFitnessUseMax 0").replace("nRuns 10", "nRuns 2"))
        prog = subprocess.run([PROGRAM, "mean.cfg", *options], cwd=tmp, capture_output=True, text=True, check=True)
        warned = "".join(f"ConfigWarning: {w.removeprefix('warning: ')}\n" for w in prog.stderr.splitlines())
        return f"""{warned}({"'mean'" if options else "'sum/11'"},) {prog.stdout.splitlines()[0]}"""
    return expected


SLIPS = [
    # sweep.py: seeds outside 0-65535 and options the program would read in part are refused
    ("sweep seed 65536", lambda t: expand(t, set=SHORT, seeds={"searchseed": "65535..65537"}),
     "sweep.py: row 1: searchseed 65536 is outside 0 to 65535: the program would use only its low 16 bits (seed 0)\nexit 2"),
    # ... but runs seeded one by one take all 32 bits of their start and search seeds, and with
    # landscapePerRun 1 of the landscape seed; changeseed is only recorded
    ("sweep seeds with runSeeding 1", lambda t: expand(t, set={**SHORT, "runSeeding": 1, "changeseed": 99999},
                                                       seeds={"searchseed": "65535..65537", "startseed": "-1..1"}),
     "exit 0"),
    ("sweep landscapeseed with runSeeding 1", lambda t: expand(t, set={**SHORT, "runSeeding": 1},
                                                               seeds={"landscapeseed": "65535..65536"}),
     "sweep.py: row 1: landscapeseed 65536 is outside 0 to 65535: the program would use only its low 16 bits (seed 0)\nexit 2"),
    ("sweep landscapeseed per run", lambda t: expand(t, set={**SHORT, "runSeeding": 1, "landscapePerRun": 1},
                                                     seeds={"landscapeseed": "65535..65536"}),
     "exit 0"),
    ("sweep --num-runs 1e2", lambda t: expand(t, set={"--num-runs": "1e2"}),
     "sweep.py: row 0: --num-runs takes a whole number from 1 to 2147483647, got '1e2': the program would not run it as written\nexit 2"),
    ("sweep --step-evals 5x", lambda t: expand(t, set={"--step-evals": "5x"}),
     "sweep.py: row 0: --step-evals takes a finite number above 0, got '5x': the program would not run it as written\nexit 2"),
    ("sweep unknown column", lambda t: expand(t, rows=[{"flockingIntensty": 0.5}]),
     "sweep.py: unknown column 'flockingIntensty': not a configuration keyword, option or \"base\"; did you mean flockingIntensity?\nexit 2"),
    ("sweep unknown option", lambda t: expand(t, set={"--num-run": 2}),
     "sweep.py: unknown option column '--num-run' (known: --num-runs, --extra-cfg, --compare-strategies, --print-stats, "
     "--step-evals, --threads, --series); did you mean --num-runs?\nexit 2"),
    ("sweep unknown field", lambda t: expand(t, seed={"searchseed": [1, 2]}),
     "sweep.py: s.json: unknown field 'seed'; did you mean seeds?\nexit 2"),
    # collect: the program's warnings per row, and rows with warnings counted apart
    ("collect warnings", lambda t: ran(t, BASIC.replace("searchseed 12", "searchseed 70000"),
                                       {"set": SHORT, "rows": [{}, {"searchseed": 3}, {"k": 25}]}),
     f"3 rows: 1 ok, 1 ok with warnings, 1 failed, 0 not run\nexit 0\n0: sim.cfg:{SEED_LINE}: searchseed 70000 acts as 4464: {LOW16}\n1: \n2: "),
    # plot.py: only seed replicates are averaged
    ("plot sweep without --by", lambda t: plot(t, "sweep", "sweep.csv", "--x", "flockingIntensity"),
     "plot.py: sweep.csv: rows to be averaged differ in k (2, 6); only seed replicates are averaged: "
     "draw one line per value with --by, or plot rows that share it\nexit 1"),
    ("plot sweep with --by", lambda t: plot(t, "sweep", "sweep.csv", "--x", "flockingIntensity", "--by", "k"), "exit 0 (a PNG)"),
    ("plot sweep's series", lambda t: plot(t, "series", "series.csv"),
     "plot.py: series.csv: rows to be averaged differ in k (2, 6) and flockingIntensity (0.8, 0.9); only seed replicates "
     "are averaged: draw one line per value with --by, or plot rows that share them\nexit 1"),
    ("plot series --by k", lambda t: plot(t, "series", "series.csv", "--by", "k"),
     "plot.py: series.csv: rows to be averaged differ in flockingIntensity (0.8, 0.9); only seed replicates are averaged: "
     "draw one line per value with --by, or plot rows that share it\nexit 1"),
    ("plot series --by k of one intensity", series_of_one_intensity, "exit 0 (a PNG)"),
    ("plot unknown column", lambda t: plot(t, "sweep", "sweep.csv", "--x", "flockingIntensty"),
     "plot.py: sweep.csv has no column flockingIntensty; did you mean flockingIntensity?\nexit 1"),
    # the module
    ("numpy numbers", lambda t: raised(numpy_numbers), "k 4, flockingIntensity 0.5, False, 2 runs, seed 5"),
    ("error after an edit", lambda t: raised(edit({"searchseed": 3, "nAgents": -1})),
     'ConfigError: basic.cfg with nAgents, searchseed set from Python: nAgents needs a whole number from 0 to 1000000, found "-1"'),
    ("unknown keyword", lambda t: raised(edit({"flockingIntensty": 0.9})),
     "KeyError: flockingIntensty is not a configuration keyword: did you mean flockingIntensity?"),
    ("warnings once", lambda t: raised(warned_once),
     f"ConfigWarning: seed.cfg:{SEED_LINE}: searchseed 70000 acts as 4464: {LOW16}\n"
     f"ConfigWarning: seed.cfg with nRuns, maxTotalSteps, searchseed set from Python: searchseed 70001 acts as 4465: {LOW16}\n"
     "('max',)"),
    ("landscape seeds", lambda t: raised(seeds_of_landscapes),
     f"ConfigWarning: seed 70000 acts as 4464: {LOW16}\nConfigWarning: seed 70000 acts as 4464: {LOW16}\n4464"),
    ("group 0 scored by its mean", lambda t: raised(lambda: group_mean(None)), program_report_line("--print-stats")),
    ("group 0 as the program scores it", lambda t: raised(lambda: group_mean(False)), program_report_line()),
]


@pytest.mark.parametrize("slip,expected", [pytest.param(a, e, id=i) for i, a, e in SLIPS])
def test_slips_are_refused_or_used_as_typed_with_a_warning(slip, expected, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    want = expected(tmp_path) if callable(expected) else expected
    assert slip(tmp_path) == want
