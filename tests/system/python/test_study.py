"""Studies from Python: results as tables, sweeps in a thread pool, table keywords as numbers."""
import os
import pathlib
import subprocess
import sys

import numpy as np
import pytest
import nkswarm

ROOT = pathlib.Path(__file__).resolve().parents[3]
PROGRAM = os.environ["NKSWARM_PROGRAM"]


def small():
    os.chdir(ROOT / "examples")
    cfg = nkswarm.Config.from_file("basic.cfg")
    cfg.update({"nAgents": 12, "agentFitnessGroup": [(0, 11)], "maxTotalSteps": 40, "lastStepsUsedForFitness": 10})
    return cfg


def test_sweep_rows_equal_single_runs_and_keep_a_failed_row():
    pytest.importorskip("pandas")
    base = small()
    f = nkswarm.sweep(base, grid={"flockingIntensity": [0.5, 0.9], "k": [3, 40]}, seeds={"searchseed": range(1, 3), "startseed": [21, 22]}, num_runs=2, threads=3)
    assert list(f.columns) == ["row", "flockingIntensity", "k", "searchseed", "startseed", "landscapeseed", "changeseed",
                               "ok", "message", "warnings", "run", "group", "value", "base_value", "evaluations",
                               "counted_steps"]
    # Seed replicates side by side, not their product; k 40 fails: one line per failed row.
    assert len(f) == 4 * 2 + 4 and sorted(set(f.row)) == list(range(8)) and (f.startseed == f.searchseed + 20).all()
    failed = f[f.ok == 0]
    assert list(failed.k) == [40] * 4 and failed.message.str.contains("out of bounds").all() and failed.run.isna().all()
    for row, lines in f[f.ok == 1].groupby("row"):
        cfg = base.copy()
        cfg.update({"flockingIntensity": lines.flockingIntensity.iloc[0], "k": 3, "searchseed": lines.searchseed.iloc[0],
                    "startseed": lines.startseed.iloc[0]})
        r = nkswarm.run(cfg, num_runs=2)
        assert lines.value.tolist() == r.per_run.ravel().tolist() and lines.base_value.tolist() == r.base_per_run.ravel().tolist()
        assert lines.evaluations.tolist() == r.evaluations.ravel().tolist() and lines.run.tolist() == [0, 1]
        assert lines.landscapeseed.iloc[0] == 2024 and lines.message.iloc[0] == ""
    with pytest.raises(ValueError, match="side by side and must be of one length, not searchseed 2, startseed 3"):
        nkswarm.sweep(base, seeds={"searchseed": [1, 2], "startseed": [1, 2, 3]})


def test_result_frames_hold_the_numbers_the_program_writes(tmp_path):
    pd = pytest.importorskip("pandas")
    cfg = small()
    r = nkswarm.run(cfg, num_runs=2, series=True, agents=True)
    f = r.frame()
    assert list(f.columns[:6]) == ["run", "group", "value", "base_value", "evaluations", "counted_steps"]
    assert list(f.columns[6:]) == cfg.keys() and len(f) == 2 and f.value.tolist() == r.per_run.ravel().tolist()
    assert r.parameters["nRuns"] == 2 and f.searchProbs.tolist() == [cfg["searchProbs"]] * 2 and f.nAgents.tolist() == [12, 12]
    assert r.config.to_text() == cfg.to_text() and r.config is not cfg
    (tmp_path / "m.cfg").write_text(cfg.to_text())
    subprocess.run([PROGRAM, tmp_path / "m.cfg", "--num-runs", "2", "--print-stats", "--series", tmp_path / "s.csv",
                    "--agents", tmp_path / "a.csv"], capture_output=True, check=True)
    assert r.agents == (tmp_path / "a.csv").read_text()
    pd.testing.assert_frame_equal(r.agents_frame(), pd.read_csv(tmp_path / "a.csv", float_precision="round_trip"))
    assert list(r.series_frame().columns) == (tmp_path / "s.csv").read_text().split("\n")[0].split(",")
    with pytest.raises(ValueError, match="series=True"):
        nkswarm.run(cfg, num_runs=1).series_frame()


def test_tables_need_pandas_only_when_asked_for(monkeypatch):
    r = nkswarm.run(small(), num_runs=1)
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="needs pandas"):
        r.frame()


def test_table_keywords_are_numbers_and_dictionaries_round_trip():
    os.chdir(ROOT / "tests/system/golden/t07_per_agent_tables")
    cfg = nkswarm.Config.from_file("m.cfg")
    assert cfg["searchProbs"] == (3.0, 1.0, 2.0, 1.0, 1.0, 2.0, 1.0, 3.0, 2.0, 2.0, 1.0, 1.0, 1.0, 1.0, 2.0, 4.0)
    assert cfg["placeProbsSpecificAgents"] == [(0.0, 0.0, 3.0, 1.0, 3, 3, 5, 6), (1.0, 0.0, 0.0, 1.0, 1, 3)]
    assert [type(v) for v in cfg["placeProbsSpecificAgents"][1]] == [float] * 4 + [int] * 2
    cfg["placeProbs"] = np.array([0.1, 2, 3, 1])
    cfg["searchProbsSpecificAgents"] = [cfg["searchProbsSpecificAgents"][0]]
    assert cfg["placeProbs"] == (0.1, 2.0, 3.0, 1.0) and len(cfg["searchProbsSpecificAgents"]) == 1
    d = cfg.to_dict()
    again = nkswarm.Config.from_dict(d)
    assert again.to_dict() == d and list(d) == cfg.keys() and again.name == "<dict>"
    assert nkswarm.run(again, num_runs=1).report == nkswarm.run(cfg, num_runs=1).report
    with pytest.raises(nkswarm.ConfigError, match="<dict>: placeProbs needs 4 weights") as e:  # no line to name
        nkswarm.Config.from_dict({**d, "placeProbs": (1, 2)})
    assert "<dict>:1" not in str(e.value)
