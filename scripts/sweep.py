#!/usr/bin/env python3
"""Parameter sweeps for nkswarm: expand a sweep description into one directory per row,
run the rows with GNU parallel or a Slurm job array, and collect the reports into one CSV.

    sweep.py expand SWEEP.json DIR [--program PATH]
    sweep.py run DIR [-j N]
    sweep.py slurm DIR [--limit L] [--rows-per-task K] [--time T] [--partition P] ...
    sweep.py collect DIR [-o FILE.csv]

The sweep file format and the CSV columns are described in README.md, section
"Running many simulations". Standard-library Python 3 only.
"""

import argparse
import csv
import hashlib
import itertools
import json
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys

# ---------------------------------------------------------------------------------------
# The main configuration file. The reader asks for each keyword in turn and looks only at
# the next word, so a keyword is substituted where it stands and an added optional keyword
# goes right after the last keyword that precedes it in this order, never at the end.
# ---------------------------------------------------------------------------------------

ORDER = [
    "optionalInfo", "n", "k", "fitnessStretchCoef", "landscapeComponents", "nAgents", "groupSize", "nRuns",
    "maxTotalSteps", "lastStepsUsedForFitness", "maxTotalEvals",
    "subsetOfAgentsFitness", "firstAgentFitness", "lastAgentFitness",
    "nFitnessGroups", "agentFitnessGroup", "agentsFitnessUseMax",
    "initialMemSize", "initialPublicMemSize", "initialGroupsMemSize", "maxMemSize",
    "rememberedSteps", "rememberChecked", "flockingRadius", "flockingIntensity",
    "flockingIntensityEnd", "flockingIntensityDecay", "uniformFlocking", "maxVisitsPerStep",
    "revisitOnFailure", "fitnessQuantizationLevels", "alwaysUpdateSourceMem", "waitingEnabled",
    "alwaysUseUpToDateFitness", "maxDropPerStep", "revisitWhileWaiting", "NNFitnessDiscreteSteps",
    "useAllExploitAttempts", "useAllExploreAttempts", "maxExploitTreeDepth", "limitedEvals",
    "exploit", "explore", "explore2", "recombination",
    # strategy blocks
    "NNStrategy", "NNStrategySpecificAgents", "searchProbs", "searchProbsSpecificAgents",
    "searchProbsSpecificAgents4x6", "placeProbs", "placeProbsSpecificAgents",
    "searchProbs2", "placeProbs2",
    "deterministicActions", "chooseActionEveryStep",
    "landscapeseed", "changeseed", "startseed", "searchseed",
    "varylandscape", "varychange", "varystart", "varysearch",
    "agentParamsBegin",
]
RANK = {key: i for i, key in enumerate(ORDER)}
CANONICAL = {key.lower(): key for key in ORDER}

# Keywords that must stand in every main file (the conditional ones are checked by parsing).
REQUIRED = {
    "n", "k", "nAgents", "nRuns", "maxTotalSteps", "initialMemSize", "rememberChecked",
    "flockingRadius", "flockingIntensity", "exploit", "explore", "landscapeseed", "changeseed",
    "startseed", "searchseed", "varylandscape", "varychange", "varystart", "varysearch",
}

# Number of values of the keywords that take a fixed number; every other sweepable keyword
# takes one value.
NVALUES = {
    "optionalInfo": 0, "agentFitnessGroup": 2, "explore": 4, "explore2": 4,
    "searchProbs": 16, "placeProbs": 4, "searchProbs2": 26, "placeProbs2": 4,
}

# Blocks for lists of agents: kept as the base file has them (vary them with a "base" column).
NOT_SWEEPABLE = {
    "NNStrategySpecificAgents", "searchProbsSpecificAgents", "searchProbsSpecificAgents4x6",
    "placeProbsSpecificAgents", "agentParamsBegin",
}

SEED_KEYWORDS = ["landscapeseed", "changeseed", "startseed", "searchseed"]

# Command-line options, in the only order the program recognises them.
OPTIONS = ["--num-runs", "--extra-cfg", "--compare-strategies", "--print-stats", "--step-evals"]

OMIT = "omit"  # the value that removes an optional keyword or an option

TRUE_WORDS = {"1", "true", "yes", "on"}
FALSE_WORDS = {"0", "false", "no", "off"}


class SweepError(Exception):
    """A mistake in the sweep description or a configuration file the tool cannot edit."""


class Entry:
    """One keyword of a configuration file with its values."""

    def __init__(self, key, word, values, text=None):
        self.key = key          # the keyword as spelled in ORDER
        self.word = word        # the keyword as written in the file
        self.values = values    # its value words (for blocks: everything up to the block's end)
        self.text = text        # the original text, or None once the entry has been rewritten
        self.start = None       # where the original text starts in the file

    def render(self):
        if self.text is not None:
            return self.text
        return " ".join([self.word] + self.values)


_WORD = re.compile(r"\s*(\S+)")


class Reader:
    """Walks a configuration text the way the program reads it: comments only where a
    keyword is expected, keywords compared without regard to case."""

    def __init__(self, text, name):
        self.text = text
        self.name = name
        self.pos = 0

    def _word(self):
        m = _WORD.match(self.text, self.pos)
        if not m:
            return None
        self.pos = m.end()
        return m.start(1), m.group(1)

    def _skip_comments(self):
        while True:
            save = self.pos
            w = self._word()
            if w is None or not w[1].startswith("#"):
                self.pos = save
                return
            nl = self.text.find("\n", self.pos)
            self.pos = len(self.text) if nl < 0 else nl + 1

    def peek(self):
        self._skip_comments()
        save = self.pos
        w = self._word()
        self.pos = save
        return None if w is None else w[1]

    def keyword(self, name):
        """Consumes the next word if it is keyword `name`; returns its start or None."""
        self._skip_comments()
        save = self.pos
        w = self._word()
        if w is not None and w[1].lower() == name.lower():
            return w
        self.pos = save
        return None

    def values(self, count, key):
        out = []
        for _ in range(count):
            w = self._word()
            if w is None:
                raise SweepError("%s: end of file among the values of %s" % (self.name, key))
            out.append(w[1])
        return out

    def count(self, key):
        (n,) = self.values(1, key)
        if not re.fullmatch(r"[+-]?\d+", n):
            raise SweepError("%s: %s: agent count expected, found %r" % (self.name, key, n))
        return int(n)


class Config:
    """A main configuration file as a list of entries and the text between them (white
    space and comments), so that untouched parts are written back exactly as they were."""

    def __init__(self, text, name):
        self.name = name
        self.entries = []   # Entry objects, in file order
        self.gaps = []      # gaps[i]: text before entries[i]
        self.tail = ""      # text after the last entry
        self._parse(text)

    # -- parsing ---------------------------------------------------------------------------

    def _parse(self, text):
        r = Reader(text, self.name)
        last_end = [0]

        def begin(key, w):
            """Starts an entry at keyword word w = (start, word)."""
            self.gaps.append(text[last_end[0]:w[0]])
            e = Entry(key, w[1], [], None)
            e.start = w[0]
            self.entries.append(e)
            return e

        def finish(e, values):
            e.values = values
            e.text = text[e.start:r.pos]
            last_end[0] = r.pos

        def take(key, required=False):
            w = r.keyword(key)
            if w is None:
                if required:
                    found = r.peek()
                    raise SweepError("%s: keyword %s expected, found %s" % (
                        self.name, key, repr(found) if found else "end of file"))
                return None
            e = begin(key, w)
            finish(e, r.values(NVALUES.get(key, 1), key))
            return e

        def take_list_block(key, table):
            w = r.keyword(key)
            if w is None:
                return None
            e = begin(key, w)
            values = r.values(table, key)
            n = r.count(key)
            values += [str(n)] + r.values(n, key)
            finish(e, values)
            return e

        def nn_values(key):
            values = r.values(2, key)  # population file, individual
            t = r.keyword("type")
            if t is not None:
                values += [t[1]] + r.values(1, key)
            return values

        def take_nn(key, with_agents):
            w = r.keyword(key)
            if w is None:
                return None
            e = begin(key, w)
            values = nn_values(key)
            if with_agents:
                n = r.count(key)
                values += [str(n)] + r.values(n, key)
            finish(e, values)
            return e

        def take_agent_params():
            w = r.keyword("agentParamsBegin")
            if w is None:
                return None
            e = begin("agentParamsBegin", w)
            n = r.count("agentParamsBegin")
            values = [str(n)] + r.values(n, "agentParamsBegin")
            while True:
                if r.keyword("agentParamsEnd") is not None:
                    values.append("agentParamsEnd")
                    break
                inner = None
                for sub in ("useAllExploitAttempts", "maxExploitTreeDepth"):
                    if r.keyword(sub) is not None:
                        inner = sub
                        break
                if inner is None:
                    found = r.peek()
                    raise SweepError("%s: agent parameter block: %s where useAllExploitAttempts, "
                                     "maxExploitTreeDepth or agentParamsEnd was expected" %
                                     (self.name, repr(found) if found else "end of file"))
                values += [inner] + r.values(1, inner)
            finish(e, values)
            return e

        take("optionalInfo")
        take("n", True)
        take("k", True)
        take("fitnessStretchCoef")
        take("landscapeComponents")
        take("nAgents", True)
        take("groupSize")
        take("nRuns", True)
        take("maxTotalSteps", True)
        take("lastStepsUsedForFitness")
        take("maxTotalEvals")
        groups = False
        subset = take("subsetOfAgentsFitness")
        if subset is not None:
            groups = True
            if subset.values[0] == "1":
                take("firstAgentFitness", True)
                take("lastAgentFitness", True)
        else:
            ng = take("nFitnessGroups")
            if ng is not None:
                groups = True
                if not re.fullmatch(r"[+-]?\d+", ng.values[0]):
                    raise SweepError("%s: nFitnessGroups: a number expected, found %r" %
                                     (self.name, ng.values[0]))
                for _ in range(max(0, int(ng.values[0]))):
                    take("agentFitnessGroup", True)
        if groups:
            take("agentsFitnessUseMax")
        take("initialMemSize", True)
        for key in ("initialPublicMemSize", "initialGroupsMemSize", "maxMemSize", "rememberedSteps"):
            take(key)
        take("rememberChecked", True)
        take("flockingRadius", True)
        take("flockingIntensity", True)
        for key in ORDER[RANK["flockingIntensityEnd"]:RANK["exploit"]]:
            take(key)
        take("exploit", True)
        take("explore", True)
        take("explore2")
        take("recombination")
        network = take_nn("NNStrategy", False) is not None
        while take_nn("NNStrategySpecificAgents", True) is not None:
            network = True
        if not network:
            take("searchProbs")
            while take_list_block("searchProbsSpecificAgents", 16) is not None:
                pass
            while take_list_block("searchProbsSpecificAgents4x6", 24) is not None:
                pass
            take("placeProbs")
            while take_list_block("placeProbsSpecificAgents", 4) is not None:
                pass
            if take("searchProbs2") is not None:
                take("placeProbs2", True)
        take("deterministicActions")
        take("chooseActionEveryStep")
        for key in SEED_KEYWORDS + ["varylandscape", "varychange", "varystart", "varysearch"]:
            take(key, True)
        while take_agent_params() is not None:
            pass
        rest = r.peek()
        if rest is not None:
            key = CANONICAL.get(rest.lower())
            why = " (out of order, or not read in this configuration)" if key else ""
            raise SweepError("%s: unexpected %r after the last keyword the program reads%s" %
                             (self.name, rest, why))
        self.tail = text[last_end[0]:]

    # -- editing ---------------------------------------------------------------------------

    def render(self):
        out = []
        for gap, e in zip(self.gaps, self.entries):
            out.append(gap)
            out.append(e.render())
        out.append(self.tail)
        return "".join(out)

    def find(self, key):
        return [e for e in self.entries if e.key == key]

    def value(self, key):
        """The values of a keyword as one string (all its entries for a repeated one)."""
        found = self.find(key)
        return " ".join(v for e in found for v in e.values) if found else None

    def _gap_after(self, i):
        return self.gaps[i + 1] if i + 1 < len(self.entries) else self.tail

    def _set_gap_after(self, i, text):
        if i + 1 < len(self.entries):
            self.gaps[i + 1] = text
        else:
            self.tail = text

    def set(self, key, values):
        """Replaces the values of a keyword that stands once in the file."""
        for e in self.find(key):
            e.values = list(values)
            e.text = None

    def remove(self, key):
        while True:
            idx = [i for i, e in enumerate(self.entries) if e.key == key]
            if not idx:
                return
            i = idx[0]
            before, after = self.gaps[i], self._gap_after(i)
            line_start = (re.search(r"\n[ \t]*\Z", before) is not None or
                          (i == 0 and before.strip(" \t") == ""))
            last = i == len(self.entries) - 1
            m = re.match(r"[ \t]*(\n|\Z)" if last else r"[ \t]*\n", after)
            if m and line_start:
                after = after[m.end():]  # the entry had its own line: drop the line
            elif m:
                before = before.rstrip(" \t")  # it ended a line: no trailing blanks
            self._set_gap_after(i, before + after)
            del self.entries[i]
            del self.gaps[i]

    def insert(self, key, values):
        """Adds a keyword after the last entry that the reader asks for before it (or at the
        same place in the order, so that repeated keywords keep the order they are added in)."""
        e = Entry(key, key, list(values), None)
        anchor = -1
        for i, other in enumerate(self.entries):
            if RANK[other.key] <= RANK[key]:
                anchor = i
        if anchor < 0:
            # Before the first keyword, after any leading comment lines.
            first_gap = self.gaps[0] if self.entries else self.tail
            self.entries.insert(0, e)
            self.gaps.insert(0, first_gap)
            if len(self.entries) > 1:
                self.gaps[1] = "\n"
            else:
                self.tail = "\n"
            return
        after = self._gap_after(anchor)
        last = anchor == len(self.entries) - 1
        m = re.match(r"[ \t]*(#[^\n]*)?(\n|\Z)" if last else r"[ \t]*(#[^\n]*)?(\n)", after)
        if m and m.group(2) == "\n":
            # The rest of the anchor's line is blank or a comment: the new keyword gets the
            # next line of its own.
            head, rest = after[:m.end()], "\n" + after[m.end():]
        elif m:  # end of file
            head, rest = after + "\n", "\n"
        else:    # another keyword follows on the same line
            head, rest = " ", after
        self.entries.insert(anchor + 1, e)
        self.gaps.insert(anchor + 1, head)
        self._set_gap_after(anchor + 1, rest)

    def network_files(self):
        """(entry, index of the file name among its values) for every network block."""
        return [(e, 0) for e in self.entries if e.key in ("NNStrategy", "NNStrategySpecificAgents")]


def aux_network_files(text):
    """Spans of the population file names in an extra or compared-strategy file: the word
    after each NNStrategy or NNStrategySpecificAgents keyword (comments skipped)."""
    spans = []
    words = [(m.start(), m.end(), m.group()) for m in re.finditer(r"\S+", text)]
    i = 0
    while i < len(words):
        s, e, w = words[i]
        if w.startswith("#"):
            nl = text.find("\n", e)
            end = len(text) if nl < 0 else nl
            while i < len(words) and words[i][0] < end:
                i += 1
            continue
        if w.lower() in ("nnstrategy", "nnstrategyspecificagents") and i + 1 < len(words):
            spans.append((words[i + 1][0], words[i + 1][1]))
            i += 2
            continue
        i += 1
    return spans


# ---------------------------------------------------------------------------------------
# Sweep description
# ---------------------------------------------------------------------------------------

def canonical_column(name):
    if name == "base" or name in OPTIONS:
        return name
    if name.startswith("-"):
        raise SweepError("unknown option column %r (known: %s)" % (name, ", ".join(OPTIONS)))
    key = CANONICAL.get(name.lower())
    if key is None:
        raise SweepError("unknown column %r: not a configuration keyword, option or \"base\"" % name)
    if key in NOT_SWEEPABLE:
        raise SweepError("column %s: blocks for lists of agents cannot be swept; put them in base "
                         "files and vary the \"base\" column" % key)
    return key


def cell_text(value, column):
    """A sweep value as the words written to the configuration; None when unset."""
    if value is None:
        return None
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, list):
        words = []
        for v in value:
            if isinstance(v, (list, dict)) or v is None:
                raise SweepError("column %s: nested value %r" % (column, value))
            words.append(cell_text(v, column))
        return " ".join(words)
    if isinstance(value, dict):
        raise SweepError("column %s: a value cannot be an object: %r" % (column, value))
    text = " ".join(str(value).split())
    return text if text != "" else None


def expand_range(value, column):
    """A list of values, or "FIRST..LAST" for the integers FIRST to LAST."""
    if isinstance(value, str):
        m = re.fullmatch(r"\s*([+-]?\d+)\s*\.\.\s*([+-]?\d+)\s*", value)
        if m:
            first, last = int(m.group(1)), int(m.group(2))
            step = 1 if last >= first else -1
            return [str(v) for v in range(first, last + step, step)]
    if isinstance(value, list):
        out = []
        for v in value:
            out.extend(expand_range(v, column) if isinstance(v, str) and ".." in v else [v])
        return out
    return [value]


def read_table(path):
    """Rows from a CSV or tab-separated file with a header row; empty cells are unset."""
    with open(path, newline="") as f:
        text = f.read()
    lines = [l for l in text.splitlines() if l.strip() and not l.lstrip().startswith("#")]
    if not lines:
        return []
    delimiter = "\t" if "\t" in lines[0] else ","
    reader = csv.reader(lines, delimiter=delimiter)
    header = [h.strip() for h in next(reader)]
    rows = []
    for n, cells in enumerate(reader, 2):
        if len(cells) > len(header):
            raise SweepError("%s: line %d has more cells than the header" % (path, n))
        rows.append({h: (c.strip() or None) for h, c in zip(header, cells)})
    return rows


class Sweep:
    """The rows of a sweep: every combination of (rows) x (grid) x (seed replicates)."""

    def __init__(self, path):
        self.path = os.path.abspath(path)
        self.dir = os.path.dirname(self.path)
        with open(self.path) as f:
            try:
                # Numbers stay text, so that a value reaches the configuration as written.
                d = json.load(f, parse_float=str, parse_int=str)
            except ValueError as err:
                raise SweepError("%s: %s" % (path, err))
        if not isinstance(d, dict):
            raise SweepError("%s: a JSON object expected" % path)
        unknown = set(d) - {"base", "workdir", "set", "rows", "grid", "seeds", "comment"}
        if unknown:
            raise SweepError("%s: unknown field(s) %s" % (path, ", ".join(sorted(unknown))))
        if "base" not in d:
            raise SweepError("%s: \"base\" (the base configuration file) is missing" % path)
        self.base = self.resolve(d["base"])
        self.workdir = self.resolve(d["workdir"]) if d.get("workdir") else None

        self.columns = []
        owner = {}

        def claim(name, section):
            col = canonical_column(name)
            if col in owner and owner[col] != section:
                raise SweepError("column %s appears both in %s and in %s" % (col, owner[col], section))
            if col not in owner:
                owner[col] = section
                self.columns.append(col)
            return col

        fixed = {}
        for name, value in (d.get("set") or {}).items():
            fixed[claim(name, "set")] = cell_text(value, name)

        rows = d.get("rows")
        if rows is None:
            rows = [{}]
        elif isinstance(rows, str):
            rows = read_table(self.resolve(rows))
        if not isinstance(rows, list) or not all(isinstance(r, dict) for r in rows):
            raise SweepError("%s: \"rows\" must be a list of objects or the name of a table file" % path)
        explicit = [{claim(k, "rows"): cell_text(v, k) for k, v in r.items()} for r in rows]

        grid = d.get("grid") or {}
        grid_axes = []
        for name, values in grid.items():
            col = claim(name, "grid")
            grid_axes.append((col, [cell_text(v, name) for v in expand_range(values, name)]))

        seeds = d.get("seeds") or {}
        seed_axes = []
        for name, values in seeds.items():
            col = claim(name, "seeds")
            seed_axes.append((col, [cell_text(v, name) for v in expand_range(values, name)]))
        lengths = {len(v) for _, v in seed_axes}
        if len(lengths) > 1:
            raise SweepError("%s: the seed ranges differ in length (%s); they are taken side by side"
                             % (path, ", ".join(str(n) for n in sorted(lengths))))
        replicates = lengths.pop() if lengths else 1

        self.rows = []
        for r in explicit:
            for combo in itertools.product(*[v for _, v in grid_axes]):
                for s in range(replicates):
                    row = dict(fixed)
                    row.update(r)
                    row.update({c: v for (c, _), v in zip(grid_axes, combo)})
                    row.update({c: v[s] for c, v in seed_axes})
                    self.rows.append(row)

    def resolve(self, p):
        return p if os.path.isabs(p) else os.path.normpath(os.path.join(self.dir, p))


# ---------------------------------------------------------------------------------------
# expand
# ---------------------------------------------------------------------------------------

RESULT_FILES = ["status", "stdout", "stderr", "version"]

JOB_SH = r"""#!/bin/sh
# Runs one row of this sweep: job.sh ROWDIR (relative to this directory). Written by
# scripts/sweep.py. The program's output goes to ROWDIR/stdout and ROWDIR/stderr, its
# version to ROWDIR/version and its exit status to ROWDIR/status, last: a row with a
# status file is done and is skipped. The exit status of this script is 0 once the row's
# results are recorded, whatever the program's own status.
cd "$(dirname "$0")" || exit 2
cd "$1" || exit 2
[ -f status ] && exit 0
# A job left over from a stopped run may still be on this row: wait for it, then skip.
# Without flock (or on a file system without locks) both run, with equal results.
if command -v flock > /dev/null 2>&1; then
  exec 9> .lock
  flock 9 2> /dev/null
  [ -f status ] && exit 0
fi
t=tmp.$$
%(program)s --version > version.$t 2> /dev/null || : > version.$t
sh ./cmd > stdout.$t 2> stderr.$t
st=$?
# Stopped from outside (hang-up, interrupt, termination: an operator, scancel, a time
# limit): no result, so that the row runs again. Crashes and the OOM killer's SIGKILL are
# results.
case $st in 129|130|143) rm -f version.$t stdout.$t stderr.$t; exit "$st" ;; esac
mv -f version.$t version && mv -f stdout.$t stdout && mv -f stderr.$t stderr &&
  echo "$st" > status.$t && mv -f status.$t status
"""


def find_program(given):
    if given:
        path = shutil.which(given) if os.sep not in given else given
        if not path or not os.path.isfile(path):
            raise SweepError("program %s not found" % given)
        return os.path.abspath(path)
    here = os.path.dirname(os.path.abspath(__file__))
    for p in (shutil.which("nkswarm"), os.path.join(here, "..", "build", "nkswarm")):
        if p and os.path.isfile(p) and os.access(p, os.X_OK):
            return os.path.abspath(p)
    raise SweepError("nkswarm not found on PATH or in build/; give --program PATH")


class Files:
    """Copies of the files the configurations refer to, in DIR/files, one per source."""

    def __init__(self, out):
        self.dir = os.path.join(out, "files")
        self.by_source = {}
        self.names = set()
        self.digests = {}
        self.data = {}
        self.used = {}  # name: digest of the files the current row refers to

    def add(self, source, what):
        source = os.path.abspath(source)
        if source in self.by_source:
            name = self.by_source[source]
            self.used[name] = self.digests[name]
            return name
        if not os.path.isfile(source):
            raise SweepError("%s: file %s not found" % (what, source))
        name = os.path.basename(source)
        n = 2
        while name in self.names:
            name = "%d-%s" % (n, os.path.basename(source))
            n += 1
        self.names.add(name)
        self.by_source[source] = name
        with open(source, "rb") as f:
            self.data[name] = f.read()
        self.digests[name] = self.used[name] = hashlib.sha256(self.data[name]).hexdigest()
        return name

    def write(self):
        """Writes the copies and removes those no row refers to any more."""
        if self.data:
            os.makedirs(self.dir, exist_ok=True)
        for name, data in self.data.items():
            write_if_changed(os.path.join(self.dir, name), data)
        for name in os.listdir(self.dir) if os.path.isdir(self.dir) else []:
            if name not in self.data:
                os.remove(os.path.join(self.dir, name))


def write_if_changed(path, data):
    if isinstance(data, str):
        data = data.encode()
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return False
    except FileNotFoundError:
        pass
    with open(path, "wb") as f:
        f.write(data)
    return True


# A row directory sees the shared copies at this path.
FILES_FROM_ROW = "../../files/"


def network_path(word, cfg_dir, workdir, files, what):
    src = word if os.path.isabs(word) else os.path.join(workdir or cfg_dir, word)
    return FILES_FROM_ROW + files.add(src, what)


def rewrite_aux(path, files, workdir):
    try:
        with open(path) as f:
            text = f.read()
    except OSError as err:
        raise SweepError("%s: %s" % (path, err.strerror))
    out, last = [], 0
    for s, e in aux_network_files(text):
        out.append(text[last:s])
        out.append(network_path(text[s:e], os.path.dirname(path), workdir, files, path))
        last = e
    out.append(text[last:])
    return "".join(out)


def build_row(sweep, settings, files, base_cache):
    """The files of one row: {name: text}, the command line and the row's seeds."""
    base = sweep.resolve(settings["base"]) if settings.get("base") else sweep.base
    if base not in base_cache:
        try:
            with open(base) as f:
                base_cache[base] = f.read()
        except OSError as err:
            raise SweepError("base configuration: %s" % err)
    cfg = Config(base_cache[base], base)
    base_dir = os.path.dirname(base)

    for e, i in cfg.network_files():
        e.values[i] = network_path(e.values[i], base_dir, sweep.workdir, files, base)
        e.text = None

    keys = sorted((k for k in settings if k in RANK), key=lambda k: RANK[k])
    groups_set = "agentFitnessGroup" in settings and settings["agentFitnessGroup"] not in (None, OMIT)
    for key in keys:
        value = settings[key]
        if value is None:
            continue
        if value == OMIT:
            if key in REQUIRED:
                raise SweepError("%s is required and cannot be omitted" % key)
            cfg.remove(key)
            continue
        words = value.split()
        if key == "optionalInfo":
            flag = words[0].lower() if len(words) == 1 else ""
            if flag not in TRUE_WORDS | FALSE_WORDS:
                raise SweepError("optionalInfo takes no value: use 1 to add it, 0 or omit to remove it")
            cfg.remove(key)
            if flag in TRUE_WORDS:
                cfg.insert(key, [])
            continue
        if key == "agentFitnessGroup":
            if len(words) % 2 or not words:
                raise SweepError("agentFitnessGroup: pairs of first and last agent expected, got %r" % value)
            cfg.remove(key)
            for i in range(0, len(words), 2):
                cfg.insert(key, words[i:i + 2])
            continue
        if key == "NNStrategy":
            if len(words) not in (2, 4) or (len(words) == 4 and words[2].lower() != "type"):
                raise SweepError("NNStrategy: FILE INDEX [type T] expected, got %r" % value)
            words[0] = network_path(words[0], sweep.dir, None, files, "NNStrategy column")
        else:
            n = NVALUES.get(key, 1)
            if len(words) != n:
                raise SweepError("%s takes %d value%s, got %r" % (key, n, "" if n == 1 else "s", value))
        if cfg.find(key):
            cfg.set(key, words)
        else:
            cfg.insert(key, words)
    if groups_set and settings.get("nFitnessGroups") is None:
        count = str(len(settings["agentFitnessGroup"].split()) // 2)
        if cfg.find("nFitnessGroups"):
            cfg.set("nFitnessGroups", [count])
        else:
            cfg.insert("nFitnessGroups", [count])

    text = cfg.render()
    try:
        check = Config(text, "the configuration")
    except SweepError as err:
        raise SweepError("%s (after the substitutions of this row)" % err)
    for key in keys:
        v = settings[key]
        if v in (None, OMIT) or key in ("optionalInfo", "NNStrategy"):
            continue
        got = check.value(key)
        if got != " ".join(v.split()):
            raise SweepError("%s %s is not read by the program where it stands in this "
                             "configuration (check the keywords it depends on)" % (key, v))

    files_out = {"sim.cfg": text}
    argv = ["sim.cfg"]
    opt = {k: settings[k] for k in OPTIONS if settings.get(k) not in (None, OMIT)}
    if "--num-runs" in opt:
        argv += ["--num-runs", opt["--num-runs"]]
    if "--extra-cfg" in opt:
        files_out["extra.cfg"] = rewrite_aux(sweep.resolve(opt["--extra-cfg"]), files, sweep.workdir)
        argv += ["--extra-cfg", "extra.cfg"]
    if "--compare-strategies" in opt:
        words = opt["--compare-strategies"].split()
        if len(words) != 5:
            raise SweepError("--compare-strategies takes NAME0 CFG1 NAME1 CFG2 NAME2 (CFG2 may be 0)")
        files_out["compared1.cfg"] = rewrite_aux(sweep.resolve(words[1]), files, sweep.workdir)
        words[1] = "compared1.cfg"
        if words[3] != "0":
            files_out["compared2.cfg"] = rewrite_aux(sweep.resolve(words[3]), files, sweep.workdir)
            words[3] = "compared2.cfg"
        argv += ["--compare-strategies"] + words
    print_stats = False
    if "--print-stats" in opt:
        flag = opt["--print-stats"].lower()
        if flag not in TRUE_WORDS | FALSE_WORDS:
            raise SweepError("--print-stats: 1 or 0 expected, got %r" % opt["--print-stats"])
        print_stats = flag in TRUE_WORDS
        if print_stats:
            argv.append("--print-stats")
    for k in ("--num-runs", "--step-evals"):
        if k in opt and len(opt[k].split()) != 1:
            raise SweepError("%s takes one value, got %r" % (k, opt[k]))
    if "--step-evals" in opt:
        argv += ["--step-evals", opt["--step-evals"]]
    seeds = {k: check.value(k) for k in SEED_KEYWORDS}
    return files_out, argv, print_stats, seeds


def cmd_expand(args):
    sweep = Sweep(args.sweep)
    program = find_program(args.program)
    out = os.path.abspath(args.dir)
    index_path = os.path.join(out, "index.json")
    if os.path.isdir(out) and os.listdir(out) and not os.path.isfile(index_path):
        raise SweepError("%s exists and is not a sweep directory" % out)
    files = Files(out)
    base_cache = {}
    n = len(sweep.rows)
    width = max(4, len(str(n - 1)))
    names = []
    built = []
    for i, settings in enumerate(sweep.rows):
        files.used = {}
        try:
            built.append(build_row(sweep, settings, files, base_cache) + (files.used,))
        except SweepError as err:
            raise SweepError("row %d: %s" % (i, err))
        names.append("rows/%0*d" % (width, i))

    # Every row is built before anything is written, so that a mistake leaves no half sweep.
    os.makedirs(os.path.join(out, "rows"), exist_ok=True)
    files.write()
    changed = 0
    for i, (settings, (files_out, argv, print_stats, seeds, inputs)) in enumerate(zip(sweep.rows, built)):
        rowdir = os.path.join(out, names[i])
        # The digests of the copied files make a row with a changed genome file a new row.
        params = {"row": i, "params": {c: settings.get(c) for c in sweep.columns},
                  "seeds": seeds, "print_stats": print_stats, "inputs": inputs}
        files_out = dict(files_out)
        files_out["cmd"] = " ".join(shlex.quote(w) for w in [program] + argv) + "\n"
        files_out["params.json"] = json.dumps(params) + "\n"
        os.makedirs(rowdir, exist_ok=True)
        old = set(os.listdir(rowdir))
        stale = False
        for name, text in files_out.items():
            stale |= write_if_changed(os.path.join(rowdir, name), text)
        for name in ("extra.cfg", "compared1.cfg", "compared2.cfg"):
            if name in old and name not in files_out:
                os.remove(os.path.join(rowdir, name))
                stale = True
        if stale:
            changed += 1
            for name in RESULT_FILES:
                p = os.path.join(rowdir, name)
                if os.path.exists(p):
                    os.remove(p)
    keep = {os.path.basename(p) for p in names}
    for name in os.listdir(os.path.join(out, "rows")):
        if name not in keep and re.fullmatch(r"\d+", name):
            shutil.rmtree(os.path.join(out, "rows", name))
            changed += 1

    write_if_changed(os.path.join(out, "rows.txt"), "".join(p + "\n" for p in names))
    job = os.path.join(out, "job.sh")
    write_if_changed(job, JOB_SH % {"program": shlex.quote(program)})
    os.chmod(job, 0o755)
    with open(sweep.path, "rb") as f:
        write_if_changed(os.path.join(out, "sweep.json"), f.read())
    index = {"rows": n, "columns": sweep.columns, "program": program, "dirs": names}
    write_if_changed(index_path, json.dumps(index, indent=1) + "\n")
    if changed:
        # The job log numbers jobs by line of rows.txt; with rows redone it would skip them.
        for name in ("joblog",):
            p = os.path.join(out, name)
            if os.path.exists(p):
                os.remove(p)
    done = sum(os.path.exists(os.path.join(out, p, "status")) for p in names)
    print("%s: %d rows, %d to run" % (out, n, n - done))


# ---------------------------------------------------------------------------------------
# run, slurm
# ---------------------------------------------------------------------------------------

def load_index(d):
    path = os.path.join(d, "index.json")
    try:
        with open(path) as f:
            return json.load(f)
    except FileNotFoundError:
        raise SweepError("%s is not an expanded sweep (run \"sweep.py expand\" first)" % d)


def cmd_run(args):
    d = os.path.abspath(args.dir)
    load_index(d)
    parallel = shutil.which("parallel")
    if not parallel:
        raise SweepError("GNU parallel is not installed (Debian package \"parallel\")")
    try:
        version = subprocess.run([parallel, "--version"], stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL).stdout
    except OSError:
        version = b""
    if b"GNU parallel" not in version:
        raise SweepError("%s is not GNU parallel (moreutils has another program of that name)" % parallel)
    cmd = [parallel, "--will-cite", "--joblog", "joblog", "--resume-failed",
           "--arg-file", "rows.txt"]
    if args.jobs:
        cmd += ["--jobs", args.jobs]
    cmd += ["./job.sh", "{}"]
    os.chdir(d)
    sys.stdout.flush()
    # parallel takes this process's place, so that stopping it stops the sweep.
    os.execv(parallel, cmd)


def ranges(ids):
    """[0, 1, 2, 5, 7, 8] -> "0-2,5,7-8"."""
    out = []
    for _, grp in itertools.groupby(enumerate(ids), lambda p: p[1] - p[0]):
        g = [v for _, v in grp]
        out.append(str(g[0]) if len(g) == 1 else "%d-%d" % (g[0], g[-1]))
    return ",".join(out)


SLURM_SH = """#!/bin/bash
%(sbatch)s
# Written by scripts/sweep.py. Array task T runs rows T*%(per)d to T*%(per)d+%(last)d of rows.txt;
# rows that already have results are skipped, so the script can be submitted again.
set -u
cd %(dir)s || exit 1
per_task=%(per)d
first=$(( SLURM_ARRAY_TASK_ID * per_task + 1 ))
sed -n "${first},$(( first + per_task - 1 ))p" rows.txt | while read -r row; do
  ./job.sh "$row" || exit 1
done
"""


def cmd_slurm(args):
    d = os.path.abspath(args.dir)
    index = load_index(d)
    per = args.rows_per_task
    if per < 1 or args.limit < 1:
        raise SweepError("--rows-per-task and --limit must be at least 1")
    tasks = (index["rows"] + per - 1) // per
    pending = []
    for t in range(tasks):
        rows = index["dirs"][t * per:(t + 1) * per]
        if args.all or any(not os.path.exists(os.path.join(d, r, "status")) for r in rows):
            pending.append(t)
    if not pending:
        print("%s: every row has results; nothing to submit" % d)
        return
    if pending[-1] >= 1000:
        print("warning: array task ids up to %d; Slurm's default MaxArraySize is 1001, so use "
              "--rows-per-task if sbatch refuses the array" % pending[-1], file=sys.stderr)
    logs = os.path.join(d, "slurm")
    os.makedirs(logs, exist_ok=True)
    lines = ["#SBATCH --job-name=%s" % args.job_name,
             "#SBATCH --array=%s%%%d" % (ranges(pending), args.limit),
             "#SBATCH --chdir=%s" % d,
             "#SBATCH --output=%s/%%A_%%a.out" % logs,
             "#SBATCH --ntasks=1",
             "#SBATCH --cpus-per-task=1"]
    if args.time:
        lines.append("#SBATCH --time=%s" % args.time)
    if args.partition:
        lines.append("#SBATCH --partition=%s" % args.partition)
    if args.mem:
        lines.append("#SBATCH --mem=%s" % args.mem)
    for extra in args.sbatch or []:
        lines.append("#SBATCH %s" % extra)
    script = os.path.abspath(args.output or os.path.join(d, "slurm.sh"))
    with open(script, "w") as f:
        f.write(SLURM_SH % {"sbatch": "\n".join(lines), "per": per, "last": per - 1,
                            "dir": shlex.quote(d)})
    os.chmod(script, 0o755)
    print("%s: %d array task%s of %d row%s; submit with: sbatch %s" % (
        script, len(pending), "" if len(pending) == 1 else "s", per,
        "" if per == 1 else "s", shlex.quote(script)))


# ---------------------------------------------------------------------------------------
# collect
# ---------------------------------------------------------------------------------------

def read_text(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return None


def parse_report(stdout, print_stats):
    """The report's lines of numbers (averages[, deviations, per run...]), or None."""
    lines = stdout.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    table = [l.split() for l in lines]
    if not table or len({len(t) for t in table}) != 1:
        return None
    for t in table:
        for w in t:
            try:
                float(w)
            except ValueError:
                return None
    if (print_stats and len(table) < 3) or (not print_stats and len(table) != 1):
        return None
    return table


def first_line(text):
    for l in (text or "").split("\n"):
        if l.strip():
            return l.strip()
    return ""


def failure_message(status, stdout, stderr):
    lines = [l.strip() for l in (stderr or "").split("\n") if l.strip()]
    if lines:
        msg = lines[0]
        # Errors start with a line naming the source location only; the cause follows.
        if msg.startswith("ERROR at") and msg.endswith(":"):
            cause = lines[1] if len(lines) > 1 else first_line(stdout)
            if cause:
                msg += " " + cause
        return msg
    if status > 128:
        try:
            name = signal.Signals(status - 128).name
        except ValueError:
            name = "signal %d" % (status - 128)
        return "killed by %s" % name
    out = first_line(stdout)
    return out if out else "exit status %d without a message" % status


def cmd_collect(args):
    d = os.path.abspath(args.dir)
    index = load_index(d)
    records = []
    ngroups = 0
    counts = {"ok": 0, "failed": 0, "not run": 0}
    for rowdir in index["dirs"]:
        try:
            with open(os.path.join(d, rowdir, "params.json")) as f:
                info = json.load(f)
        except FileNotFoundError:
            raise SweepError("%s/%s is incomplete: expand the sweep again" % (d, rowdir))
        status_text = read_text(os.path.join(d, rowdir, "status"))
        rec = {"info": info, "status": "", "version": "", "message": "", "table": None}
        if status_text is None:
            rec["message"] = "not run"
            counts["not run"] += 1
        else:
            status = int(status_text.strip() or "-1")
            stdout = read_text(os.path.join(d, rowdir, "stdout")) or ""
            stderr = read_text(os.path.join(d, rowdir, "stderr")) or ""
            version = first_line(read_text(os.path.join(d, rowdir, "version")))
            rec["version"] = version[len("nkswarm "):] if version.startswith("nkswarm ") else version
            rec["status"] = str(status)
            table = parse_report(stdout, info["print_stats"]) if status == 0 else None
            if table is None:
                if status == 0:
                    msg = "no report: " + (first_line(stdout) or "empty output")
                    if first_line(stderr):
                        msg += " (" + first_line(stderr) + ")"
                else:
                    msg = failure_message(status, stdout, stderr)
                rec["message"] = msg
                counts["failed"] += 1
            else:
                rec["table"] = table
                ngroups = max(ngroups, len(table[0]))
                counts["ok"] += 1
        records.append(rec)

    columns = list(index["columns"])
    seed_cols = [s for s in SEED_KEYWORDS if s not in columns]
    header = (["row"] + columns + seed_cols + ["version", "status", "ok", "message", "run"] +
              ["mean_g%d" % g for g in range(ngroups)] + ["sd_g%d" % g for g in range(ngroups)] +
              ["value_g%d" % g for g in range(ngroups)])

    def pad(values):
        values = list(values or [])
        return values + [""] * (ngroups - len(values))

    out = open(args.output, "w", newline="") if args.output else sys.stdout
    try:
        w = csv.writer(out, lineterminator="\n")
        w.writerow(header)
        for rec in records:
            info = rec["info"]
            params = info["params"]
            lead = ([info["row"]] + [params.get(c) if params.get(c) is not None else "" for c in columns] +
                    [info["seeds"].get(s) or "" for s in seed_cols] + [rec["version"], rec["status"]])
            table = rec["table"]
            if table is None:
                w.writerow(lead + ["0", rec["message"], ""] + pad(None) * 3)
            elif not info["print_stats"]:
                w.writerow(lead + ["1", "", ""] + pad(table[0]) + pad(None) * 2)
            else:
                for r, values in enumerate(table[2:]):
                    w.writerow(lead + ["1", "", r] + pad(table[0]) + pad(table[1]) + pad(values))
    finally:
        if out is not sys.stdout:
            out.close()
    print("%d rows: %d ok, %d failed, %d not run" % (
        len(records), counts["ok"], counts["failed"], counts["not run"]), file=sys.stderr)


# ---------------------------------------------------------------------------------------

def main(argv=None):
    p = argparse.ArgumentParser(prog="sweep.py", description=__doc__.split("\n\n")[0])
    sub = p.add_subparsers(dest="command")
    sub.required = True

    e = sub.add_parser("expand", help="write one directory per row of a sweep")
    e.add_argument("sweep", help="the sweep description (JSON)")
    e.add_argument("dir", help="the sweep directory to write")
    e.add_argument("--program", help="the nkswarm program (default: nkswarm on PATH, or build/nkswarm)")
    e.set_defaults(func=cmd_expand)

    r = sub.add_parser("run", help="run the rows with GNU parallel (resumes an interrupted sweep)")
    r.add_argument("dir")
    r.add_argument("-j", "--jobs", help="rows run at once (GNU parallel's --jobs; default: one per CPU)")
    r.set_defaults(func=cmd_run)

    s = sub.add_parser("slurm", help="write a Slurm job-array script for the rows without results")
    s.add_argument("dir")
    s.add_argument("--limit", type=int, default=32, help="array tasks running at once (default 32)")
    s.add_argument("--rows-per-task", type=int, default=1, help="rows run one after another by a task")
    s.add_argument("--time", help="time limit of a task (sbatch --time)")
    s.add_argument("--partition", help="sbatch --partition")
    s.add_argument("--mem", help="memory of a task (sbatch --mem)")
    s.add_argument("--job-name", default="nkswarm-sweep")
    s.add_argument("--sbatch", action="append", metavar="OPTION",
                   help="another #SBATCH line, e.g. --sbatch=--account=proj (repeatable)")
    s.add_argument("--all", action="store_true", help="include rows that have results (they are skipped)")
    s.add_argument("-o", "--output", help="the script to write (default DIR/slurm.sh)")
    s.set_defaults(func=cmd_slurm)

    c = sub.add_parser("collect", help="write the results as one CSV, one line per run")
    c.add_argument("dir")
    c.add_argument("-o", "--output", help="the CSV file (default: standard output)")
    c.set_defaults(func=cmd_collect)

    args = p.parse_args(argv)
    try:
        args.func(args)
    except SweepError as err:
        print("sweep.py: %s" % err, file=sys.stderr)
        return 2
    except OSError as err:
        print("sweep.py: %s%s" % (err.strerror or err, ": " + err.filename if err.filename else ""),
              file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
