// Agent decisions (tables and networks), place decisions of networks and the steps of
// compared strategies.
#include <gtest/gtest.h>

#include <set>

#include "search_fixture.h"
#include "util.h"

using testkit::stateAfterDraws;
using testkit::stateOf;
using testkit::values;
using testkit::World;

namespace {

const MemType Pub = MemTypePublic, Priv = MemTypePrivate, Grp = MemTypeGroup;

// Gives the agent's memories one point each with the given best fitness.
void fillMemories(World& w, double pub, double priv, double grp = 0.5) {
    w.pub->addPoint(Point(3), pub, VisitTypeInit);
    w.agent->getPrivateMemory().addPoint(Point(12), priv, VisitTypeInit);
    if (w.grp) w.grp->addPoint(Point(33), grp, VisitTypeInit);
}

// Runs one whole simulation step for the single agent, as the driver does, and returns
// the number of memory writes the step queued.
int fullStep(World& w) {
    w.agent->step(0);
    const int writes = (int)(w.pub->queuedPoints.size() + w.agent->getPrivateMemory().queuedPoints.size());
    w.land().visitQueuedPoints();
    w.pub->addQueuedPoints();
    w.agent->postStep();
    w.sim->context().advanceStep();
    return writes;
}

// Sets every S1 weight of `s` to `v`.
void fillS1(AgentStrategy& s, double v) {
    for (auto& pub : s.s1.searchProbs)
        for (auto& priv : pub)
            for (auto& k : priv)
                for (double& x : k) x = v;
}

const int kNumActions[7] = {4, 6, 6, 5, 4, 4, 4};
const int kNumMemActions[7] = {2, 3, 3, 2, 2, 2, 2};

// The world for decisions of a compared strategy (stepped with step(1), which makes no
// place decisions), agent 6 of 8 in groups of 4.
World decisionWorld(StrategyType t, const std::function<void(SimuParameters&)>& more = nullptr) {
    return World(
        [&](SimuParameters& p) {
            p.nAgents = 8;
            p.groupSize = 4;
            p.nExtraStrategies = 1;
            p.agentStrategies[8].type = t;
            if (more) more(p);
        },
        true, 6);
}

// Checks that the agent's current method and sources are those of `action`, with a
// public best above the private best.
void expectAction(World& w, StrategyType t, int action) {
    static const MemType kSource[7][3] = {{Pub, Priv}, {Pub, Pub, Priv}, {Pub, Grp, Priv}, {Pub, Priv},
                                          {Pub, Pub},  {Pub, Pub},       {Pub, Pub}};
    const SearchMethod* m = w.agent->getCurSearchMethod();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->getType(), action / kNumMemActions[t] == 0 ? SearchTypeExploit : SearchTypeExplore);
    EXPECT_EQ(m->getSrcMemory(),
              w.agent->searchSubject().memory(t == StrategyType3 ? Pub : kSource[t][action % kNumMemActions[t]]));
    if (t == StrategyType3) {
        EXPECT_EQ(m->getSrcMemory2(), w.agent->searchSubject().memory(Priv));
    }
}

}  // namespace

TEST(TableDecisionTest, EveryActionOfEveryTypeFromTheBlockOfTheMemoryLevels) {
    for (int ti = 0; ti < 7; ti++) {
        const StrategyType t = (StrategyType)ti;
        World w = decisionWorld(t);
        fillMemories(w, 0.5, 0.3);  // public best exactly 0.5 is level Hi, private 0.3 Lo: block [1][0]
        AgentStrategy s = w.agent->searchSubject().strategyOther(0);
        for (int a = 0; a < kNumActions[t]; a++) {
            // Action a alone in block [1][0]; every other block names another action.
            const int other = kNumActions[t] - 1 - a;
            fillS1(s, 0);
            for (int cp = 0; cp < 2; cp++)
                for (int cq = 0; cq < 2; cq++) {
                    const int x = (cp == 1 && cq == 0) ? a : other;
                    s.s1.searchProbs[cp][cq][x / kNumMemActions[t]][x % kNumMemActions[t]] = 1;
                }
            w.agent->searchSubject().setStrategyOther(0, s);
            w.agent->forgetDecision();
            const uint64_t expectedState = stateAfterDraws(w.rs(), 1);
            w.agent->step(1);
            SCOPED_TRACE("type " + std::to_string(ti) + " action " + std::to_string(a));
            expectAction(w, t, a);
            EXPECT_EQ(stateOf(w.rs()), expectedState);
        }
        const bool always = t >= StrategyType4;
        EXPECT_EQ(w.method(SearchTypeExploit).startsEveryStepAnew(), always) << "type " << ti;
        EXPECT_EQ(w.method(SearchTypeExplore).startsEveryStepAnew(), always) << "type " << ti;
    }
}

TEST(TableDecisionTest, BestMemoryMeansPrivateUnlessPublicIsBetterAndNearTiesKeepTheEarlierAction) {
    const struct {
        double pub, priv;
        MemType expected;
    } cases[] = {{0.4, 0.4, Priv}, {0.6, 0.4, Pub}, {0.4, 0.6, Priv}, {0.55, 0.55, Priv}};
    for (const auto& c : cases) {
        World w = decisionWorld(StrategyType1, [](SimuParameters& p) {
            for (auto& pub : p.agentStrategies[8].s1.searchProbs)
                for (auto& block : pub) block[0][1] = 1;
        });
        fillMemories(w, c.pub, c.priv);
        w.agent->step(1);
        EXPECT_EQ(w.agent->getCurSearchMethod()->getSrcMemory(), w.agent->searchSubject().memory(c.expected))
            << c.pub << " vs " << c.priv;
    }
    for (double second : {0.500005, 0.50002}) {
        World w = decisionWorld(StrategyType0, [&](SimuParameters& p) {
            p.deterministicActions = true;
            p.agentStrategies[8].s1.searchProbs[0][0][0][0] = 0.5;
            p.agentStrategies[8].s1.searchProbs[0][0][0][1] = second;
        });
        fillMemories(w, 0.1, 0.1);
        const uint64_t state0 = stateOf(w.rs());
        w.agent->step(1);
        EXPECT_EQ(w.agent->getCurSearchMethod()->getSrcMemory(),
                  w.agent->searchSubject().memory(second > 0.50001 ? Priv : Pub));
        EXPECT_EQ(stateOf(w.rs()), state0);
    }
}

TEST(AgentDecisionTest, TablesDecideAtPhaseStartsOrEveryStepNetworksOfTypeFourAndFiveEveryStep) {
    const struct {
        bool network, everyStep;
        StrategyType t;
    } cases[] = {{false, false, StrategyType0},
                 {false, true, StrategyType0},
                 {true, false, StrategyType4},
                 {true, false, StrategyType5},
                 {true, false, StrategyType6}};
    for (const auto& c : cases) {
        // Network search scores (0.5 - 0.5 u)^2: only the exploit actions (u = -1) can be chosen.
        std::vector<double> w0(6, 0.0);
        w0[c.t == StrategyType5 ? 4 : 3] = -0.5;
        World w([&](SimuParameters& p) {
            p.chooseActionEveryStep = c.everyStep;
            p.exploreSearchConfig.maxAttempts = 0;  // explore draws nothing
            fillS1(p.generalStrategy, 0.25);
            p.usingNNStrategy = c.network;
            p.nAgents = p.groupSize = 4;
            p.generalStrategy.type = c.t;
            p.generalStrategy.nn = testkit::squareNet(w0, 0.5, w0, 0.5);
        });
        fillMemories(w, 0.6, 0.4);
        for (int step = 0; step < 11; step++) {
            const uint64_t before = stateOf(w.rs());
            const int writes = fullStep(w);
            const bool decides = c.everyStep || c.t == StrategyType4 || c.t == StrategyType5 || step % 5 == 0;
            EXPECT_EQ(testkit::drawsBetween(before, stateOf(w.rs())), decides + writes)
                << "type " << c.t << (c.network ? " network" : " table") << (c.everyStep ? " every step" : "")
                << ", step " << step;
            EXPECT_EQ(w.agent->getCurSearchMethod()->startsEveryStepAnew(), c.everyStep || c.network);
        }
    }
}

// ---------------------------------------------------------------------------------------
// Network decisions

namespace {

const std::vector<double> kW0 = {0.05, -0.04, 0.06, 0.11, -0.09, 0.07}, kW1 = {0.08, 0.3, -0.2, 0.13, 0.09, 0.21};
const double kB0 = 0.1, kB1 = 0.05;

// The agent state of the network tests: public best 0.7, private 0.3, group 0.55 with four
// fitness levels give 3, 1 and 3; the phase is 3 steps in (p = 0.5); agent 6 in groups of
// 4 is second-to-last in its group (g = 2 * 2 / 3 - 1).
const double Y0 = 3, Y1 = 1, Y2 = 3, P = 0.5, G = 2.0 * 2 / 3 - 1;

// Inputs of every action in the strategy module's layout for the state above.
std::vector<std::vector<double>> inputsOf(StrategyType t, strategy::Output output, double fitness, int numActions) {
    strategy::NetworkState state;
    state.fitness[0] = fitness;
    if (output == strategy::OutputSearch) {
        state.fitness[1] = Y1;
        state.fitness[2] = Y2;
    }
    state.progress = P;
    state.groupPosition = G;
    std::vector<std::vector<double>> all;
    for (int a = 0; a < numActions; a++) {
        double in[strategy::kMaxInputs];
        all.emplace_back(in, in + strategy::networkInputs(t, output, state, a, numActions, in));
    }
    return all;
}

World networkWorld(StrategyType t, int levels = 4) {
    return decisionWorld(t, [&](SimuParameters& p) {
        p.usingNNStrategy = true;
        p.NNFitnessDiscreteSteps = levels;
        p.generalStrategy.type = t;
        p.generalStrategy.nn = p.agentStrategies[8].nn = testkit::squareNet(kW0, kB0, kW1, kB1);
    });
}

// The roulette outcome for a draw r: the first action whose cumulative probability exceeds r.
int rouletteAction(const std::vector<double>& probs, double r) {
    double cum = 0;
    for (size_t i = 0; i < probs.size(); i++)
        if ((cum += probs[i]) > r) return (int)i;
    return (int)probs.size() - 1;
}

// Draws just below and just above every cumulative boundary of the distribution.
std::vector<double> boundaryDraws(const std::vector<double>& probs) {
    std::vector<double> r;
    double cum = 0;
    for (size_t i = 0; i + 1 < probs.size(); i++) {
        cum += probs[i];
        r.insert(r.end(), {cum - 1e-9, cum + 1e-9});
    }
    return r;
}

std::vector<double> padded(std::vector<double> v) {
    v.resize(6, 0.0);
    return v;
}

}  // namespace

TEST(NetworkDecisionTest, EveryTypeFeedsItsInputsAndDrawsFromTheScores) {
    const MemType places[7][3] = {{Pub, Priv}, {}, {Pub, Grp, Priv}, {Pub, Priv}, {Pub, Pub}, {Pub, Pub}, {Pub, Pub}};
    for (StrategyType t : {StrategyType0, StrategyType2, StrategyType3, StrategyType4, StrategyType5, StrategyType6}) {
        SCOPED_TRACE("type " + std::to_string(t));
        World w = networkWorld(t);
        fillMemories(w, 0.7, 0.3, 0.55);
        w.agent->phase().setInPhaseSteps(3);
        w.agent->phase().setLastPoint(Point(5), w.f(Point(5)));
        // Search decisions of the compared strategy (step(1)).
        const auto inputs = inputsOf(t, strategy::OutputSearch, Y0, kNumActions[t]);
        auto probs = testkit::expectedProbs(kW0, kB0, inputs);
        for (double r : boundaryDraws(probs)) {
            testkit::setNextDraw(w.rs(), r);
            const uint64_t expectedState = stateAfterDraws(w.rs(), 1);
            w.agent->forgetDecision();
            w.agent->step(1);
            expectAction(w, t, rouletteAction(probs, r));
            EXPECT_EQ(stateOf(w.rs()), expectedState);
        }
        // The network still holds the inputs of the last action it scored.
        EXPECT_EQ(testkit::sensors(w.agent->searchSubject().strategyOther(0).nn), padded(inputs.back()));
        // Place decisions: fitness 0.62 with four levels is floor(2.48) = 2, input 3.
        const auto place = inputsOf(t, strategy::OutputPlace, 3, t == StrategyType2 ? 3 : 2);
        probs = testkit::expectedProbs(kW1, kB1, place);
        for (double r : boundaryDraws(probs)) {
            testkit::setNextDraw(w.rs(), r);
            const uint64_t expectedState = stateAfterDraws(w.rs(), 1);
            EXPECT_EQ(w.exploit().probSelectMem(0.62), places[t][rouletteAction(probs, r)]) << "r " << r;
            EXPECT_EQ(stateOf(w.rs()), expectedState);
        }
        EXPECT_EQ(testkit::sensors(w.agent->searchSubject().strategy().nn), padded(place.back()));
        w.exploit().probSelectMem(1.3);  // above 1 counts as 0.999: floor(3.996) = 3, input 5
        EXPECT_EQ(testkit::sensors(w.agent->searchSubject().strategy().nn)[0], 5);
    }
}

// ---------------------------------------------------------------------------------------
// Compared strategies

TEST(ComparedStrategyTest, ReplaysTheNeighbourhoodWithItsOwnParametersAndWritesNothing) {
    for (int depth : {1, 2}) {
        World w([&](SimuParameters& p) {
            p.nAgents = 3;
            p.nExtraStrategies = 1;
            // The compared strategy (key nAgents) exploits from the private memory.
            for (auto& pub : p.agentStrategies[3].s1.searchProbs)
                for (auto& block : pub) block[0][1] = 1;
            p.agentCustomParams[3].exploitSearchConfig.useAllAttempts = true;
            p.agentCustomParams[3].exploitSearchConfig.maxTreeDepth = depth;
            p.agentCustomParams[1].exploitSearchConfig.maxTreeDepth = 3;  // agent 1's, not ours
        });
        // A private start with a better first neighbour: the agent's own settings would stop there.
        Point s;
        for (long v = 0; v < 64 && s == Point(); v++)
            if (w.f(Point(v, 0)) > w.f(Point(v))) s = Point(v);
        w.pub->addPoint(Point(50), 0.4, VisitTypeInit);
        w.agent->getPrivateMemory().addPoint(s, 0.9, VisitTypeInit);
        w.agent->searchSubject().clearSearchPoints();
        w.agent->searchSubject().addSearchPoint(Point(61));
        const int stamp0 = w.stamp();
        const uint64_t expectedState = stateAfterDraws(w.rs(), 1);  // the decision only
        w.agent->step(1);

        SCOPED_TRACE("depth " + std::to_string(depth));
        std::set<int> expected;
        for (long q = 0; q < 64; q++)
            if (Point(q).hammingDist(s, 6) <= depth) expected.insert((int)q);
        const auto got = values(w.agent->searchSubject().searchPointsOthers(0));
        EXPECT_EQ(std::set<int>(got.begin(), got.end()), expected);
        EXPECT_TRUE(got.size() == expected.size() && got.front() == s.values);
        EXPECT_EQ(w.stamp() - stamp0, 1 + 6 + (depth == 2 ? 6 + 6 * 7 : 0));
        EXPECT_EQ(stateOf(w.rs()), expectedState);
        // Nothing of the agent's own changes: no points, writes, visits or counts.
        EXPECT_EQ(values(w.agent->searchSubject().searchPoints()), std::vector<int>{61});
        EXPECT_TRUE(w.pub->queuedPoints.empty() && w.agent->getPrivateMemory().queuedPoints.empty() &&
                    w.land().queuedVisitPoints.empty() && w.sim->getCountedEvals(0) == 0);
        EXPECT_TRUE(w.agent->phase().inPhaseSteps() == 0u && w.agent->phase().lastPoint() == Point());
    }
}
