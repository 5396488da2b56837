"""Results as pandas tables, and sweeps of runs in a thread pool.

pandas is imported only when a table is asked for, tqdm only for a progress bar, so that the rest
of the package works without them.
"""
import io
import itertools
import sys
import warnings
from concurrent.futures import ThreadPoolExecutor, as_completed

import numpy as np

from nkswarm import _core

# The seeds every sweep row records, as scripts/sweep.py collect does.
SEED_COLUMNS = ["landscapeseed", "changeseed", "startseed", "searchseed"]
# The columns of a run's table, before its parameters.
RUN_COLUMNS = ["run", "group", "value", "base_value", "evaluations", "counted_steps"]
# Whole-number columns that a failed sweep row leaves empty.
WHOLE_COLUMNS = ["run", "group", "evaluations", "counted_steps"]


def _pandas(what):
    try:
        import pandas
    except ImportError:
        raise ImportError(what + " needs pandas (Debian: apt-get install python3-pandas)") from None
    return pandas


def _run_columns(r):
    """One entry per run and fitness group, run by run, as NumPy columns."""
    runs, groups = r.per_run.shape
    return {
        "run": np.repeat(np.arange(r.first_run, r.first_run + runs, dtype=np.int64), groups),
        "group": np.tile(np.arange(groups, dtype=np.int64), runs),
        "value": r.per_run.ravel(),
        "base_value": r.base_per_run.ravel(),
        "evaluations": r.evaluations.ravel().astype(np.int64),
        "counted_steps": np.repeat(r.counted_steps.astype(np.int64), groups),
    }


def _constant(value, length):
    """A column of one value; a tuple or list stays one cell each, not spread over the rows."""
    column = np.empty(length, dtype=object)
    for i in range(length):
        column[i] = value
    return column


def result_frame(r):
    pd = _pandas("Result.frame()")
    columns = _run_columns(r)
    length = len(columns["run"])
    for keyword, value in r.parameters.items():
        if keyword not in columns:
            columns[keyword] = _constant(value, length) if isinstance(value, (tuple, list)) else [value] * length
    return pd.DataFrame(columns)


def series_frame(r):
    pd = _pandas("Result.series_frame()")
    if r.series is None:
        raise ValueError("series_frame() needs a run with series=True")
    return pd.DataFrame(r.series)


def agents_frame(r):
    pd = _pandas("Result.agents_frame()")
    if r.agents is None:
        raise ValueError("agents_frame() needs a run with agents=True")
    # round_trip: each number exactly as the text reads, not pandas' faster approximate parse.
    return pd.read_csv(io.StringIO(r.agents), float_precision="round_trip")


def _message(error):
    """An exception's own text (a KeyError's str() would quote it)."""
    return error.args[0] if len(error.args) == 1 and isinstance(error.args[0], str) else str(error)


def _rows(grid, seeds):
    """Each sweep row's keyword values: the grid's product, each with every seed replicate.

    The seed lists are taken side by side, replicate i having the i-th value of each, as
    scripts/sweep.py takes them: a product would multiply the replicates unasked.
    """
    grid, seeds = dict(grid or {}), dict(seeds or {})
    for name, values in list(grid.items()) + list(seeds.items()):
        if isinstance(values, (str, bytes)) or not hasattr(values, "__iter__"):
            raise TypeError("sweep: %s takes a list of values, not %r" % (name, values))
    both = [k for k in seeds if k in grid]
    if both:
        raise ValueError("sweep: %s is both a grid keyword and a seed keyword" % both[0])
    seed_lists = {k: list(v) for k, v in seeds.items()}
    lengths = {len(v) for v in seed_lists.values()}
    if len(lengths) > 1:
        raise ValueError("sweep: the seed lists are taken side by side and must be of one length, not %s" %
                         ", ".join("%s %d" % (k, len(v)) for k, v in seed_lists.items()))
    replicates = [dict(zip(seed_lists, values)) for values in zip(*seed_lists.values())] or [{}]
    keys = list(grid) + list(seeds)
    return keys, [dict(zip(grid, values), **replicate)
                  for values in itertools.product(*[list(v) for v in grid.values()]) for replicate in replicates]


def _progress(total, progress):
    """A tqdm bar where asked for, or by default when standard error is a terminal and tqdm is there."""
    if progress is False or (progress is None and not sys.stderr.isatty()):
        return None
    try:
        from tqdm import tqdm
    except ImportError:
        if progress:
            raise ImportError("sweep(progress=True) needs tqdm (Debian: apt-get install python3-tqdm)") from None
        return None
    return tqdm(total=total, unit="row")


def _made(base, rows):
    """Each row's configuration, or the error that stopped it, with the warnings it raised.

    They are made here, one after another, so that each row's warnings are caught for its own
    row (catching warnings is not safe across threads).
    """
    made = []
    for values in rows:
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            try:
                cfg = base.copy()
                cfg.update(values)
                made.append((cfg, None))
            except Exception as e:  # the row is kept, with its message
                made.append((None, e))
        made[-1] += ([str(w.message) for w in caught],)
    return made


def _run_all(made, threads, progress, **options):
    """Each row's Result, or the exception it raised, in row order."""

    def one(item):
        cfg, error, _ = item
        if error is not None:
            return error
        try:
            return _core.run(cfg, **options)
        except Exception as e:
            return e

    bar = _progress(len(made), progress)
    results = [None] * len(made)
    # The runs' warnings go to their rows (Result.warnings) and are not raised as well.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", _core.ConfigWarning)
        with ThreadPoolExecutor(threads) as pool:
            futures = {pool.submit(one, item): i for i, item in enumerate(made)}
            for future in as_completed(futures):
                results[futures[future]] = future.result()
                if bar is not None:
                    bar.update(1)
    if bar is not None:
        bar.close()
    return results


def _row_part(pd, row, lead, result):
    """A row's lines: its leading columns repeated on each run and group of its result."""
    ok = isinstance(result, _core.Result)
    lead["ok"] = int(ok)
    lead["message"] = "" if ok else _message(result)
    columns = _run_columns(result) if ok else {c: [None] for c in RUN_COLUMNS}
    length = len(columns["run"])
    part = {k: _constant(v, length) if isinstance(v, (tuple, list)) else [v] * length for k, v in lead.items()}
    part.update(columns)
    return pd.DataFrame(part)


def sweep(base, grid=None, seeds=None, num_runs=None, threads=1, series=False, stats=True, progress=None):
    """Runs every row of a sweep and gives one pandas DataFrame.

    The rows are the product of `grid` (keyword -> list of values) and of the seed replicates `seeds`
    (keyword -> list or range of seeds, e.g. {"searchseed": range(1, 4)}; several seed keywords are
    taken side by side, all of one length, replicate i having the i-th seed of each), each a copy
    of `base` (a Config or a file path) with the row's values set; replicates vary fastest.
    `threads` is the number of rows run at once, in a thread pool; each row's batch runs in one
    thread. `num_runs`, `series` and `stats` are run()'s.

    One line per row, run and fitness group, with the columns row, each grid keyword, each seed
    keyword, the seeds in effect that are not swept (landscapeseed, changeseed, startseed,
    searchseed), ok (1, or 0 for a row that failed), message (why it failed), warnings (the row's,
    joined by " | "; they are not raised), then run, group, value, base_value, evaluations and
    counted_steps as in Result.frame(). A failed row keeps one line, its run columns empty. With
    series=True the rows' series, with a leading row column, are in frame.attrs["series"].

    A tqdm progress bar is shown when standard error is a terminal and tqdm is installed
    (progress=True insists on one, False never shows one).
    """
    pd = _pandas("sweep()")
    if threads < 1:
        raise ValueError("threads (rows run at once) must be at least 1")
    if not isinstance(base, _core.Config):
        base = _core.Config.from_file(base)
    keys, rows = _rows(grid, seeds)
    for k in keys:
        base[k]  # a word that is no keyword raises its KeyError here, before any row runs
    seed_columns = [s for s in SEED_COLUMNS if s not in keys]
    made = _made(base, rows)
    results = _run_all(made, threads, progress, num_runs=num_runs, series=series, stats=stats)

    parts, series_parts = [], []
    for row, (values, (cfg, _, made_warnings), result) in enumerate(zip(rows, made, results)):
        lead = dict({"row": row}, **{k: values[k] for k in keys})
        for s in seed_columns:
            lead[s] = cfg[s] if cfg is not None else None
        ok = isinstance(result, _core.Result)
        lead["ok"], lead["message"] = None, None  # their place, before the warnings
        lead["warnings"] = " | ".join(made_warnings + (list(result.warnings) if ok else []))
        parts.append(_row_part(pd, row, lead, result))
        if ok and series:
            s = pd.DataFrame(result.series)
            s.insert(0, "row", row)
            series_parts.append(s)
    frame = pd.concat(parts, ignore_index=True)
    for c in WHOLE_COLUMNS + seed_columns:
        frame[c] = frame[c].astype("Int64")
    frame["value"] = frame["value"].astype(float)
    frame["base_value"] = frame["base_value"].astype(float)
    if series:
        frame.attrs["series"] = pd.concat(series_parts, ignore_index=True) if series_parts else pd.DataFrame()
    return frame
