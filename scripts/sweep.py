#!/usr/bin/env python3
"""Parameter sweeps for nkswarm: expand a sweep description into one directory per row,
run the rows with GNU parallel or a Slurm job array, and collect the reports into one CSV.

    sweep.py expand SWEEP.json DIR [--program PATH]
    sweep.py run DIR [-j N]
    sweep.py slurm DIR [--limit L] [--rows-per-task K] [--time T] [--partition P] ...
    sweep.py collect DIR [-o FILE.csv] [--series FILE.csv]

The sweep file format and the CSV columns are described in docs/sweeps.md.
Standard-library Python 3 only.
"""

import argparse
import csv
import difflib
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
# goes right after the last keyword that precedes it in the program's order, never at the end.
# The order, and what each keyword takes, come from the program itself: `nkswarm --keywords`
# (its format is described in docs/keywords.md).
# ---------------------------------------------------------------------------------------

class Keyword:
    """One line of `nkswarm --keywords`."""

    def __init__(self, line):
        self.name, self.presence, condition, self.kind, values, _default, _meaning = line.split("\t")
        self.condition = "" if condition == "-" else condition
        self.values = [] if values == "-" else values.split(" ")

    def count(self):
        """The number of values of a keyword that takes a fixed number of them."""
        return sum(value_count(v) for v in self.values)


def value_count(item):
    """How many values one item of the values column stands for ("weight:real[0..]*16": 16)."""
    m = re.search(r"\*(\d+)$", item)
    return int(m.group(1)) if m else 1


class Keywords:
    """The keyword table of the program's main configuration file, in reading order."""

    def __init__(self, text):
        self.entries = [Keyword(l) for l in text.splitlines() if l and not l.startswith("#")]
        if not self.entries:
            raise SweepError("the program printed no keyword table")
        self.order = [k.name for k in self.entries]
        self.rank = {k.name: i for i, k in enumerate(self.entries)}
        self.canonical = {k.name.lower(): k.name for k in self.entries}
        self.by_name = {k.name: k for k in self.entries}
        # Keywords that must stand in every main file (the conditional ones are checked by parsing).
        self.required = {k.name for k in self.entries if k.presence == "required" and not k.condition}
        # Blocks for lists of agents: kept as the base file has them (vary them with a "base" column).
        self.not_sweepable = {k.name for k in self.entries if k.kind in ("network-list", "table-list", "agent-params")}

    def nvalues(self, key):
        return self.by_name[key].count()


KW = None  # the program's keyword table, read once per run of this tool


def use_program(program):
    """Reads the keyword table of `program` (unless one is read already)."""
    global KW
    if KW is not None:
        return KW
    try:
        out = subprocess.run([program, "--keywords"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             stdin=subprocess.DEVNULL, universal_newlines=True)
    except OSError as err:
        raise SweepError("%s: %s" % (program, err.strerror))
    if out.returncode != 0:
        raise SweepError("%s --keywords failed: %s" % (program, out.stderr.strip() or out.returncode))
    KW = Keywords(out.stdout)
    return KW


def condition_holds(condition, read):
    """A condition column of `nkswarm --keywords` (its notation is in docs/keywords.md), with
    `read` the first value of every keyword read so far."""
    if not condition:
        return True
    any_of = "|" in condition
    results = []
    for term in condition.split("|" if any_of else "&"):
        negated = term.startswith("!")
        name, eq, value = (term[1:] if negated else term).partition("=")
        holds = name in read and (not eq or read[name] == value)
        results.append(holds != negated)
    return any(results) if any_of else all(results)


# The seeds every CSV line records (the keywords whose value is a seed).
SEED_COLUMNS = ["landscapeseed", "changeseed", "startseed", "searchseed"]

# Command-line options, in the only order the program recognises them; --threads (threads per row)
# and --series (true/false: the row writes its per-step series to series.csv) may stand anywhere
# and come last.
OPTIONS = ["--num-runs", "--extra-cfg", "--compare-strategies", "--print-stats", "--step-evals", "--threads",
           "--series"]
SERIES_FILE = "series.csv"

OMIT = "omit"  # the value that removes an optional keyword or an option

# The program uses only the low 16 bits of a seed (but for runs seeded one by one): a sweep seed
# outside this range would run as another seed while the CSV shows the value written.
SEED_RANGE = (0, 65535)

TRUE_WORDS = {"1", "true", "yes", "on"}
FALSE_WORDS = {"0", "false", "no", "off"}


class SweepError(Exception):
    """A mistake in the sweep description or a configuration file the tool cannot edit."""


class Entry:
    """One keyword of a configuration file with its values."""

    def __init__(self, key, word, values, text=None):
        self.key = key          # the keyword as spelled in the program's table
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
        self._text = text
        self._r = Reader(text, self.name)
        self._last_end = 0
        read = {}  # keyword: its first value, for the conditions of later keywords
        for k in KW.entries:
            if not condition_holds(k.condition, read):
                continue
            for _ in range(self._repetitions(k, read)):
                e = self._take_entry(k)
                if e is not None and k.name not in read:
                    read[k.name] = e.values[0] if e.values else ""
        self._reject_rest()
        self.tail = text[self._last_end:]

    def _repetitions(self, k, read):
        """The one repeated keyword comes once per fitness group."""
        if k.presence != "repeated":
            return 1
        count = read.get(k.condition, "")
        if not re.fullmatch(r"[+-]?\d+", count):
            raise SweepError("%s: %s: a number expected, found %r" % (self.name, k.condition, count))
        return max(0, int(count))

    def _take_entry(self, k):
        """Reads keyword k (every consecutive block of a block keyword); the first entry or None."""
        take = {"network": self._take_network, "network-list": self._take_network,
                "table-list": self._take_list_block, "agent-params": self._take_agent_params}.get(k.kind)
        if take is None:
            return self._take(k.name, k.presence in ("required", "repeated"))
        first = take(k)
        while k.presence == "block" and take(k) is not None:
            pass
        return first

    def _begin(self, key, w):
        """Starts an entry at keyword word w = (start, word)."""
        self.gaps.append(self._text[self._last_end:w[0]])
        e = Entry(key, w[1], [], None)
        e.start = w[0]
        self.entries.append(e)
        return e

    def _finish(self, e, values):
        e.values = values
        e.text = self._text[e.start:self._r.pos]
        self._last_end = self._r.pos
        return e

    def _take(self, key, required=False):
        w = self._r.keyword(key)
        if w is None:
            if required:
                found = self._r.peek()
                raise SweepError("%s: keyword %s expected, found %s" % (
                    self.name, key, repr(found) if found else "end of file"))
            return None
        return self._finish(self._begin(key, w), self._r.values(KW.nvalues(key), key))

    def _agent_list(self, key):
        n = self._r.count(key)
        return [str(n)] + self._r.values(n, key)

    def _take_list_block(self, k):
        w = self._r.keyword(k.name)
        if w is None:
            return None
        e = self._begin(k.name, w)
        table = self._r.values(value_count(k.values[0]), k.name)
        return self._finish(e, table + self._agent_list(k.name))

    def _take_network(self, k):
        w = self._r.keyword(k.name)
        if w is None:
            return None
        e = self._begin(k.name, w)
        values = self._r.values(2, k.name)  # population file, individual
        t = self._r.keyword("type")
        if t is not None:
            values += [t[1]] + self._r.values(1, k.name)
        if k.kind == "network-list":
            values += self._agent_list(k.name)
        return self._finish(e, values)

    def _take_agent_params(self, k):
        w = self._r.keyword(k.name)
        if w is None:
            return None
        e = self._begin(k.name, w)
        values = self._agent_list(k.name)
        while self._r.keyword("agentParamsEnd") is None:
            inner = next((sub for sub in ("useAllExploitAttempts", "maxExploitTreeDepth")
                          if self._r.keyword(sub) is not None), None)
            if inner is None:
                found = self._r.peek()
                raise SweepError("%s: agent parameter block: %s where useAllExploitAttempts, "
                                 "maxExploitTreeDepth or agentParamsEnd was expected" %
                                 (self.name, repr(found) if found else "end of file"))
            values += [inner] + self._r.values(1, inner)
        return self._finish(e, values + ["agentParamsEnd"])

    def _reject_rest(self):
        rest = self._r.peek()
        if rest is not None:
            key = KW.canonical.get(rest.lower())
            why = " (out of order, or not read in this configuration)" if key else ""
            raise SweepError("%s: unexpected %r after the last keyword the program reads%s" %
                             (self.name, rest, why))

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
            if KW.rank[other.key] <= KW.rank[key]:
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

def did_you_mean(word, known):
    """ "; did you mean X?" for the closest of the known words (case ignored, as keywords are), or ""."""
    by_lower = {k.lower(): k for k in known}
    near = difflib.get_close_matches(word.lower(), list(by_lower), n=1)
    return "; did you mean %s?" % by_lower[near[0]] if near else ""


def canonical_column(name):
    if name == "base" or name in OPTIONS:
        return name
    if name.startswith("-"):
        raise SweepError("unknown option column %r (known: %s)%s" % (name, ", ".join(OPTIONS),
                                                                     did_you_mean(name, OPTIONS)))
    key = KW.canonical.get(name.lower())
    if key is None:
        raise SweepError("unknown column %r: not a configuration keyword, option or \"base\"%s" % (
            name, did_you_mean(name, KW.order + OPTIONS + ["base"])))
    if key in KW.not_sweepable:
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
        d = self._load(path)
        self.base = self.resolve(d["base"])
        self.workdir = self.resolve(d["workdir"]) if d.get("workdir") else None
        self.columns = []
        self._owner = {}
        fixed = {self._claim(name, "set"): cell_text(value, name) for name, value in (d.get("set") or {}).items()}
        explicit = self._explicit_rows(d.get("rows"), path)
        grid_axes = self._axes(d.get("grid") or {}, "grid")
        seed_axes = self._axes(d.get("seeds") or {}, "seeds")
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

    @staticmethod
    def _load(path):
        with open(path) as f:
            try:
                # Numbers stay text, so that a value reaches the configuration as written.
                d = json.load(f, parse_float=str, parse_int=str)
            except ValueError as err:
                raise SweepError("%s: %s" % (path, err))
        if not isinstance(d, dict):
            raise SweepError("%s: a JSON object expected" % path)
        fields = ["base", "workdir", "set", "rows", "grid", "seeds", "comment"]
        unknown = sorted(set(d) - set(fields))
        if unknown:
            raise SweepError("%s: unknown field %r%s" % (path, unknown[0], did_you_mean(unknown[0], fields)))
        if "base" not in d:
            raise SweepError("%s: \"base\" (the base configuration file) is missing" % path)
        return d

    def _claim(self, name, section):
        """The column of a name; a column belongs to one section of the sweep file."""
        col = canonical_column(name)
        if col in self._owner and self._owner[col] != section:
            raise SweepError("column %s appears both in %s and in %s" % (col, self._owner[col], section))
        if col not in self._owner:
            self._owner[col] = section
            self.columns.append(col)
        return col

    def _explicit_rows(self, rows, path):
        if rows is None:
            rows = [{}]
        elif isinstance(rows, str):
            rows = read_table(self.resolve(rows))
        if not isinstance(rows, list) or not all(isinstance(r, dict) for r in rows):
            raise SweepError("%s: \"rows\" must be a list of objects or the name of a table file" % path)
        return [{self._claim(k, "rows"): cell_text(v, k) for k, v in r.items()} for r in rows]

    def _axes(self, values_by_name, section):
        return [(self._claim(name, section), [cell_text(v, name) for v in expand_range(values, name)])
                for name, values in values_by_name.items()]

    def resolve(self, p):
        return p if os.path.isabs(p) else os.path.normpath(os.path.join(self.dir, p))


# ---------------------------------------------------------------------------------------
# expand
# ---------------------------------------------------------------------------------------

RESULT_FILES = ["status", "stdout", "stderr", "version", SERIES_FILE]

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
    cfg = base_config(sweep, settings, files, base_cache)
    keys = sorted((k for k in settings if k in KW.rank), key=lambda k: KW.rank[k])
    for key in keys:
        if settings[key] is not None:
            set_keyword(cfg, key, settings[key], sweep, files)
    groups = settings.get("agentFitnessGroup")
    if groups not in (None, OMIT) and settings.get("nFitnessGroups") is None:
        set_keyword(cfg, "nFitnessGroups", str(len(groups.split()) // 2), sweep, files)
    text = cfg.render()
    check = read_back(text, settings, keys)
    check_seeds(settings, check)
    files_out = {"sim.cfg": text}
    argv, print_stats = command_line(settings, sweep, files, files_out)
    return files_out, argv, print_stats, {k: check.value(k) for k in SEED_COLUMNS}


def base_config(sweep, settings, files, base_cache):
    """The row's base configuration, its genome files replaced by the sweep's copies."""
    base = sweep.resolve(settings["base"]) if settings.get("base") else sweep.base
    if base not in base_cache:
        try:
            with open(base) as f:
                base_cache[base] = f.read()
        except OSError as err:
            raise SweepError("base configuration: %s" % err)
    cfg = Config(base_cache[base], base)
    for e, i in cfg.network_files():
        e.values[i] = network_path(e.values[i], os.path.dirname(base), sweep.workdir, files, base)
        e.text = None
    return cfg


def set_keyword(cfg, key, value, sweep, files):
    """Writes one sweep value into the configuration: replaced, added, or removed (OMIT)."""
    if value == OMIT:
        if key in KW.required:
            raise SweepError("%s is required and cannot be omitted" % key)
        cfg.remove(key)
        return
    words = value.split()
    if key == "optionalInfo":
        flag = words[0].lower() if len(words) == 1 else ""
        if flag not in TRUE_WORDS | FALSE_WORDS:
            raise SweepError("optionalInfo takes no value: use 1 to add it, 0 or omit to remove it")
        cfg.remove(key)
        if flag in TRUE_WORDS:
            cfg.insert(key, [])
        return
    if key == "agentFitnessGroup":
        if len(words) % 2 or not words:
            raise SweepError("agentFitnessGroup: pairs of first and last agent expected, got %r" % value)
        cfg.remove(key)
        for i in range(0, len(words), 2):
            cfg.insert(key, words[i:i + 2])
        return
    if key == "NNStrategy":
        if len(words) not in (2, 4) or (len(words) == 4 and words[2].lower() != "type"):
            raise SweepError("NNStrategy: FILE INDEX [type T] expected, got %r" % value)
        words[0] = network_path(words[0], sweep.dir, None, files, "NNStrategy column")
    elif len(words) != KW.nvalues(key):
        n = KW.nvalues(key)
        raise SweepError("%s takes %d value%s, got %r" % (key, n, "" if n == 1 else "s", value))
    if cfg.find(key):
        cfg.set(key, words)
    else:
        cfg.insert(key, words)


def is_one(word):
    try:
        return int(word) == 1
    except (TypeError, ValueError):
        return False


def check_seeds(settings, check):
    """Refuses a whole-number seed of the sweep that the program would use only in part (its low
    16 bits): every seed it draws from, but those that seed runs one by one (runSeeding 1: the
    start and search seeds, and with landscapePerRun 1 the landscape seed), whose 32 bits all
    count. Other words are left to the program, which refuses them."""
    run_seeded = is_one(check.value("runSeeding"))
    all_bits = {"landscapeseed": run_seeded and is_one(check.value("landscapePerRun")),
                "startseed": run_seeded, "searchseed": run_seeded}
    for key, whole in all_bits.items():
        if settings.get(key) in (None, OMIT) or whole:
            continue
        word = settings[key].split()[0]
        if re.fullmatch(r"[+-]?\d+", word) and not SEED_RANGE[0] <= int(word) <= SEED_RANGE[1]:
            raise SweepError("%s %s is outside %d to %d: the program would use only its low 16 bits (seed %d)"
                             % (key, word, SEED_RANGE[0], SEED_RANGE[1], int(word) & 0xFFFF))


def read_back(text, settings, keys):
    """Reads the row's configuration as the program will, and checks that each value is read."""
    try:
        check = Config(text, "the configuration")
    except SweepError as err:
        raise SweepError("%s (after the substitutions of this row)" % err)
    for key in keys:
        v = settings[key]
        if v in (None, OMIT) or key in ("optionalInfo", "NNStrategy"):
            continue
        if check.value(key) != " ".join(v.split()):
            raise SweepError("%s %s is not read by the program where it stands in this "
                             "configuration (check the keywords it depends on)" % (key, v))
    return check


def command_line(settings, sweep, files, files_out):
    """The row's arguments in the order the program recognises them, and whether it prints statistics."""
    opt = {k: settings[k] for k in OPTIONS if settings.get(k) not in (None, OMIT)}
    for k in ("--num-runs", "--step-evals"):
        if k in opt:
            check_number_option(k, opt[k])
    argv = ["sim.cfg"]
    if "--num-runs" in opt:
        argv += ["--num-runs", opt["--num-runs"]]
    if "--extra-cfg" in opt:
        files_out["extra.cfg"] = rewrite_aux(sweep.resolve(opt["--extra-cfg"]), files, sweep.workdir)
        argv += ["--extra-cfg", "extra.cfg"]
    if "--compare-strategies" in opt:
        argv += ["--compare-strategies"] + compared_files(opt["--compare-strategies"], sweep, files, files_out)
    print_stats = switch(opt, "--print-stats")
    if print_stats:
        argv.append("--print-stats")
    if "--step-evals" in opt:
        argv += ["--step-evals", opt["--step-evals"]]
    if "--threads" in opt:
        row_threads(opt["--threads"])
        argv += ["--threads", opt["--threads"]]
    if switch(opt, "--series"):
        argv += ["--series", SERIES_FILE]
    return argv, print_stats


# What the program reads for these options, in full; it reads a longer word only up to where this
# ends ("1e2" as 1 run) and ignores the option for a value not above 0.
NUMBER_OPTIONS = {"--num-runs": (r"\+?\d+", "a whole number from 1 to 2147483647", 2147483647),
                  "--step-evals": (r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?", "a finite number above 0", sys.float_info.max)}


def cores():
    """The CPUs this process may run on."""
    return len(os.sched_getaffinity(0)) or 1


def row_threads(value):
    """The threads a row asks for (--threads; 0: one per core) as the number it uses."""
    if not re.fullmatch(r"\d+", str(value)) or int(value) > 1024:
        raise SweepError("--threads takes a whole number from 0 (one per core) to 1024, got %r" % (value,))
    return int(value) or cores()


def check_number_option(name, value):
    pattern, what, largest = NUMBER_OPTIONS[name]
    if not re.fullmatch(pattern, value) or not 0 < float(value) <= largest:
        raise SweepError("%s takes %s, got %r: the program would not run it as written" % (name, what, value))


def switch(opt, name):
    """An option column that is on or off."""
    if name not in opt:
        return False
    flag = opt[name].lower()
    if flag not in TRUE_WORDS | FALSE_WORDS:
        raise SweepError("%s: 1 or 0 expected, got %r" % (name, opt[name]))
    return flag in TRUE_WORDS


def compared_files(value, sweep, files, files_out):
    """NAME0 CFG1 NAME1 CFG2 NAME2 with the files copied into the row."""
    words = value.split()
    if len(words) != 5:
        raise SweepError("--compare-strategies takes NAME0 CFG1 NAME1 CFG2 NAME2 (CFG2 may be 0)")
    files_out["compared1.cfg"] = rewrite_aux(sweep.resolve(words[1]), files, sweep.workdir)
    words[1] = "compared1.cfg"
    if words[3] != "0":
        files_out["compared2.cfg"] = rewrite_aux(sweep.resolve(words[3]), files, sweep.workdir)
        words[3] = "compared2.cfg"
    return words


def cmd_expand(args):
    program = find_program(args.program)
    use_program(program)
    sweep = Sweep(args.sweep)
    out = os.path.abspath(args.dir)
    index_path = os.path.join(out, "index.json")
    if os.path.isdir(out) and os.listdir(out) and not os.path.isfile(index_path):
        raise SweepError("%s exists and is not a sweep directory" % out)
    files = Files(out)
    n = len(sweep.rows)
    width = max(4, len(str(n - 1)))
    names = ["rows/%0*d" % (width, i) for i in range(n)]
    built = build_rows(sweep, files)

    # Every row is built before anything is written, so that a mistake leaves no half sweep.
    os.makedirs(os.path.join(out, "rows"), exist_ok=True)
    files.write()
    changed = 0
    for i, (settings, row) in enumerate(zip(sweep.rows, built)):
        changed += write_row(os.path.join(out, names[i]), i, settings, row, sweep, program)
    changed += remove_stale_rows(out, names)
    threads = max([row_threads(r["--threads"]) for r in sweep.rows if r.get("--threads") not in (None, OMIT)] or [1])
    write_sweep_files(out, sweep, program, names, changed, threads)
    done = sum(os.path.exists(os.path.join(out, p, "status")) for p in names)
    print("%s: %d rows, %d to run" % (out, n, n - done))


def build_rows(sweep, files):
    built, base_cache = [], {}
    for i, settings in enumerate(sweep.rows):
        files.used = {}
        try:
            built.append(build_row(sweep, settings, files, base_cache) + (files.used,))
        except SweepError as err:
            raise SweepError("row %d: %s" % (i, err))
    return built


def write_row(rowdir, i, settings, row, sweep, program):
    """Writes one row's files; 1 when they changed (its results are then dropped), else 0."""
    files_out, argv, print_stats, seeds, inputs = row
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
    if not stale:
        return 0
    for name in RESULT_FILES:
        p = os.path.join(rowdir, name)
        if os.path.exists(p):
            os.remove(p)
    return 1


def remove_stale_rows(out, names):
    keep = {os.path.basename(p) for p in names}
    removed = 0
    for name in os.listdir(os.path.join(out, "rows")):
        if name not in keep and re.fullmatch(r"\d+", name):
            shutil.rmtree(os.path.join(out, "rows", name))
            removed += 1
    return removed


def write_sweep_files(out, sweep, program, names, changed, threads=1):
    write_if_changed(os.path.join(out, "rows.txt"), "".join(p + "\n" for p in names))
    job = os.path.join(out, "job.sh")
    write_if_changed(job, JOB_SH % {"program": shlex.quote(program)})
    os.chmod(job, 0o755)
    with open(sweep.path, "rb") as f:
        write_if_changed(os.path.join(out, "sweep.json"), f.read())
    index = {"rows": len(names), "columns": sweep.columns, "program": program, "dirs": names}
    if threads > 1:
        index["threads"] = threads  # the most threads a row runs in
    write_if_changed(os.path.join(out, "index.json"), json.dumps(index, indent=1) + "\n")
    # The job log numbers jobs by line of rows.txt; with rows redone it would skip them.
    joblog = os.path.join(out, "joblog")
    if changed and os.path.exists(joblog):
        os.remove(joblog)


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
    index = load_index(d)
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
    threads = index.get("threads", 1)
    if args.jobs:
        cmd += ["--jobs", args.jobs]
    elif threads > 1:
        # Rows that run in several threads share the cores: as many rows at once as fit.
        jobs = max(1, cores() // threads)
        print("rows run in up to %d threads: %d rows at once (-j to choose)" % (threads, jobs))
        cmd += ["--jobs", str(jobs)]
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


WARNING = "warning: "


def row_warnings(stderr):
    """The program's warnings (lines "warning: ..." of its standard error), without that word."""
    return [l[len(WARNING):].strip() for l in (stderr or "").split("\n") if l.startswith(WARNING)]


def failure_message(status, stdout, stderr):
    lines = [l.strip() for l in (stderr or "").split("\n") if l.strip()]
    # Errors start with a line naming the source location only; the cause follows. Warnings
    # may stand before it.
    errors = [i for i, l in enumerate(lines) if l.startswith("ERROR at") and l.endswith(":")]
    if errors:
        i = errors[0]
        cause = lines[i + 1] if i + 1 < len(lines) else first_line(stdout)
        return lines[i] + (" " + cause if cause else "")
    if lines:
        return lines[0]
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
    records = [read_row(d, rowdir) for rowdir in index["dirs"]]
    out = open(args.output, "w", newline="") if args.output else sys.stdout
    try:
        write_csv(out, records, list(index["columns"]))
    finally:
        if out is not sys.stdout:
            out.close()
    if args.series:
        with open(args.series, "w", newline="") as f:
            write_series(f, d, index, records)
    print(summary(records), file=sys.stderr)


OUTCOMES = ["ok", "ok with warnings", "failed", "not run"]


def summary(records):
    """ "24 rows: 20 ok, 2 ok with warnings, 2 failed, 0 not run": a row with warnings is not plain ok."""
    def outcome(r):
        return "ok with warnings" if r["outcome"] == "ok" and r["warnings"] else r["outcome"]
    counts = [sum(outcome(r) == what for r in records) for what in OUTCOMES]
    return "%d rows: %s" % (len(records), ", ".join("%d %s" % (n, what) for n, what in zip(counts, OUTCOMES)))


def read_row(d, rowdir):
    """What became of one row: its parameters, status, version, report table or message."""
    try:
        with open(os.path.join(d, rowdir, "params.json")) as f:
            info = json.load(f)
    except FileNotFoundError:
        raise SweepError("%s/%s is incomplete: expand the sweep again" % (d, rowdir))
    rec = {"info": info, "status": "", "version": "", "message": "not run", "warnings": [], "table": None,
           "outcome": "not run"}
    status_text = read_text(os.path.join(d, rowdir, "status"))
    if status_text is None:
        return rec
    status = int(status_text.strip() or "-1")
    stdout = read_text(os.path.join(d, rowdir, "stdout")) or ""
    stderr = read_text(os.path.join(d, rowdir, "stderr")) or ""
    version = first_line(read_text(os.path.join(d, rowdir, "version")))
    rec["version"] = version[len("nkswarm "):] if version.startswith("nkswarm ") else version
    rec["status"] = str(status)
    rec["warnings"] = row_warnings(stderr)
    rec["table"] = parse_report(stdout, info["print_stats"]) if status == 0 else None
    rec["outcome"] = "failed" if rec["table"] is None else "ok"
    rec["message"] = ""
    if rec["table"] is None and status == 0:
        rec["message"] = "no report: " + (first_line(stdout) or "empty output")
        if first_line(stderr):
            rec["message"] += " (" + first_line(stderr) + ")"
    elif rec["table"] is None:
        rec["message"] = failure_message(status, stdout, stderr)
    return rec


# Between a row's warnings in one cell, so that each CSV line stays one line of text.
WARNINGS_SEPARATOR = " | "


def write_csv(out, records, columns):
    ngroups = max([len(r["table"][0]) for r in records if r["table"]] or [0])
    seed_cols = [s for s in SEED_COLUMNS if s not in columns]
    header = (["row"] + columns + seed_cols + ["version", "status", "ok", "message", "warnings", "run"] +
              ["mean_g%d" % g for g in range(ngroups)] + ["sd_g%d" % g for g in range(ngroups)] +
              ["value_g%d" % g for g in range(ngroups)])

    def pad(values):
        values = list(values or [])
        return values + [""] * (ngroups - len(values))

    w = csv.writer(out, lineterminator="\n")
    w.writerow(header)
    for rec in records:
        info = rec["info"]
        params = info["params"]
        lead = ([info["row"]] + [params.get(c) if params.get(c) is not None else "" for c in columns] +
                [info["seeds"].get(s) or "" for s in seed_cols] + [rec["version"], rec["status"]])
        warnings = WARNINGS_SEPARATOR.join(rec["warnings"])
        table = rec["table"]
        if table is None:
            w.writerow(lead + ["0", rec["message"], warnings, ""] + pad(None) * 3)
        elif not info["print_stats"]:
            w.writerow(lead + ["1", "", warnings, ""] + pad(table[0]) + pad(None) * 2)
        else:
            for r, values in enumerate(table[2:]):
                w.writerow(lead + ["1", "", warnings, r] + pad(table[0]) + pad(table[1]) + pad(values))


def write_series(out, d, index, records):
    """The series of every successful row in one CSV: the row and its sweep columns, then the
    row's series.csv columns."""
    columns = list(index["columns"])
    w = csv.writer(out, lineterminator="\n")
    header = None
    for rowdir, rec in zip(index["dirs"], records):
        if rec["outcome"] != "ok":
            continue
        try:
            with open(os.path.join(d, rowdir, SERIES_FILE), newline="") as f:
                rows = list(csv.reader(f))
        except FileNotFoundError:
            continue  # the row was run without --series
        if not rows:
            continue
        if header is None:
            header = rows[0]
            w.writerow(["row"] + columns + header)
        params = rec["info"]["params"]
        lead = [rec["info"]["row"]] + [params.get(c) if params.get(c) is not None else "" for c in columns]
        for r in rows[1:]:
            w.writerow(lead + r)


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
    r.add_argument("-j", "--jobs", help="rows run at once (GNU parallel's --jobs; default: one per CPU, or the CPUs "
                                        "divided by the most threads a row asks for with --threads)")
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
    c.add_argument("--series", metavar="FILE", help="also the rows' series (sweep column --series) in one CSV")
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
