"""The Python module against the programs: runs, series, errors, threads, landscapes, configurations."""
import json
import os
import pathlib
import re
import subprocess
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest
import nkswarm

ROOT = pathlib.Path(__file__).resolve().parents[3]
PROGRAM, ANALYZE = os.environ["NKSWARM_PROGRAM"], os.environ["NKANALYZE_PROGRAM"]
GOLDEN = ROOT / "tests/system/golden"


def options(args):
    """run()'s keyword arguments for a batch command line (options in their positional order); None for another.
    Without --print-stats, stats=False: run() itself scores as --print-stats does unless told."""
    kw, rest = {"stats": False}, args[1:]
    if rest[:1] == ["--extra-cfg"]:
        kw["extra"], rest = rest[1], rest[2:]
    if rest[:1] == ["--compare-strategies"]:
        kw["compare"], rest = rest[1:4] if rest[4] == "0" else rest[1:6], rest[6:]
    if rest[:1] == ["--print-stats"]:
        kw["stats"], rest = True, rest[1:]
    if rest[:1] == ["--step-evals"]:
        kw["step_evals"], rest = float(rest[1]), rest[2:]
    return kw if args and not rest else None


def cases():  # the golden cases, and the example commands of the README and the configuration page
    found = [(d, (d / "args").read_text().split()) for d in sorted(GOLDEN.iterdir()) if d.is_dir()]
    for page in (ROOT / "README.md", ROOT / "docs" / "configuration.md"):
        found += [(ROOT / "examples", m.split()) for m in re.findall(r"`\.\./build/nkswarm ([^`]*)`", page.read_text())]
    return [pytest.param(d, a, id=d.name + ":" + a[0]) for d, a in found if options(a) is not None]


def series_csv(s):
    rows = ["run,step,group,agents,mean_fitness,best_fitness,evaluations,public_best,mean_base_fitness,best_base_fitness,distinct_points"]
    for i in range(len(s["run"])):
        fit = f"{s['mean_fitness'][i]:.6f},{s['best_fitness'][i]:.6f}" if s["agents"][i] else ","
        base = f"{s['mean_base_fitness'][i]:.6f},{s['best_base_fitness'][i]:.6f},{s['distinct_points'][i]}" if s["agents"][i] else ",,"
        rows.append(f"{s['run'][i]},{s['step'][i]},{s['group'][i]},{s['agents'][i]},{fit},{s['evaluations'][i]},{s['public_best'][i]:.6f},{base}")
    return rows  # lines, so that a failure names the first line that differs


@pytest.mark.parametrize("folder,args", cases())
def test_runs_and_errors_equal_the_program(folder, args, tmp_path, monkeypatch, capfd, recwarn):
    monkeypatch.chdir(folder)
    prefix = folder / "expected.errprefix"
    if prefix.exists():  # the program's message after its "ERROR at" line, nothing printed; the next run works
        with pytest.raises(nkswarm.ConfigError, match="^" + re.escape(prefix.read_text().rstrip("\n"))) as e:
            nkswarm.run(args[0], **options(args))
        assert type(e.value) is (nkswarm.GenomeError if (folder / "expected.rc").read_text() == "0\n" else nkswarm.ConfigError)
        assert capfd.readouterr() == ("", "") and nkswarm.run(GOLDEN / "t01_table_basic/m.cfg").report.startswith("0.")
        return
    prog = subprocess.run([PROGRAM, *args, "--report", "json", "--series", tmp_path / "s.csv"], capture_output=True, text=True, check=True)
    report = json.loads(prog.stdout)
    groups = report["groups"]
    r = nkswarm.run(args[0], series=True, **options(args))
    assert "".join(f"warning: {w.message}\n" for w in recwarn) == prog.stderr
    assert r.scores.tolist() == [g["score"] for g in groups] and r.std.tolist() == [g["sd"] for g in groups]
    assert r.base_scores.tolist() == [g["base_score"] for g in groups] and r.base_per_run.T.tolist() == [g["base_values"] for g in groups]
    best, stats = report["agents_fitness_use_max"], report["print_stats"]  # the scoring the report documents
    assert r.scoring == tuple(None if g and not stats else "max" if best else "mean" if stats else "sum/11" for g in range(len(groups)))
    assert r.per_run.T.tolist() == [g["values"] for g in groups] and r.evaluations.T.tolist() == [g["evaluations"] for g in groups]
    assert series_csv(r.series) == (tmp_path / "s.csv").read_text().splitlines()
    if (folder / "expected.out").exists():
        assert r.report == (folder / "expected.out").read_text()


def test_threads_give_the_numbers_of_sequential_runs():
    """Different N, K, seeds and a network strategy side by side: nothing a run writes is shared."""
    os.chdir(ROOT / "examples")
    cfgs = [nkswarm.Config.from_file(f) for f in ("basic.cfg", "basic.cfg", "groups_network.cfg", "crowding_decay.cfg")]
    cfgs[1].update({"n": 14, "k": 3, "searchseed": 5})
    alone = [nkswarm.run(c, num_runs=2, series=True) for c in cfgs]
    with ThreadPoolExecutor(len(cfgs)) as pool:
        together = list(pool.map(lambda c: nkswarm.run(c, num_runs=2, series=True), cfgs))
    for a, b in zip(alone, together):
        assert a.report == b.report and np.array_equal(a.per_run, b.per_run)
        assert all(np.array_equal(a.series[c], b.series[c], equal_nan=True) for c in a.series)


def test_runs_seeded_one_by_one_give_the_same_numbers_in_threads_and_alone():
    os.chdir(ROOT / "examples")
    cfg = nkswarm.Config.from_file("basic.cfg")
    cfg.update({"runSeeding": 1})
    one, two = (nkswarm.run(cfg, num_runs=4, series=True, threads=t) for t in (1, 2))
    assert one.report == two.report and all(np.array_equal(one.series[c], two.series[c], equal_nan=True) for c in one.series)
    part = nkswarm.run(cfg, num_runs=4, only_runs=(1, 2))
    assert np.array_equal(part.per_run, one.per_run[1:3]) and np.array_equal(part.evaluations, one.evaluations[1:3])


@pytest.mark.parametrize("n,k,seed,stretch,components", [(10, 4, 7, 1.0, "seeded"), (12, 3, 5, 0.8, "independent"), (6, 0, 70000, 1.5, "seeded")])
def test_landscape_and_figures_equal_nkanalyze(n, k, seed, stretch, components, recwarn):
    line = subprocess.run([ANALYZE, "--n", str(n), "--k", str(k), "--seeds", str(seed), "--stretch", str(stretch), "--csv",
                           "--components", "1" if components == "independent" else "0"], capture_output=True, text=True, check=True).stdout.split("\n")[1]
    f, a = nkswarm.analyze(n, k, seed, stretch, components), nkswarm.landscape(n, k, seed, stretch=stretch, components=components)
    # nkanalyze prints the seed as given; the module the seed its low 16 bits make, with a warning
    assert line == "%d,%d,%d,%.12g,%d,%d,%d,%s,%.12g,%d,%.12g,%.12g,%.12g" % (seed, n, k, stretch, components == "independent", *list(f.values())[1:])
    assert f["seed"] == seed % 65536 and {str(w.message) for w in recwarn} == ({f"seed {seed} acts as {seed % 65536}: only the low 16 bits of a seed are used"} if seed > 65535 else set())
    assert a.shape == (2**n,) and (a.argmax(), a.max(), a.argmin(), a.min()) == (f["global_max_point"], f["global_max"], f["min_point"], f["minimum"])
    assert nkswarm.analyze(n, k, [seed, seed], stretch, components)["landscapes"] == [f, f]
    with pytest.raises(ValueError, match="k below n"):
        nkswarm.landscape(n, n, seed)


def test_configuration_round_trip_edits_and_keyword_table(tmp_path):
    os.chdir(ROOT / "examples")
    cfg = nkswarm.Config.from_file("eval_budget.cfg")
    cfg.update({"flockingIntensity": 0.9, "nRuns": 3, "explore": (5, 4, 0.1, 0.3), "agentFitnessGroup": [(0, 4), "5 19"]})
    assert (cfg["flockingIntensity"], cfg["explore"], cfg["agentFitnessGroup"]) == (0.9, (5, 4, 0.1, 0.3), [(0, 4), (5, 19)])
    (tmp_path / "edited.cfg").write_text(cfg.to_text())
    prog = subprocess.run([PROGRAM, tmp_path / "edited.cfg", "--num-runs", "2", "--print-stats", "--dump-config", tmp_path / "d.cfg"], capture_output=True, text=True)
    assert nkswarm.run(cfg, num_runs=2, stats=True).report == prog.stdout
    assert re.sub(r"(?m)^#.*\n", "", (tmp_path / "d.cfg").read_text()) == cfg.to_text().replace("nRuns 3", "nRuns 2")
    assert nkswarm.Config.from_text(cfg.to_text()).to_text() == cfg.to_text()
    with pytest.warns(nkswarm.ConfigWarning, match="searchseed 70003 acts as 4467"):
        cfg["searchseed"] = 70003
    with pytest.raises(nkswarm.ConfigError, match=r"^n=40 or k=5 out of bounds\n"):
        cfg["n"] = 40
    assert cfg["n"] == 20 and cfg["searchseed"] == 70003
    table = subprocess.run([PROGRAM, "--keywords"], capture_output=True, text=True).stdout.splitlines()[2:]
    assert ["\t".join(row.values()) for row in nkswarm.keywords()] == table


def test_errors_leave_no_files_or_memory_behind():  # a network read, then an error
    os.chdir(GOLDEN / "t40_nn_type0_gz")
    text = pathlib.Path("m.cfg").read_text().replace("varystart 0", "varystart 2")
    rss = lambda: int(open("/proc/self/statm").read().split()[1]) * os.sysconf("SC_PAGE_SIZE")  # noqa: E731
    for rounds in (50, 500):  # the first rounds fill the allocator's pools
        fds, before = len(os.listdir("/proc/self/fd")), rss()
        for _ in range(rounds):
            with pytest.raises(nkswarm.ConfigError, match="varystart needs 0 or 1"):
                nkswarm.Config.from_text(text)
    assert len(os.listdir("/proc/self/fd")) == fds and rss() - before < 2 << 20
