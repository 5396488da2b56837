#!/usr/bin/env python3
"""Builds the fuzzers' seed corpora under tests/system/fuzz_corpus/ from the example and test
configurations and genome files. Run from anywhere; rerun after adding examples.

Configuration seeds pack the files of one command line (main, extra, compared
strategies) separated by NUL bytes, as the configuration harness expects; genome names in
them are rewritten to the populations the harness keeps in its working directory.
Genome seeds start with the storage byte: 0 plain, 1 gzip-compressed by the harness,
2 raw bytes under a ".gz" name."""
import gzip
import hashlib
import os
import re
import shutil

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "system", "fuzz_corpus")


def read(path):
    with open(os.path.join(ROOT, path), "rb") as f:
        return f.read()


def save(kind, name, data):
    os.makedirs(os.path.join(OUT, kind), exist_ok=True)
    with open(os.path.join(OUT, kind, name), "wb") as f:
        f.write(data)


def rename_genomes(text, plain_name):
    # "NNStrategy FILE INDEX": point FILE at a population the harness provides.
    def repl(m):
        name = m.group(2).decode()
        if name.endswith(".gz"):
            new = "nn0.xml.gz"
        elif "nofile" in name or "missing" in name or name in ("cyclic.xml", "nn0.xml"):
            new = name
        else:
            new = plain_name
        return m.group(1) + new.encode()
    return re.sub(rb"(NNStrategy(?:SpecificAgents)?\s+)(\S+)", repl, text)


def config_seeds():
    seeds = {}
    for name in sorted(os.listdir(os.path.join(ROOT, "examples"))):
        if name.endswith(".cfg") and not name.startswith("compare_"):
            seeds["ex_" + name[:-4]] = [read("examples/" + name)]
    seeds["ex_compare"] = [read("examples/" + f) for f in
                           ("compare_main.cfg", "compare_extra.cfg", "compare_explore.cfg", "compare_exploit.cfg")]
    for name in ("minimal.cfg", "full.cfg"):
        seeds["cfg_" + name[:-4]] = [read("tests/data/" + name)]
    for name in ("small.cfg", "extra.cfg", "compared.cfg"):
        seeds["runs_" + name[:-4]] = [read("tests/data/" + name)]
    seeds["runs_with_extra"] = [read("tests/data/small.cfg"), read("tests/data/extra.cfg"),
                                read("tests/data/compared.cfg")]
    golden = os.path.join(ROOT, "tests", "system", "golden")
    for case in sorted(os.listdir(golden)):
        d = os.path.join(golden, case)
        if not os.path.exists(os.path.join(d, "m.cfg")):
            continue
        files = [read(f"tests/system/golden/{case}/m.cfg")]
        for extra in ("x.cfg", "c1.cfg", "c2.cfg"):
            if os.path.exists(os.path.join(d, extra)):
                files.append(read(f"tests/system/golden/{case}/{extra}"))
        seeds["golden_" + case] = files
    # Networks the reader must refuse: a cycle, a missing file, an individual out of range.
    base = read("tests/system/golden/t49_pap_ok_type0/m.cfg")
    seeds["nn_cyclic"] = [base.replace(b"NNStrategy pop.xml 1", b"NNStrategy cyclic.xml 0")]
    seeds["nn_index_out_of_range"] = [base.replace(b"NNStrategy pop.xml 1", b"NNStrategy nn0.xml 99")]
    for key, files in seeds.items():
        plain = "nn2.xml" if ("groups" in key or "t41" in key) else "nn5.xml" if "t45" in key else "nn0.xml"
        data = b"\0".join(rename_genomes(f, plain) for f in files)
        save("config", key, data)


def genome_seeds():
    sources = ["examples/genomes/nn_type0.xml", "examples/genomes/nn_type2.xml", "examples/genomes/nn_type5.xml",
               "tests/data/cyclic_pop.xml", "tests/data/tiny_pop.xml"]
    golden = os.path.join(ROOT, "tests", "system", "golden")
    for case in sorted(os.listdir(golden)):
        if os.path.exists(os.path.join(golden, case, "pop.xml")):
            sources.append(f"tests/system/golden/{case}/pop.xml")
    seen = set()
    for src in sources:
        data = read(src)
        digest = hashlib.sha1(data).hexdigest()
        if digest in seen:
            continue
        seen.add(digest)
        stem = src.replace("/", "_").replace(".xml", "")
        save("genome", stem + "_plain", b"\0" + data)
        save("genome", stem + "_gzip", b"\1" + data)
    save("genome", "raw_gz_nn_type0", b"\2" + read("examples/genomes/nn_type0.xml.gz"))
    save("genome", "raw_gz_truncated", b"\2" + read("examples/genomes/nn_type0.xml.gz")[:200])
    save("genome", "raw_gz_plain_text", b"\2" + read("tests/data/tiny_pop.xml"))
    save("genome", "gzip_of_garbage", b"\1" + gzip.decompress(gzip.compress(b"\x00\xff<<>>")))


if __name__ == "__main__":
    for kind in ("config", "genome"):
        shutil.rmtree(os.path.join(OUT, kind), ignore_errors=True)
    config_seeds()
    genome_seeds()
    for kind in ("config", "genome"):
        files = os.listdir(os.path.join(OUT, kind))
        print(f"{kind}: {len(files)} seeds")
