#!/usr/bin/env python3
"""Writes the example NEAT genome population files under examples/genomes/.

Deterministic: the same files, byte for byte, on every run (the .gz copies carry
mtime 0 and no file name). Each network is checked with a small evaluator of its own
so that its outputs really depend on the inputs instead of sitting at 0 or 1.

Usage: scripts/make_genomes.py [output-dir]   (default: examples/genomes beside this script)
"""

import gzip
import itertools
import math
import os
import random
import sys

SIGMOID, SIN, COS, GAUSSIAN, SQUARE, SQUAREROOT, LINEAR, ONESCOMPLEMENT, STEP = range(9)
SENSOR, HIDDEN, OUTPUT = "NetworkSensor", "NetworkNode", "NetworkOutputNode"
THIRD = 0.3333333333333333

# The unsigned activation functions; the sigmoid's lookup table changes values by
# less than 1e-3, far below what the spread check below cares about.
ACTIVATION = {
    SIGMOID: lambda x: 1.0 / (1.0 + math.exp(-x)),
    SIN: lambda x: (math.sin(x) + 1.0) * 0.5,
    COS: lambda x: (math.cos(x) + 1.0) * 0.5,
    GAUSSIAN: lambda x: math.exp(-x * x),
    SQUARE: lambda x: x * x,
    SQUAREROOT: lambda x: math.sqrt(abs(x)),
    LINEAR: lambda x: (max(-3.0, min(3.0, x)) * THIRD + 1.0) * 0.5,
    ONESCOMPLEMENT: lambda x: 1.0 if x * THIRD <= 0 else (0.0 if x * THIRD >= 1 else 1.0 - x * THIRD),
    STEP: lambda x: 1.0 if x >= 1.0 else 0.0,
}

# Hidden-node functions, cycled so that every file uses several of them.
HIDDEN_FUNCTIONS = [SIGMOID, GAUSSIAN, LINEAR, SIN, ONESCOMPLEMENT, SQUAREROOT, COS, STEP, SQUARE]


def make_individual(rng, n_inputs, n_hidden, first_function):
    """Node and link lists of one acyclic network: inputs -> hidden -> outputs, with
    some direct input -> output links and one hidden -> hidden link."""
    nodes = [(0, "Bias", SENSOR, None)]
    nodes += [(1 + i, "INPUT%d" % i, SENSOR, None) for i in range(n_inputs)]
    hidden_ids = [10 + h for h in range(n_hidden)]
    for h, node_id in enumerate(hidden_ids):
        fn = HIDDEN_FUNCTIONS[(first_function + h) % len(HIDDEN_FUNCTIONS)]
        nodes.append((node_id, "H%d" % h, HIDDEN, fn))
    nodes.append((30, "OUTPUT0", OUTPUT, SIGMOID))
    nodes.append((31, "OUTPUT1", OUTPUT, LINEAR))

    links = []

    def link(src, dst, enabled=1):
        links.append((100 + len(links), src, dst, round(rng.uniform(-1.5, 1.5), 3), enabled))

    input_ids = [1 + i for i in range(n_inputs)]
    for h, node_id in enumerate(hidden_ids):
        link(0, node_id)
        # Round robin first, so that every input feeds some hidden node.
        first = input_ids[h % n_inputs]
        link(first, node_id)
        link(rng.choice([i for i in input_ids if i != first]), node_id)
    if n_hidden > 1:
        link(hidden_ids[0], hidden_ids[-1])
    for out in (30, 31):
        link(0, out)
        for node_id in hidden_ids:
            link(node_id, out)
        link(rng.choice(input_ids), out)
    # A disabled gene still takes part in evaluation; keep one per network.
    lid, src, dst, weight, _ = links[-1]
    links[-1] = (lid, src, dst, weight, 0)
    return nodes, links


def evaluate(nodes, links, inputs):
    """Outputs after enough synchronous steps for every input to reach them."""
    values = {node_id: 0.0 for node_id, _, _, _ in nodes}
    values[0] = 1.0
    for i, x in enumerate(inputs):
        values[1 + i] = x
    for _ in range(len(nodes)):
        sums = {node_id: 0.0 for node_id in values}
        for _, src, dst, weight, _ in links:
            sums[dst] += values[src] * weight
        for node_id, _, kind, fn in nodes:
            if kind != SENSOR:
                values[node_id] = ACTIVATION[SIGMOID if fn is None else fn](sums[node_id])
    return values[30], values[31]


def outputs_vary(nodes, links, n_inputs):
    """Both outputs spread over [0, 1] for the +-1 input patterns the simulator feeds,
    and each input moves each output for some pattern of the others."""
    patterns = list(itertools.product((-1.0, 1.0), repeat=n_inputs))
    results = {p: [min(1.0, max(0.0, v)) for v in evaluate(nodes, links, p)] for p in patterns}
    for k in (0, 1):
        values = [r[k] for r in results.values()]
        mean = sum(values) / len(values)
        spread = math.sqrt(sum((v - mean) ** 2 for v in values) / len(values))
        if not 0.1 < mean < 0.9 or spread < 0.08:
            return False
        for i in range(n_inputs):
            flipped = lambda p: p[:i] + (-p[i],) + p[i + 1:]
            if max(abs(results[p][k] - results[flipped(p)][k]) for p in patterns) < 0.02:
                return False
    return True


def make_population(seed, n_inputs, n_hidden, individuals_per_generation):
    rng = random.Random(seed)
    generations = []
    for count in individuals_per_generation:
        individuals = []
        while len(individuals) < count:
            nodes, links = make_individual(rng, n_inputs, n_hidden, len(individuals))
            if outputs_vary(nodes, links, n_inputs):
                individuals.append((nodes, links))
        generations.append(individuals)
    return generations


def to_xml(generations, shuffle_seed):
    # Genes are listed out of ID order on purpose: readers must sort them.
    rng = random.Random(shuffle_seed)
    out = ['<?xml version="1.0" encoding="UTF-8"?>', "<Genetics>"]
    for g, individuals in enumerate(generations):
        out.append('  <Generation GenNumber="%d">' % g)
        for i, (nodes, links) in enumerate(individuals):
            out.append('    <Individual Fitness="%.4f" SpeciesID="%d">' % (1.0 + 0.5 * i, 1 + i % 3))
            out.append("      <Nodes>")
            for node_id, name, kind, fn in rng.sample(nodes, len(nodes)):
                fn_text = "" if fn is None else ' ActivationFunction="%d"' % fn
                out.append('        <Node ID="%d" Enabled="1" Name="%s" Type="%s" DrawingPosition="0.5"%s/>'
                           % (node_id, name, kind, fn_text))
            out.append("      </Nodes>")
            out.append("      <Links>")
            for lid, src, dst, weight, enabled in rng.sample(links, len(links)):
                out.append('        <Link ID="%d" Enabled="%d" fromNode="%d" toNode="%d" weight="%s"/>'
                           % (lid, enabled, src, dst, repr(weight)))
            out.append("      </Links>")
            out.append("    </Individual>")
        out.append("  </Generation>")
    out.append("</Genetics>")
    return "\n".join(out) + "\n"


# (file stem, seed, inputs, hidden nodes, individuals per generation, also gzip)
FILES = [
    ("nn_type0", 1000, 4, 4, [2, 3], True),  # strategy types 0 and 3: INPUT0..INPUT3
    ("nn_type2", 2000, 5, 5, [3], False),  # types 2, 4 and 6: INPUT0..INPUT4
    ("nn_type5", 5000, 6, 6, [2, 2, 4], True),  # type 5: INPUT0..INPUT5
]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "examples", "genomes")
    os.makedirs(out_dir, exist_ok=True)
    for stem, seed, n_inputs, n_hidden, counts, compress in FILES:
        text = to_xml(make_population(seed, n_inputs, n_hidden, counts), seed + 1).encode("ascii")
        with open(os.path.join(out_dir, stem + ".xml"), "wb") as f:
            f.write(text)
        if compress:
            with open(os.path.join(out_dir, stem + ".xml.gz"), "wb") as raw:
                with gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0) as gz:
                    gz.write(text)


if __name__ == "__main__":
    main()
