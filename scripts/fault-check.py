#!/usr/bin/env python3
"""Plants known faults one at a time in a scratch copy of the working tree and reports which
ones the test suite catches.

    scripts/fault-check.py [--area AREA ...] [--name NAME ...] [--list] [--work DIR] [-j N]

Each fault is a small text replacement in one file. The script copies the working tree
(tracked and untracked files that git does not ignore) into WORK/src, builds it in WORK/build
(without visual mode: the views' geometry builds without Qt), checks that the suite passes
there as it is, then for each fault: applies it, rebuilds incrementally, runs ctest until the
first failing test (with --full: the whole suite, to see every test that catches it), and
restores the file. A fault is "caught" when a test fails, "missed" when the whole suite
passes, and an error when its text is not found exactly once or the tree does not build with
it. Each result is also written to WORK/results.tsv. The exit status is 0 only when every
selected fault is caught. The Valgrind check is left out (it looks for memory errors, not
wrong results).

A development tool, not part of CI: a fault takes one to two minutes, one in a header that
every file includes much longer (those come last). The scratch copy and its build are kept
between runs (default /tmp/nkswarm-fault-check), and compilations go through ccache when it
is installed, so that a second run rebuilds little.
"""

import argparse
import collections
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

Fault = collections.namedtuple("Fault", "area name path old new what")


def F(area, name, path, old, new, what):
    return Fault(area, name, path, old, new, what)


# Grouped by file, so that consecutive faults in one file cost one compilation each.
FAULTS = [
    # --- generator ---------------------------------------------------------------------
    F("generator", "nrand-shift", "src/base/rng.h", "(long)(x >> 17)", "(long)(x >> 16)",
      "nrand48 returns 32 bits instead of 31"),
    F("generator", "jump-range", "src/base/inline.h", "(maxJumpDist + 1 - minJumpDist)", "(maxJumpDist - minJumpDist)",
      "jump distance never reaches its maximum"),
    F("generator", "child-count", "src/base/inline.h", "* (D - 1)) + 1;", "* D) + 1;",
      "a child may copy every differing locus"),
    F("generator", "bitsums-halves", "src/base/inline.h", "const unsigned int h = n / 2;",
      "const unsigned int h = (n + 1) / 2;", "the flipped half is the larger one for odd N"),
    # --- landscape and crowding ----------------------------------------------------------
    F("landscape", "component-seed", "src/model/landscape.cpp", "(uint32_t)(fitnessDimBaseSeeds[dim] + index)",
      "(uint32_t)(fitnessDimBaseSeeds[dim] + index + 1)", "seeded components one index off"),
    F("landscape", "independent-order", "src/model/landscape.cpp",
      "((uint64_t)dim << (kBits + 1)) + index + 1;", "((uint64_t)dim << (kBits + 1)) + index;",
      "independent components computed on demand one draw early"),
    F("landscape", "stretch", "src/model/landscape.cpp", "return 0.5 + (mean - 0.5) * params.fitnessStretchCoef;",
      "return 0.5 + (mean - 0.5) * params.fitnessStretchCoef * params.fitnessStretchCoef;",
      "the stretch is applied twice"),
    F("landscape", "taper", "src/model/landscape.cpp", "(double)(params.flockingRadius + 1));",
      "(double)(params.flockingRadius + 2));", "taper divides by R + 2"),
    F("landscape", "per-step-limit", "src/model/landscape.cpp", "if (takenInGroup >= maxPerStep) continue;",
      "if (takenInGroup > maxPerStep) continue;", "one visit per step more than maxVisitsPerStep"),
    F("landscape", "drop-bound-per-visit", "src/model/landscape.cpp",
      "if ((long long)step != lastVisitTime && maxDrop > 0) {", "if (maxDrop > 0) {",
      "the drop limit restarts at every visit instead of every step"),
    F("landscape", "decay-no-cap", "src/model/landscape.cpp", "        if (fitness > 1) fitness = 1;\n", "",
      "decaying crowding lets fitness rise above 1"),
    F("landscape", "cap-goes-on", "src/model/landscape.cpp", "if (capAtOne && fitness > 1) return 1.0;",
      "if (capAtOne && fitness > 1) fitness = 1.0;", "raising crowding goes on scanning after the cap"),
    F("landscape", "taper-order", "src/model/landscape.cpp", "fitness *= (intensity * taperFactor(v.dist));",
      "fitness = fitness * intensity * taperFactor(v.dist);", "constant tapered crowding multiplies in another order"),
    F("landscape", "ball-order", "src/model/landscape.cpp", "x.bin < y.bin : x.timeStamp > y.timeStamp;",
      "x.bin < y.bin : x.timeStamp < y.timeStamp;", "visits found by point look-up come oldest first"),
    F("landscape", "index-kept", "src/model/landscape.cpp", "    visitIndex.clear();\n", "",
      "the visit index survives the end of a run"),
    F("landscape", "cache-kept", "src/model/fitnesscache.cpp", "    unmapArrays();\n    mapArrays();\n}", "}",
      "the fitness arrays survive the end of a run"),
    # --- memory --------------------------------------------------------------------------
    F("memory", "tie-order", "src/model/memory.cpp", "a->fitness > b->fitness : a->seq < b->seq;",
      "a->fitness > b->fitness : a->seq > b->seq;", "equal fitness: the newer entry first"),
    F("memory", "init-rewrite", "src/model/memory.cpp", "if (type == VisitTypeInit) return false;",
      "if (type == VisitTypeInit && false) return false;", "an initial write replaces a held point"),
    F("memory", "evict-equal", "src/model/memory.cpp", "if (last.fitness >= fitness) return false;",
      "if (last.fitness > fitness) return false;", "a full memory takes a point as good as its last"),
    F("memory", "populate-capacity", "src/model/memory.cpp", "i < numPoints && i < maxMemSize;", "i < numPoints;",
      "initial filling draws beyond the capacity"),
    F("memory", "queue-reversed", "src/model/memory.cpp",
      "for (const SimplePointInfo& info : queuedPoints) addPoint(info);",
      "for (auto it = queuedPoints.rbegin(); it != queuedPoints.rend(); ++it) addPoint(*it);",
      "queued writes applied newest first"),
    # --- searches ------------------------------------------------------------------------
    F("search", "exploit-stop-on-tie", "src/sim/search.cpp",
      "        if (!useAll && f > curFitness) break;\n        if (params.rememberChecked) queuePoint(neighbour,",
      "        if (!useAll && f >= curFitness) break;\n        if (params.rememberChecked) queuePoint(neighbour,",
      "the neighbour scan stops at an equal neighbour"),
    F("search", "exploit-last-best", "src/sim/search.cpp",
      "        if (maxDepth <= 1) subject.addSearchPoint(neighbour);\n        if (f > bestFitness) {",
      "        if (maxDepth <= 1) subject.addSearchPoint(neighbour);\n        if (f >= bestFitness) {",
      "the last of equal neighbours wins"),
    F("search", "tree-tie", "src/sim/search.cpp", "    if (r > max) {", "    if (r >= max) {",
      "the tree search prefers the later of equal paths"),
    F("search", "lateral-without-levels", "src/sim/search.cpp", "return levels > 0 && bestFitness >= 0 &&",
      "return bestFitness >= 0 &&", "lateral moves without quantization levels"),
    F("search", "phase-best-lowered", "src/sim/search.cpp",
      "curPoint == phase().bestPoint() && newStart) {", "curPoint == phase().bestPoint()) {",
      "the phase best is lowered also when the step continues"),
    F("search", "wait-revisit", "src/sim/search.cpp",
      "    if (params().revisitWhileWaiting) landscape().queueVisit(phase().lastPoint());\n", "",
      "waiting agents never revisit"),
    F("search", "compared-own-params", "src/sim/search.cpp", "params.getCustomParams(stgId + params.nAgents - 1);",
      "params.getCustomParams(subject.id());", "compared strategies use the agent's own parameters"),
    F("search", "place-level", "src/sim/search.cpp", "const int c = pointFitness >= 0.5 ? CoarseValueHi",
      "const int c = pointFitness > 0.5 ? CoarseValueHi", "fitness 0.5 counts as low in the place table"),
    F("search", "explore-zero-distance", "src/sim/search.cpp", "    if (minJumpDist == 0) minJumpDist = 1;\n", "",
      "explore may jump by distance 0"),
    F("search", "explore-revisit-first", "src/sim/search.cpp",
      "    } else if (quantizedEqual(curFitness, bestFitness)) {\n        lateralMove(bestPoint, bestFitness, curPoint, "
      "curFitness);\n    } else if (params.revisitOnFailure) {\n        landscape.queueVisit(curPoint);\n    }",
      "    } else if (params.revisitOnFailure) {\n        landscape.queueVisit(curPoint);\n    } else if "
      "(quantizedEqual(curFitness, bestFitness)) {\n        lateralMove(bestPoint, bestFitness, curPoint, "
      "curFitness);\n    }", "explore revisits before it tries a lateral move"),
    F("search", "recomb-tie", "src/sim/search.cpp", "Point curPoint = f1 > f2 ? p1 : p2;",
      "Point curPoint = f1 >= f2 ? p1 : p2;", "equal parents: the first is the current point"),
    F("search", "eval-count", "src/sim/search.cpp", "(int)subject.searchPoints().size());",
      "(int)subject.searchPoints().size() + 1);", "one evaluation too many counted per step"),
    # --- decisions ------------------------------------------------------------------------
    F("decision", "search-level", "src/sim/agent.cpp", "const int cPub = pubBest >= 0.5 ? CoarseValueHi",
      "const int cPub = pubBest > 0.5 ? CoarseValueHi", "public best 0.5 counts as low in the search table"),
    F("decision", "best-memory-tie", "src/sim/agent.cpp", "pubBest <= privBest ? MemTypePrivate : MemTypePublic;",
      "pubBest < privBest ? MemTypePrivate : MemTypePublic;", "equal bests: the public memory counts as best"),
    F("decision", "type6-continues", "src/params/strategytypes.cpp", "{true, 2, false, true}, false, true, false},",
      "{true, 2, false, true}, false, false, false},", "type 6 continues phases instead of starting anew"),
    F("decision", "type2-memory-code", "src/strategy/strategy.cpp", "n == 2 ? 2 * choice - 1 : choice - 1;",
      "n == 2 ? 2 * choice - 1 : choice;", "type 2 codes its memories 0, 1, 2"),
    F("decision", "type6-layout", "src/params/strategytypes.cpp", "{true, 2, false, true}",
      "{true, 2, true, false}", "type 6 reads the phase progress instead of the group position"),
    F("decision", "progress-input", "src/strategy/strategy.cpp", "2.0 * inPhaseSteps / (numSteps - 1) - 1;",
      "2.0 * inPhaseSteps / numSteps - 1;", "phase progress never reaches +1"),
    F("decision", "no-clamp", "src/strategy/strategy.cpp", "return clampUnit(net->getValue(outputIndex));",
      "return net->getValue(outputIndex);", "network outputs above 1 are not clamped"),
    F("decision", "roulette-edge", "src/strategy/strategy.cpp", "        if (cumulative > r) return 0;",
      "        if (cumulative >= r) return 0;", "the roulette wheel includes its boundary"),
    F("decision", "near-tie", "src/strategy/strategy.cpp", "if (probs[i] - probs[best] > 1e-5) best = i;",
      "if (probs[i] - probs[best] > 0) best = i;", "deterministic choice without the near-tie margin"),
    # --- driver and report ------------------------------------------------------------------
    F("driver", "reseed-every-run", "src/sim/simulation.cpp", "    else if (curRun == 0)\n        run.seedStreams(",
      "    else if (true)\n        run.seedStreams(", "every run restarts the random streams"),
    F("driver", "window-one-more", "src/sim/scorer.cpp",
      "if (params.maxTotalSteps - params.lastStepsUsedForFitness >= step) return false;",
      "if (params.maxTotalSteps - params.lastStepsUsedForFitness > step) return false;",
      "one step more is counted"),
    F("driver", "divisor-eleven", "src/sim/scorer.cpp", "addToTotal(0, sum / kGroupZeroDivisor);",
      "addToTotal(0, sum / 10);", "group-0 sum divided by 10"),
    F("driver", "budget-strict", "src/sim/simulation.cpp", "countedEvals[0] <= budget) {",
      "countedEvals[0] < budget) {", "agent 0 stops when its count equals the budget"),
    F("driver", "turns-tie", "src/sim/simulation.cpp", "countedEvals[g] < countedEvals[chosen]) chosen = g;",
      "countedEvals[g] <= countedEvals[chosen]) chosen = g;", "equal counts: the higher group goes first"),
    F("driver", "compared-after", "src/sim/simulation.cpp",
      "        for (int s = 1; s <= params.nExtraStrategies; s++) a->step(s);\n        a->step(0);",
      "        a->step(0);\n        for (int s = 1; s <= params.nExtraStrategies; s++) a->step(s);",
      "compared strategies step after the agent's own"),
    F("driver", "stats-idle-groups", "src/sim/scorer.cpp",
      "            if (!sim.groupActed(g)) continue;\n            for (int i = params.firstFitnessAgent[g]; "
      "i <= params.lastFitnessAgent[g]; i++)\n                agents[i]->calcAddToRunFitness",
      "            for (int i = params.firstFitnessAgent[g]; i <= params.lastFitnessAgent[g]; i++)\n"
      "                agents[i]->calcAddToRunFitness", "groups that did not act are scored"),
    F("driver", "max-not-averaged", "src/sim/scorer.cpp", "runValue = m / L;",
      "runValue = m;", "per-run values of the best agent not divided by L"),
    F("driver", "sd-sample", "src/sim/scorer.cpp", "std::sqrt(sq / runCount_)",
      "std::sqrt(sq / (runCount_ - 1))", "deviation over nRuns - 1"),
    F("driver", "run-stream-run-ignored", "src/base/rng.h", "((uint64_t)(uint32_t)seed << 32) | run;",
      "((uint64_t)(uint32_t)seed << 32);", "runSeeding 1: every run gets the same streams"),
    F("driver", "merge-run-sums", "src/sim/scorer.cpp",
      "for (double value : run.additions[g]) totalFitnessForAllRuns[g] += value;",
      "totalFitnessForAllRuns[g] += run.totalFitnessForAllRuns[g];",
      "runs made in threads add their sums to the totals, not each step's value in order"),
    F("driver", "merge-base-sums", "src/results/report.cpp", "for (double v : run.baseAdditions[g]) baseTotal[g] += v;",
      "baseTotal[g] += run.baseTotal[g];", "the base score adds each run's sum, not each step's value in order"),
    F("driver", "scoring-always-mean", "src/sim/scoring.cpp",
      "return fitnessStatsPrinted ? Scoring::Mean : Scoring::SumOverFixedDivisor;", "return Scoring::Mean;",
      "group 0's sum over 11 is named the mean, without a warning"),
    F("driver", "scored-steps-last-run", "src/sim/scorer.cpp",
      "mostCounted = std::max(mostCounted, countedSteps);", "mostCounted = countedSteps;",
      "the scored-steps warning names the last run's count, not the largest"),
    # --- uncrowded outputs -----------------------------------------------------------------
    F("outputs", "series-base-crowded", "src/results/series.cpp",
      "sim.getLandscape().getBaseFitness(point) : 0.0;", "sim.getLandscape().peekFitnessValue(point) : 0.0;",
      "the series' base fitness is the crowded one"),
    F("outputs", "base-score-summed", "src/results/report.cpp", "baseOfRun[g] += sum / size;",
      "baseOfRun[g] += sum;", "the base score sums the group instead of averaging it"),
    F("outputs", "agents-fitness-base", "src/results/agentswriter.cpp",
      "appendFixed(rows, landscape.peekFitnessValue(a.point));", "appendFixed(rows, a.base);",
      "the agents' fitness column repeats the base fitness"),
    # --- reader and messages ----------------------------------------------------------------
    F("reader", "k-equal-n", "src/config/keywordchecks.cpp", "p.k > p.n - 1)", "p.k > p.n)",
      "K = N is accepted"),
    F("reader", "uniform-s1", "src/config/blockreader.cpp", ": 1.0 / (nSearch * nMem);", ": 0.25;",
      "an all-zero table block of type 1 becomes 0.25 each"),
    F("reader", "negative-weight", "src/config/blockreader.cpp", "if (!parseReal(w.text, &v) || v < 0)",
      "if (!parseReal(w.text, &v) || v < -1)", "negative table weights are accepted"),
    F("reader", "memsize-zero", "src/config/keywordchecks.cpp", "if (c.p.maxMemSize == 0) c.p.maxMemSize = INT_MAX;",
      "(void)c;", "maxMemSize 0 stays 0 instead of unbounded"),
    F("reader", "explore-float", "src/config/keywordchecks.cpp", "const float low = static_cast<float>(rangeLow * n);",
      "const double low = rangeLow * n;", "explore range checked in double precision"),
    F("reader", "subset-ring", "src/config/keywordchecks.cpp", "(p.lastFitnessAgent[0] + 1LL) % p.nAgents);",
      "(p.lastFitnessAgent[0] + 1LL));", "the rest group does not wrap round the ring"),
    F("reader", "network-default-type", "src/config/networkreader.cpp", "defaultNetworkType(p_.groupSize >= 2)",
      "defaultNetworkType(p_.groupSize > 2)", "groups of two get network type 0"),
    F("reader", "flag-message", "src/config/valuereader.cpp", "printf(\"%s=%s incorrect\\n\"",
      "printf(\"%s = %s incorrect\\n\"", "the flag error line changes"),
    F("reader", "expected-message", "src/config/readprogress.cpp", "std::string(\"keyword \") + expected + \" expected",
      "std::string(\"keyword \") + expected + \" wanted", "the missing-keyword message changes"),
    F("reader", "case-sensitive", "src/config/configfile.cpp", "strcasecmp(w.text.c_str(), keyword) != 0",
      "strcmp(w.text.c_str(), keyword) != 0", "keywords must match in case"),
    F("reader", "byte-order-mark-kept", "src/config/configfile.cpp",
      "if (text.compare(0, 3, \"\\xEF\\xBB\\xBF\") != 0) return false;", "if (true) return false;",
      "a UTF-8 byte-order mark is read as part of the first word"),
    F("reader", "cr-not-line-end", "src/config/configfile.cpp", "std::replace(text.begin(), text.end(), '\\r', '\\n');",
      "(void)0;", "a carriage return alone is not read as a line end"),
    F("reader", "no-near-miss", "src/config/configtext.cpp", "if (d <= bestDistance && (!best || d < bestDistance))",
      "if (d < bestDistance && (!best || d < bestDistance))", "a misspelt keyword gets no suggestion"),
    F("reader", "seed-bits-run-seeded", "src/config/keywordchecks.cpp",
      "const bool runSeeded = c.p.runSeeding == kRunSeedingIndependent;", "const bool runSeeded = false;",
      "seeds that runSeeding 1 takes whole are warned about as cut to 16 bits"),
    # --- networks and genome files ---------------------------------------------------------
    F("network", "sigmoid-rounded", "neat/NEAT_ActivationFn.cpp", "table[static_cast<int>(x * 1000) + TABLE_HALF]",
      "table[static_cast<int>(std::lround(x * 1000)) + TABLE_HALF]", "the sigmoid table index is rounded"),
    F("network", "linear-division", "neat/NEAT_ActivationFn.cpp", "return (c * ONE_THIRD + 1.0) * 0.5;",
      "return (c / 3.0 + 1.0) * 0.5;", "linear divides by 3"),
    F("network", "sensors-updated", "neat/NEAT_FastNetwork.cpp",
      "for (unsigned int j = static_cast<unsigned int>(numSensors); j < numNodes; ++j)",
      "for (unsigned int j = 0; j < numNodes; ++j)", "sensors are overwritten by the update"),
    F("network", "depth-relaxation", "neat/NEAT_FastNetwork.cpp", "if (depth[link.fromIndex] >= depth[link.toIndex]) {",
      "if (depth[link.fromIndex] > depth[link.toIndex]) {", "network depth stays 0"),
    F("network", "gzip-direct", "neat/NEAT_XmlReading.cpp", "        if (gzdirect(file)) {",
      "        if (false) {", "a plain file named .gz is read"),
    F("network", "unsorted-nodes", "neat/NEAT_GeneticIndividual.cpp", "if (it->getID() > node.getID()) break;",
      "if (it->getID() < node.getID()) break;", "nodes are not kept in ID order"),
    F("network", "dangling-link", "neat/NEAT_GeneticIndividual.cpp", "            if (!found) {\n",
      "            if (false) {\n", "a link to a missing node is not reported where it stands"),
    F("network", "first-generation", "neat/NEAT_GeneticPopulation.cpp",
      "currentGeneration = static_cast<int>(generations.size()) - 1;", "currentGeneration = 0;",
      "the first generation is served"),
    F("network", "input-prefix", "neat/NetworkActivator.cpp", "node.getName().find(\"INPUT\") != std::string::npos",
      "node.getName().rfind(\"INPUT\", 0) == 0", "only names starting with INPUT count as inputs"),
    # --- command line ---------------------------------------------------------------------
    F("cli", "extra-after-runs", "src/app/commandline.cpp", "if (argc <= 5) return;", "if (argc <= 6) return;",
      "--extra-cfg right after --num-runs is ignored"),
    F("cli", "one-compared", "src/app/commandline.cpp", "if (strcmp(argv[argi + 4], \"0\") != 0) {",
      "if (strcmp(argv[argi + 4], \"0\") != 0 || true) {", "CFG2 of 0 is read as a file"),
    F("cli", "step-evals-zero", "src/app/commandline.cpp", "else if (cl.evalsPerStepLimit <= 0)",
      "else if (cl.evalsPerStepLimit < 0)", "--step-evals 0 gets no warning"),
    F("cli", "pap-short", "src/app/commandline.cpp", "if (!(argc > argi + 3 && is(argi, \"--print-action-probs\")))",
      "if (!(argc > argi + 2 && is(argi, \"--print-action-probs\")))", "the check is taken without a state value"),
    F("cli", "unused-silent", "src/app/commandline.cpp", "            if (!used[i])\n",
      "            if (!used[i] && false)\n", "unused arguments get no warning"),
    F("cli", "usage-text", "src/app/commandline.cpp", "\"Usage: %s <sim.cfg.file> [--extra-cfg",
      "\"Usage: %s <config> [--extra-cfg", "the usage line changes"),
    F("cli", "partial-as-whole", "src/app/commandline.cpp", "return *end ? Taken::Start : Taken::Whole;",
      "return Taken::Whole;", "a number read only in part gets no warning"),
    F("cli", "result-option-twice", "src/app/commandline.cpp", "if (first != given.end() && value)",
      "if (false && value)", "a result option given twice: the second silently wins"),
    # --- views' geometry -------------------------------------------------------------------
    F("geometry", "gray-parity", "src/visual/visualgeometry.cpp", "        parity ^= in;\n", "",
      "Gray decoding without the running parity"),
    F("geometry", "maxima-plateau", "src/visual/visualgeometry.cpp", "if (fit[g ^ masks[b]] > f) {",
      "if (fit[g ^ masks[b]] >= f) {", "plateau points are no local maxima"),
    F("geometry", "arcs-adjacent", "src/visual/visualgeometry.cpp", "if (dr != 1 && dc != 1) out.push_back",
      "if (dr != 1 || dc != 1) out.push_back", "arcs also to neighbours next to the vertex"),
    F("geometry", "polar-path", "src/visual/visualgeometry.cpp", "p ^= 1L << ((path + j) % n);",
      "p ^= 1L << ((path + n - j) % n);", "polar paths flip their bits in the other direction"),
    F("geometry", "click-ring", "src/visual/visualgeometry.cpp", "const int r = (int)std::floor(ring + 0.5);",
      "const int r = (int)std::floor(ring);", "a click picks the ring above"),
    F("geometry", "cap-near-selection", "src/visual/visualgeometry.cpp", "        if (c.cap && twoFromSelection) continue;\n",
      "", "caps are chosen for points two bits from the selection"),
    F("geometry", "recent-window", "src/visual/visualgeometry.cpp", "(long)info.visits.front().step >= (long)curStep",
      "(long)info.visits.front().step > (long)curStep", "the recent-steps window is one step short"),
    F("geometry", "one-agent-ignored", "src/visual/visualgeometry.cpp",
      "if (sw.only1Agent && a->getId() != sim.getChosenAgent()) continue;", "",
      "private dots of every agent with \"1 agent\" on"),
    F("geometry", "history-first-steps", "src/visual/visualgeometry.cpp",
      "std::vector<Point>(h.end() - m, h.end())", "std::vector<Point>(h.begin(), h.begin() + m)",
      "history shows the first steps instead of the last"),
    F("geometry", "no-point-kept", "src/visual/visualgeometry.cpp", "return p.values < 0 || p.values >= numPoints;",
      "return p.values >= numPoints;", "\"no point\" gets a dot"),
    # --- landscape analysis ----------------------------------------------------------------
    F("analysis", "maxima-strict", "src/analysis/analysis.cpp", "if (g > f) isMax = false;", "if (g >= f) isMax = false;",
      "plateau points are no local maxima"),
    F("analysis", "max-tie", "src/analysis/analysis.cpp", "if (f > r.globalMax) {", "if (f >= r.globalMax) {",
      "the highest-numbered of equal maxima"),
    F("analysis", "correlation-norm", "src/analysis/analysis.cpp", "products / (n * squares)", "products / squares",
      "neighbour correlation not divided by N"),
    F("analysis", "se-divisor", "src/analysis/analysis.cpp", "std::sqrt(squares / (double)(m - 1))",
      "std::sqrt(squares / (double)m)", "standard error from the population deviation"),
    # --- sweeps ------------------------------------------------------------------------------
    F("sweep", "results-kept", "scripts/sweep.py", "    if not stale:\n        return 0\n",
      "    if not stale or True:\n        return 0\n", "results of changed rows are kept"),
    F("sweep", "base-change-ignored", "scripts/sweep.py",
      "        stale |= write_if_changed(os.path.join(rowdir, name), text)\n",
      "        stale |= write_if_changed(os.path.join(rowdir, name), text) and name == \"params.json\"\n",
      "a row whose base configuration changed keeps its results"),
    F("sweep", "range-exclusive", "scripts/sweep.py", "range(first, last + step, step)", "range(first, last, step)",
      "a seed range leaves out its last value"),
    F("sweep", "groups-count", "scripts/sweep.py", "str(len(groups.split()) // 2)", "str(len(groups.split()))",
      "nFitnessGroups counts words instead of pairs"),
    F("sweep", "stats-before-runs", "scripts/sweep.py",
      "    if print_stats:\n        argv.append(\"--print-stats\")",
      "    if print_stats:\n        argv.insert(1, \"--print-stats\")", "--print-stats written first"),
    F("sweep", "array-limit", "scripts/sweep.py", "\"#SBATCH --array=%s%%%d\" % (ranges(pending), args.limit)",
      "\"#SBATCH --array=%s\" % ranges(pending)", "the array has no limit of running tasks"),
    F("sweep", "stats-rows", "scripts/sweep.py", "(print_stats and len(table) < 3)", "(print_stats and len(table) < 2)",
      "a statistics report without run lines is accepted"),
    F("sweep", "joblog-kept", "scripts/sweep.py", "    if changed and os.path.exists(joblog):",
      "    if False:", "a stale job log is kept after rows change"),
    F("python", "seed-product", "src/python/nkswarm/_study.py",
      "for values in zip(*seed_lists.values())]", "for values in itertools.product(*seed_lists.values())]",
      "sweep() multiplies the seed lists instead of taking them side by side"),
]


def log(text):
    print(text, flush=True)


def run(cmd, cwd, timeout=None, quiet=True):
    """Runs a command; returns (status, output). A command over its time limit counts as failed."""
    try:
        p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                           timeout=timeout, errors="replace")
    except subprocess.TimeoutExpired as err:
        out = err.stdout.decode(errors="replace") if isinstance(err.stdout, bytes) else (err.stdout or "")
        return 124, out
    if not quiet:
        sys.stdout.write(p.stdout)
    return p.returncode, p.stdout


def source_files():
    try:
        out = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True).stdout
        return [f for f in out.decode().split("\0") if f and os.path.isfile(os.path.join(ROOT, f))]
    except (OSError, subprocess.CalledProcessError):
        # Not a git checkout (an exported tree): everything but build folders.
        files = []
        for dirpath, dirs, names in os.walk(ROOT):
            dirs[:] = [d for d in dirs if not d.startswith("build") and d != ".git"]
            files += [os.path.relpath(os.path.join(dirpath, n), ROOT) for n in names]
        return files


def sync_tree(src):
    """Copies the working tree into src, rewriting only the files whose content differs, so
    that the build there stays incremental."""
    files = source_files()
    wanted = set(files)
    for rel in files:
        a, b = os.path.join(ROOT, rel), os.path.join(src, rel)
        with open(a, "rb") as f:
            data = f.read()
        if os.path.isfile(b):
            with open(b, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(b), exist_ok=True)
        with open(b, "wb") as f:
            f.write(data)
        shutil.copymode(a, b)
    for dirpath, _, names in os.walk(src):
        for name in names:
            rel = os.path.relpath(os.path.join(dirpath, name), src)
            if rel not in wanted:
                os.remove(os.path.join(dirpath, name))


class Suite:
    def __init__(self, work, jobs, timeout, exclude, full):
        self.src = os.path.join(work, "src")
        self.build_dir = os.path.join(work, "build")
        self.jobs = str(jobs)
        self.timeout = timeout
        self.exclude = exclude
        self.full = full
        os.environ.setdefault("CCACHE_DIR", os.path.join(work, "ccache"))

    def configure(self):
        cmd = ["cmake", "-S", self.src, "-B", self.build_dir, "-DCMAKE_BUILD_TYPE=Release", "-DNK_VISUAL=OFF",
               "-DNK_BUILD_BENCH=OFF"]
        if shutil.which("ccache"):
            cmd.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        status, out = run(cmd, ROOT)
        if status:
            log(out)
        return status == 0

    def build(self):
        status, out = run(["cmake", "--build", self.build_dir, "-j" + self.jobs], ROOT)
        return status == 0, out

    def test(self):
        """(passed, the first failing tests, seconds)."""
        start = time.time()
        cmd = ["ctest", "-j" + self.jobs, "--timeout", str(self.timeout), "-LE", "valgrind"]
        if not self.full:
            cmd.append("--stop-on-failure")
        if self.exclude:
            cmd += ["-E", self.exclude]
        status, out = run(cmd, self.build_dir, timeout=self.timeout * 4)
        failed = re.findall(r"^\s*\d+ - (\S+)", out, re.M)
        if status and not failed:
            failed = ["(ctest status %d)" % status]
        return status == 0, failed, time.time() - start


def plant(suite, fault):
    """Applies one fault, builds and tests; returns (verdict, detail). Restores the file."""
    path = os.path.join(suite.src, fault.path)
    with open(path) as f:
        original = f.read()
    count = original.count(fault.old)
    if count != 1:
        return "error", "text found %d times in %s" % (count, fault.path)
    try:
        with open(path, "w") as f:
            f.write(original.replace(fault.old, fault.new))
        ok, out = suite.build()
        if not ok:
            return "error", "does not build: " + " ".join(l for l in out.splitlines() if "error" in l)[:200]
        passed, failed, secs = suite.test()
        if passed:
            return "missed", "%.0f s" % secs
        return "caught", "%.0f s: %s" % (secs, " ".join(failed))
    finally:
        with open(path, "w") as f:
            f.write(original)


def summary(results):
    log("\n%-10s %7s %7s %7s" % ("area", "caught", "missed", "errors"))
    areas = collections.OrderedDict()
    for fault, verdict, _ in results:
        areas.setdefault(fault.area, collections.Counter())[verdict] += 1
    for area, c in areas.items():
        log("%-10s %7d %7d %7d" % (area, c["caught"], c["missed"], c["error"]))
    total = collections.Counter(v for _, v, _ in results)
    log("%-10s %7d %7d %7d   (%d/%d caught)" % ("total", total["caught"], total["missed"], total["error"],
                                               total["caught"], len(results)))
    for fault, verdict, detail in results:
        if verdict != "caught":
            log("%s: %s/%s (%s): %s" % (verdict, fault.area, fault.name, fault.what, detail))
    return total["caught"] == len(results)


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--area", action="append", help="only the faults of this area (repeatable)")
    p.add_argument("--name", action="append", help="only faults whose name contains this text (repeatable)")
    p.add_argument("--list", action="store_true", help="list the faults and check that each applies; plant none")
    p.add_argument("--work", default="/tmp/nkswarm-fault-check", help="scratch directory (kept between runs)")
    p.add_argument("-j", "--jobs", type=int, default=2, help="build and test jobs (default 2)")
    p.add_argument("--timeout", type=int, default=300, help="seconds per test (default 300)")
    p.add_argument("--exclude", help="a ctest -E regular expression of tests to leave out")
    p.add_argument("--full", action="store_true", help="run the whole suite for each fault, not only up to the first "
                   "failing test, and list every test that fails")
    args = p.parse_args(argv)

    faults = [f for f in FAULTS if (not args.area or f.area in args.area) and
              (not args.name or any(n in f.name for n in args.name))]
    if not faults:
        p.error("no fault selected (areas: %s)" % ", ".join(sorted({f.area for f in FAULTS})))
    if args.list:
        bad = 0
        for f in faults:
            with open(os.path.join(ROOT, f.path)) as fh:
                count = fh.read().count(f.old)
            bad += count != 1
            log("%-10s %-24s %-34s %s%s" % (f.area, f.name, f.path, f.what,
                                           "" if count == 1 else "  ERROR: found %d times" % count))
        log("%d faults in %d areas" % (len(faults), len({f.area for f in faults})))
        return 1 if bad else 0

    args.work = os.path.abspath(args.work)
    suite = Suite(args.work, args.jobs, args.timeout, args.exclude, args.full)
    os.makedirs(suite.src, exist_ok=True)
    sync_tree(suite.src)
    if not suite.configure():
        return 2
    ok, out = suite.build()
    if not ok:
        log(out[-3000:])
        log("fault-check: the working tree does not build")
        return 2
    passed, failed, secs = suite.test()
    if not passed:
        log("fault-check: the suite fails without any fault: %s" % " ".join(failed))
        return 2
    log("fault-check: the suite passes in %.0f s; planting %d faults" % (secs, len(faults)))
    # Headers that most files include rebuild nearly everything: last.
    faults.sort(key=lambda f: f.path.endswith(".h"))
    results = []
    with open(os.path.join(args.work, "results.tsv"), "w") as table:
        for i, fault in enumerate(faults, 1):
            verdict, detail = plant(suite, fault)
            results.append((fault, verdict, detail))
            log("[%d/%d] %-6s %s/%s: %s" % (i, len(faults), verdict, fault.area, fault.name, detail))
            table.write("\t".join([fault.area, fault.name, verdict, detail]) + "\n")
            table.flush()
    return 0 if summary(results) else 1


if __name__ == "__main__":
    sys.exit(main())
