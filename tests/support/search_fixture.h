// Test scaffolding for the agent and search tests: a small simulation with hand-made
// memories and one agent, random-stream helpers, and tiny networks built from genes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "NEAT_FastNetwork.h"
#include "NEAT_GeneticLinkGene.h"
#include "NEAT_GeneticNodeGene.h"
#include "agent.h"
#include "landscape.h"
#include "memory.h"
#include "rng.h"
#include "simulation.h"

namespace testkit {

inline uint64_t stateOf(const unsigned short s[3]) { return rng48::load(s); }

// The stream state after `count` more draws from `s`.
inline uint64_t stateAfterDraws(const unsigned short s[3], int count) {
    uint64_t x = rng48::load(s);
    for (int i = 0; i < count; i++) x = rng48::next(x);
    return x;
}

// Number of draws that lead from state `from` to state `to` (at most 100000), or -1.
inline int drawsBetween(uint64_t from, uint64_t to) {
    for (int i = 0; i <= 100000; i++, from = rng48::next(from))
        if (from == to) return i;
    return -1;
}

// Rewinds the stream so that its next erand48 draw is the largest 48-bit fraction <= r.
inline void setNextDraw(unsigned short s[3], double r) {
    uint64_t inv = rng48::kMult;  // inverse of the (odd) multiplier modulo 2^64, by Newton iteration
    for (int i = 0; i < 6; i++) inv *= 2 - rng48::kMult * inv;
    const uint64_t target = (uint64_t)(r * 281474976710656.0) & rng48::kMask;
    rng48::store(s, ((target - rng48::kAdd) * inv) & rng48::kMask);
}

// A simulation whose landscape is ready (N = 6, no crowding effect), a public memory, an
// optional group memory and one agent with empty memories. Its default table strategy
// exploits from the public memory and places every point there.
struct World {
    std::vector<std::string> names;  // no compared strategies
    std::unique_ptr<Simulation> sim;
    std::unique_ptr<Memory> pub, grp;
    std::unique_ptr<Agent> agent;

    explicit World(const std::function<void(SimuParameters&)>& setup, bool withGroup = false, int agentId = 0) {
        sim = std::make_unique<Simulation>(names, [&](SimuParameters& p) {
            p.n = 6;
            p.k = 2;
            p.nRuns = p.nAgents = 1;
            p.maxMemSize = 2147483647;
            p.landscapeseed = 11;
            p.searchseed = 13;
            p.initialPublicMemSize = p.initialPrivateMemSize = 0;
            p.lastFitnessAgent[0] = 0;
            for (auto& pub : p.generalStrategy.s1.searchProbs)
                for (auto& block : pub) block[0][0] = 1;
            p.generalStrategy.s2.placeProbs[0][0] = p.generalStrategy.s2.placeProbs[1][0] = 1;
            setup(p);
            p.nPoints = 1UL << p.n;
            p.nContexts = 1UL << p.k;
        });
        sim->getLandscape().initRun(0);
        sim->context().seedStreams(sim->getParameters().startseed, sim->getParameters().searchseed);
        pub = std::make_unique<Memory>(sim->getParameters().maxMemSize, sim->context().stepClock());
        if (withGroup) grp = std::make_unique<Memory>(sim->getParameters().maxMemSize, sim->context().stepClock());
        agent = std::make_unique<Agent>(agentId, sim->context(), pub.get(), grp.get());
        agent->initRun();
    }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    Landscape& land() { return sim->getLandscape(); }
    unsigned short* rs() { return sim->context().searchStream(); }
    SearchMethod& method(SearchType t) { return *agent->getSearchMethod(t); }
    SearchRandomLocal& exploit() { return static_cast<SearchRandomLocal&>(method(SearchTypeExploit)); }
    // Fitness without crowding; no evaluation is counted.
    double f(const Point& p) const { return sim->getLandscape().getBaseFitness(p); }
    // Evaluations (and visits) made on the landscape so far.
    int stamp() const { return sim->getLandscape().curTimeStamp; }
};

typedef std::vector<std::pair<int, VisitType>> Queue;

// The queued writes of a memory as (point, visit type) pairs, in queue order.
inline Queue queued(const Memory& m) {
    Queue out;
    for (const SimplePointInfo& q : m.queuedPoints) out.emplace_back(q.point.values, q.visitType);
    return out;
}

inline std::vector<int> values(const std::vector<Point>& points) {
    std::vector<int> out;
    for (const Point& p : points) out.push_back(p.values);
    return out;
}

// A network with sensors Bias and INPUT0..INPUT5 and two outputs that square their sums:
// OUTPUT0 = (w0 . inputs + b0)^2, OUTPUT1 = (w1 . inputs + b1)^2.
inline NeuralNet squareNet(const std::vector<double>& w0, double b0, const std::vector<double>& w1, double b1) {
    using namespace NEAT;
    std::vector<GeneticNodeGene> nodes = {GeneticNodeGene(1, "Bias", "NetworkSensor")};
    for (int j = 0; j < 6; j++) nodes.emplace_back(2 + j, "INPUT" + std::to_string(j), "NetworkSensor");
    nodes.emplace_back(8, "OUTPUT0", "NetworkOutputNode", 4);
    nodes.emplace_back(9, "OUTPUT1", "NetworkOutputNode", 4);
    std::vector<GeneticLinkGene> links;
    for (int o = 0; o < 2; o++) {
        for (int j = 0; j < 6; j++) links.emplace_back((int)links.size() + 1, 2 + j, 8 + o, (o ? w1 : w0)[j]);
        links.emplace_back((int)links.size() + 1, 1, 8 + o, o ? b1 : b0);
    }
    NeuralNet nn;
    nn.net = std::make_shared<FastNetwork>(nodes, links);
    int* inputs[6] = {&nn.i0, &nn.i1, &nn.i2, &nn.i3, &nn.i4, &nn.i5};
    for (int j = 0; j < 6; j++) *inputs[j] = nn.net->getNodeIndex("INPUT" + std::to_string(j));
    nn.o0 = nn.net->getNodeIndex("OUTPUT0");
    nn.o1 = nn.net->getNodeIndex("OUTPUT1");
    nn.bias = nn.net->getNodeIndex("Bias");
    nn.depth = nn.net->computeMaxDepth({nn.o0, nn.o1});
    return nn;
}

// Normalized scores that the square network gives every action, one input vector each,
// each score clamped to 1 like a strategy output.
inline std::vector<double> expectedProbs(const std::vector<double>& w, double b,
                                         const std::vector<std::vector<double>>& inputs) {
    std::vector<double> p;
    double sum = 0;
    for (const auto& in : inputs) {
        double s = b;
        for (size_t j = 0; j < in.size(); j++) s += w[j] * in[j];
        p.push_back(std::min(s * s, 1.0));
        sum += p.back();
    }
    for (double& v : p) v /= sum;
    return p;
}

// Current sensor values INPUT0..INPUT5 of a strategy network (the inputs of its latest evaluation).
inline std::vector<double> sensors(const NeuralNet& nn) {
    std::vector<double> out;
    for (int i : {nn.i0, nn.i1, nn.i2, nn.i3, nn.i4, nn.i5}) out.push_back(nn.net->getValue(i));
    return out;
}

}  // namespace testkit
