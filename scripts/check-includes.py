#!/usr/bin/env python3
"""check-includes.py: the include graph of src/ keeps the layer order and has no cycles.

    scripts/check-includes.py [--dot]

Each folder of src/ is a layer. A file may include headers of its own folder and of the
layers below it (the ranks below); a header of a layer at the same rank or above is an error,
as is any cycle between files, where a header and its source count as one file ("agent.h"
and "agent.cpp" are "agent"). The build enforces most of the order already, since a layer's
library sees only the include folders of the layers it links; this check also catches what
the build cannot: cycles inside a layer and includes between layers of equal rank. Exit
status 0 when the graph is clean, 1 otherwise (one line per problem); --dot prints the graph.
"""

import os
import re
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
SRC = os.path.join(ROOT, "src")

# Lower ranks first; folders of one rank must not include each other.
RANKS = {"base": 0, "params": 1, "config": 2, "model": 2, "strategy": 2, "sim": 3, "results": 4, "analysis": 4,
         "visual": 5, "python": 5, "app": 6, "tools": 6}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources():
    """{unit: (layer, [paths])} for every source and header under src/."""
    units = {}
    for layer in sorted(os.listdir(SRC)):
        folder = os.path.join(SRC, layer)
        if not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder)):
            stem, ext = os.path.splitext(name)
            if ext in (".h", ".cpp"):
                units.setdefault(stem, (layer, []))[1].append(os.path.join(folder, name))
    return units


def graph(units):
    """{unit: {included unit, ...}} for includes of our own headers (others are libraries)."""
    edges = {}
    for unit, (_, paths) in units.items():
        targets = set()
        for path in paths:
            with open(path, encoding="utf-8") as f:
                for header in INCLUDE.findall(f.read()):
                    stem = os.path.splitext(os.path.basename(header))[0]
                    if stem in units and stem != unit:
                        targets.add(stem)
        edges[unit] = targets
    return edges


def layer_problems(units, edges):
    out = []
    for unit, targets in sorted(edges.items()):
        layer = units[unit][0]
        for t in sorted(targets):
            other = units[t][0]
            if other == layer:
                continue
            if layer not in RANKS or other not in RANKS:
                out.append("%s (%s) includes %s (%s): a folder without a rank in check-includes.py" %
                           (unit, layer, t, other))
            elif RANKS[other] >= RANKS[layer]:
                out.append("%s (%s) includes %s (%s): against the layer order" % (unit, layer, t, other))
    return out


def cycles(edges):
    """Each cycle once, as a list of units, found by depth-first search."""
    found, state, stack = [], {}, []

    def visit(u):
        state[u] = 1
        stack.append(u)
        for v in sorted(edges[u]):
            if state.get(v) == 1:
                cycle = stack[stack.index(v):]
                found.append(cycle)
            elif v not in state:
                visit(v)
        stack.pop()
        state[u] = 2

    for u in sorted(edges):
        if u not in state:
            visit(u)
    return found


def main():
    units = sources()
    edges = graph(units)
    if "--dot" in sys.argv[1:]:
        print("digraph includes {")
        for u, targets in sorted(edges.items()):
            for t in sorted(targets):
                print('  "%s" -> "%s";' % (u, t))
        print("}")
        return 0
    problems = layer_problems(units, edges)
    problems += ["include cycle: " + " -> ".join(c + [c[0]]) for c in cycles(edges)]
    for p in problems:
        print(p)
    if not problems:
        print("check-includes: %d files, no cycle, layer order kept" % len(units))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
