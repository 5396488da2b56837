"""Does crowding help the group search, and does it depend on K? The study of docs/study-crowding.md
as one sweep: crowded and base score per K and crowding strength, each point the mean of 10 seed
replicates of 10 runs, the same numbers as the study run with scripts/sweep.py (about 40 s).

    PYTHONPATH=build/python /usr/bin/python3 examples/python/study_crowding.py
"""
import pathlib

import nkswarm

base = nkswarm.Config.from_file(pathlib.Path(__file__).resolve().parents[1] / "basic.cfg")
base.update({"landscapeComponents": 1, "agentsFitnessUseMax": 0})
runs = nkswarm.sweep(base, grid={"k": [0, 3, 8], "flockingIntensity": [0.6, 0.7, 0.8, 0.9, 0.95, 0.98, 0.99, 1.0]},
                     seeds={"landscapeseed": range(1, 11), "startseed": range(101, 111),
                            "searchseed": range(201, 211)}, num_runs=10, threads=2)
points = runs.groupby(["k", "flockingIntensity"])[["value", "base_value"]].mean()
print(points.round(6).to_string())
