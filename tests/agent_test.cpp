// Agent decisions (tables and networks), place decisions of networks, the agent step,
// its fitness measures, compared strategies and the action-probability check.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "search_fixture.h"
#include "util.h"

using testkit::queued;
using testkit::values;
using testkit::World;

namespace {

const MemType Pub = MemTypePublic, Priv = MemTypePrivate, Grp = MemTypeGroup;

// Gives the agent's memories one point each with the given best fitness.
void fillMemories(World& w, double pub, double priv, double grp = 0.5) {
    w.pub->addPoint(Point(3), pub, VisitTypeInit);
    w.agent->privateMemory.addPoint(Point(12), priv, VisitTypeInit);
    if (w.grp) w.grp->addPoint(Point(33), grp, VisitTypeInit);
}

// Runs one whole simulation step for the single agent, as the driver does, and returns
// the number of memory writes the step queued.
int fullStep(World& w) {
    w.agent->step(0);
    const int writes = (int)(w.pub->queuedPoints.size() + w.agent->privateMemory.queuedPoints.size());
    w.land().visitQueuedPoints();
    if (w.pub->hasQueuedPoints()) w.pub->addQueuedPoints();
    w.agent->postStep();
    w.sim->curStep++;
    return writes;
}

Memory* memoryOf(World& w, MemType t) { return w.agent->memory[t]; }

}  // namespace

// ---------------------------------------------------------------------------------------
// Construction

TEST(AgentTest, TakesItsOwnOrTheGeneralStrategyAndTheComparedOnes) {
    auto setup = [](SimuParameters& p) {
        p.nAgents = 2;
        p.nExtraStrategies = 2;
        p.generalStrategy.type = StrategyType1;
        p.agentStrategies[1].type = StrategyType3;
        p.agentStrategies[2].type = StrategyType4;
        p.agentStrategies[3].type = StrategyType6;
    };
    World w0(setup, false, 0), w1(setup, false, 1);
    EXPECT_EQ(w0.agent->strategy.type, StrategyType1);
    EXPECT_EQ(w1.agent->strategy.type, StrategyType3);
    for (World* w : {&w0, &w1}) {
        EXPECT_EQ(w->agent->strategyOthers[0].type, StrategyType4);
        EXPECT_EQ(w->agent->strategyOthers[1].type, StrategyType6);
        EXPECT_EQ(w->agent->curSearchMethod, nullptr);
        EXPECT_EQ(w->agent->searchMethods[SearchTypeExploit]->type, SearchTypeExploit);
        EXPECT_EQ(w->agent->searchMethods[SearchTypeExplore]->type, SearchTypeExplore);
        EXPECT_EQ(w->agent->searchMethods[SearchTypeRecombination]->type, SearchTypeRecombination);
    }
}

TEST(AgentTest, SearchPointsStayDistinctInInsertionOrder) {
    World w([](SimuParameters&) {});
    for (int v : {5, 9, 5, 1, 9, 7}) w.agent->addSearchPoint(Point(v));
    EXPECT_EQ(values(w.agent->searchPoints), (std::vector<int>{5, 9, 1, 7}));
    w.agent->searchPoints.clear();
    for (int v : {9, 9, 4}) w.agent->addSearchPoint(Point(v));
    EXPECT_EQ(values(w.agent->searchPoints), (std::vector<int>{9, 4}));
    for (int v : {2, 3, 2}) w.agent->addSearchPointOthers(Point(v), 1);
    EXPECT_EQ(values(w.agent->searchPointsOthers[1]), (std::vector<int>{2, 3}));
    EXPECT_TRUE(w.agent->searchPointsOthers[0].empty());
}

// ---------------------------------------------------------------------------------------
// Table decisions

namespace {

// Source memory of each memory action per strategy type, with MemTypeBest already
// resolved for a public best above the private best.
const MemType kSourceOfAction[7][3] = {
    {Pub, Priv, Pub}, {Pub, Pub, Priv}, {Pub, Grp, Priv}, {Pub, Priv, Pub},
    {Pub, Pub, Pub},  {Pub, Pub, Pub},  {Pub, Pub, Pub},
};
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

// Checks that the agent's current method and sources are those of `action`.
void expectAction(World& w, StrategyType t, int action, const std::string& where) {
    const int k = action / kNumMemActions[t];
    const int l = action % kNumMemActions[t];
    SearchMethod* m = w.agent->curSearchMethod;
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->type, k == 0 ? SearchTypeExploit : SearchTypeExplore) << where;
    if (t == StrategyType3) {
        EXPECT_EQ(m->srcMemory, memoryOf(w, Pub)) << where;
        EXPECT_EQ(m->srcMemory2, memoryOf(w, Priv)) << where;
    } else {
        EXPECT_EQ(m->srcMemory, memoryOf(w, kSourceOfAction[t][l])) << where;
    }
}

}  // namespace

TEST(TableDecisionTest, EveryActionOfEveryType) {
    for (int ti = 0; ti < 7; ti++) {
        const StrategyType t = (StrategyType)ti;
        World w = decisionWorld(t);
        // Public best exactly 0.5 is level Hi, private 0.3 is Lo: block [1][0] decides.
        fillMemories(w, 0.5, 0.3);
        AgentStrategy& s = w.agent->strategyOthers[0];
        for (int a = 0; a < kNumActions[t]; a++) {
            const int other = kNumActions[t] - 1 - a;
            for (int cp = 0; cp < 2; cp++)
                for (int cq = 0; cq < 2; cq++)
                    for (int k = 0; k < 3; k++)
                        for (int l = 0; l < 3; l++) {
                            const int x = k * kNumMemActions[t] + l;
                            const bool hot = (cp == 1 && cq == 0) ? x == a : x == other;
                            s.s1.searchProbs[cp][cq][k][l] = hot && l < kNumMemActions[t] ? 1 : 0;
                        }
            w.agent->curSearchMethod = nullptr;
            const uint64_t expectedState = testkit::stateAfterDraws(w.rs(), 1);
            w.agent->step(1);
            expectAction(w, t, a, "type " + std::to_string(ti) + " action " + std::to_string(a));
            EXPECT_EQ(testkit::stateOf(w.rs()), expectedState);
        }
        const bool always = t >= StrategyType4;
        EXPECT_EQ(w.method(SearchTypeExploit).alwaysStartWithNewPoint, always) << "type " << ti;
        EXPECT_EQ(w.method(SearchTypeExplore).alwaysStartWithNewPoint, always) << "type " << ti;
    }
}

TEST(TableDecisionTest, BestMemoryMeansPrivateUnlessPublicIsStrictlyBetter) {
    const struct {
        double pub, priv;
        MemType expected;
    } cases[] = {{0.4, 0.4, Priv}, {0.6, 0.4, Pub}, {0.4, 0.6, Priv}, {0.55, 0.55, Priv}};
    for (const auto& c : cases) {
        World w = decisionWorld(StrategyType1, [](SimuParameters& p) {
            for (int i = 0; i < 2; i++)
                for (int j = 0; j < 2; j++) p.agentStrategies[8].s1.searchProbs[i][j][0][1] = 1;
        });
        fillMemories(w, c.pub, c.priv);
        w.agent->step(1);
        EXPECT_EQ(w.agent->curSearchMethod->srcMemory, memoryOf(w, c.expected)) << c.pub << " vs " << c.priv;
    }
}

TEST(TableDecisionTest, DeterministicChoiceKeepsTheEarlierOfNearTies) {
    for (double second : {0.500005, 0.50002}) {
        World w = decisionWorld(StrategyType0, [&](SimuParameters& p) {
            p.deterministicActions = true;
            p.agentStrategies[8].s1.searchProbs[0][0][0][0] = 0.5;
            p.agentStrategies[8].s1.searchProbs[0][0][0][1] = second;
        });
        fillMemories(w, 0.1, 0.1);
        const uint64_t state0 = testkit::stateOf(w.rs());
        w.agent->step(1);
        EXPECT_EQ(w.agent->curSearchMethod->srcMemory, memoryOf(w, second > 0.50001 ? Priv : Pub));
        EXPECT_EQ(testkit::stateOf(w.rs()), state0);
    }
}

TEST(TableDecisionTest, DecisionsAtPhaseStartsOrEveryStep) {
    for (bool everyStep : {false, true}) {
        World w([&](SimuParameters& p) {
            p.chooseActionEveryStep = everyStep;
            p.exploreSearchConfig.maxAttempts = 0;  // explore draws nothing
            for (int i = 0; i < 2; i++)
                for (int j = 0; j < 2; j++)
                    for (int k = 0; k < 2; k++)
                        for (int l = 0; l < 2; l++) p.generalStrategy.s1.searchProbs[i][j][k][l] = 0.25;
        });
        fillMemories(w, 0.6, 0.4);
        for (int step = 0; step < 12; step++) {
            const uint64_t before = testkit::stateOf(w.rs());
            const int writes = fullStep(w);
            const int decisions = (everyStep || step % 5 == 0) ? 1 : 0;
            EXPECT_EQ(testkit::drawsBetween(before, testkit::stateOf(w.rs())), decisions + writes)
                << "step " << step << (everyStep ? " (every step)" : "");
            if (everyStep) {
                EXPECT_TRUE(w.agent->curSearchMethod->alwaysStartWithNewPoint);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Network decisions

namespace {

const std::vector<double> kW0 = {0.05, -0.04, 0.06, 0.11, -0.09, 0.07};
const double kB0 = 0.1;
const std::vector<double> kW1 = {0.08, 0.3, -0.2, 0.13, 0.09, 0.21};
const double kB1 = 0.05;

// The agent state of the network tests: public best 0.7, private 0.3, group 0.55 with four
// fitness levels give 3, 1 and 3; the phase is 3 steps in (p = 0.5); agent 6 in groups of
// 4 is second-to-last in its group (g = 2 * 2 / 3 - 1).
const double Y0 = 3, Y1 = 1, Y2 = 3, P = 0.5, G = 2.0 * 2 / 3 - 1;

// Inputs of each search action per type, padded to six values.
std::vector<std::vector<double>> searchInputs(StrategyType t) {
    switch (t) {
        case StrategyType0:
            return {{Y0, Y1, -1, -1, 0, 0}, {Y0, Y1, -1, 1, 0, 0}, {Y0, Y1, 1, -1, 0, 0}, {Y0, Y1, 1, 1, 0, 0}};
        case StrategyType2:
            return {{Y0, Y1, Y2, -1, -1, 0}, {Y0, Y1, Y2, -1, 0, 0}, {Y0, Y1, Y2, -1, 1, 0},
                    {Y0, Y1, Y2, 1, -1, 0},  {Y0, Y1, Y2, 1, 0, 0},  {Y0, Y1, Y2, 1, 1, 0}};
        case StrategyType3:
            return {{Y0, Y1, -1, -1, 0, 0}, {Y0, Y1, -1, 1, 0, 0}, {Y0, Y1, 1, -1, 0, 0},
                    {Y0, Y1, 1, 1, 0, 0},   {Y0, Y1, 0, 0, 0, 0}};
        case StrategyType4:
            return {{Y0, Y1, P, -1, -1, 0}, {Y0, Y1, P, -1, 1, 0}, {Y0, Y1, P, 1, -1, 0}, {Y0, Y1, P, 1, 1, 0}};
        case StrategyType5:
            return {{Y0, Y1, P, G, -1, -1}, {Y0, Y1, P, G, -1, 1}, {Y0, Y1, P, G, 1, -1}, {Y0, Y1, P, G, 1, 1}};
        case StrategyType6:
            return {{Y0, Y1, G, -1, -1, 0}, {Y0, Y1, G, -1, 1, 0}, {Y0, Y1, G, 1, -1, 0}, {Y0, Y1, G, 1, 1, 0}};
        default:
            return {};
    }
}

// Inputs of each place action per type for a point whose fitness input is y.
std::vector<std::vector<double>> placeInputs(StrategyType t, double y) {
    switch (t) {
        case StrategyType0:
        case StrategyType3:
            return {{y, 0, 0, -1, 0, 0}, {y, 0, 0, 1, 0, 0}};
        case StrategyType2:
            return {{y, 0, 0, 0, -1, 0}, {y, 0, 0, 0, 0, 0}, {y, 0, 0, 0, 1, 0}};
        case StrategyType4:
            return {{y, 0, P, 0, -1, 0}, {y, 0, P, 0, 1, 0}};
        case StrategyType5:
            return {{y, 0, P, G, 0, -1}, {y, 0, P, G, 0, 1}};
        case StrategyType6:
            return {{y, 0, G, 0, -1, 0}, {y, 0, G, 0, 1, 0}};
        default:
            return {};
    }
}

World networkWorld(StrategyType t) {
    return decisionWorld(t, [&](SimuParameters& p) {
        p.usingNNStrategy = true;
        p.NNFitnessDiscreteSteps = 4;
        p.generalStrategy.type = t;
        p.generalStrategy.nn = testkit::squareNet(kW0, kB0, kW1, kB1);
        p.agentStrategies[8].nn = testkit::squareNet(kW0, kB0, kW1, kB1);
    });
}

void setNetworkState(World& w) {
    fillMemories(w, 0.7, 0.3, 0.55);
    w.agent->phase.inPhaseSteps = 3;
    w.agent->phase.lastPoint = Point(5);
    w.agent->phase.lastPointFitness = w.f(Point(5));
}

// The roulette outcome for a draw r: the first action whose cumulative probability exceeds r.
int rouletteAction(const std::vector<double>& probs, double r) {
    double cum = 0;
    for (size_t i = 0; i < probs.size(); i++) {
        cum += probs[i];
        if (cum > r) return (int)i;
    }
    return (int)probs.size() - 1;
}

// Draws just below and just above every cumulative boundary of the distribution.
std::vector<double> boundaryDraws(const std::vector<double>& probs) {
    std::vector<double> r;
    double cum = 0;
    for (size_t i = 0; i + 1 < probs.size(); i++) {
        cum += probs[i];
        r.push_back(cum - 1e-9);
        r.push_back(cum + 1e-9);
    }
    return r;
}

}  // namespace

TEST(NetworkDecisionTest, EveryTypeFeedsItsInputsAndDrawsFromTheScores) {
    for (StrategyType t :
         {StrategyType0, StrategyType2, StrategyType3, StrategyType4, StrategyType5, StrategyType6}) {
        World w = networkWorld(t);
        setNetworkState(w);
        const auto inputs = searchInputs(t);
        const auto probs = testkit::expectedProbs(kW0, kB0, inputs);
        for (double r : boundaryDraws(probs)) {
            testkit::setNextDraw(w.rs(), r);
            const uint64_t expectedState = testkit::stateAfterDraws(w.rs(), 1);
            w.agent->curSearchMethod = nullptr;
            w.agent->step(1);
            expectAction(w, t, rouletteAction(probs, r), "type " + std::to_string(t) + " r " + std::to_string(r));
            EXPECT_EQ(testkit::stateOf(w.rs()), expectedState);
        }
        // The network still holds the inputs of the last action it scored.
        EXPECT_EQ(testkit::sensors(w.agent->strategyOthers[0].nn), inputs.back()) << "type " << t;
    }
}

TEST(NetworkDecisionTest, FitnessInputsWithoutLevelsAndAboveOne) {
    {
        World w = decisionWorld(StrategyType0, [](SimuParameters& p) {
            p.usingNNStrategy = true;
            p.NNFitnessDiscreteSteps = 0;
            p.agentStrategies[8].nn = testkit::squareNet(kW0, kB0, kW1, kB1);
        });
        fillMemories(w, 0.7, 0.3);
        w.agent->step(1);
        const auto in = testkit::sensors(w.agent->strategyOthers[0].nn);
        EXPECT_EQ(in[0], 2 * 0.7 - 1);
        EXPECT_EQ(in[1], 2 * 0.3 - 1);
    }
    {
        // A fitness above 1 counts as 0.999: floor(0.999 x 4) = 3, so the input is 5.
        World w = decisionWorld(StrategyType0, [](SimuParameters& p) {
            p.usingNNStrategy = true;
            p.NNFitnessDiscreteSteps = 4;
            p.agentStrategies[8].nn = testkit::squareNet(kW0, kB0, kW1, kB1);
        });
        fillMemories(w, 1.3, 0.26);
        w.agent->step(1);
        const auto in = testkit::sensors(w.agent->strategyOthers[0].nn);
        EXPECT_EQ(in[0], 5);
        EXPECT_EQ(in[1], 1);
    }
}

TEST(NetworkDecisionTest, TypesFourAndFiveDecideEveryStepTypeSixAtPhaseStarts) {
    for (StrategyType t : {StrategyType4, StrategyType5, StrategyType6}) {
        // Search scores (0.5 - 0.5 u)^2: only the exploit actions (u = -1) can be chosen.
        std::vector<double> w0(6, 0.0);
        w0[t == StrategyType5 ? 4 : 3] = -0.5;
        World w([&](SimuParameters& p) {
            p.usingNNStrategy = true;
            p.nAgents = 4;
            p.groupSize = 4;
            p.generalStrategy.type = t;
            p.generalStrategy.nn = testkit::squareNet(w0, 0.5, kW1, kB1);
        });
        fillMemories(w, 0.6, 0.4);
        for (int step = 0; step < 11; step++) {
            const uint64_t before = testkit::stateOf(w.rs());
            const int writes = fullStep(w);
            const int decisions = (t != StrategyType6 || step % 5 == 0) ? 1 : 0;
            EXPECT_EQ(testkit::drawsBetween(before, testkit::stateOf(w.rs())), decisions + writes)
                << "type " << t << " step " << step;
            EXPECT_EQ(w.agent->curSearchMethod->type, SearchTypeExploit);
            EXPECT_TRUE(w.agent->curSearchMethod->alwaysStartWithNewPoint);
        }
    }
}

TEST(NetworkDecisionDeathTest, TypesOneAndAboveSixAreRejected) {
    for (int type : {1, 7}) {
        World w([&](SimuParameters& p) {
            p.usingNNStrategy = true;
            p.generalStrategy.type = (StrategyType)type;
            p.generalStrategy.nn = testkit::squareNet(kW0, kB0, kW1, kB1);
        });
        fillMemories(w, 0.6, 0.4);
        EXPECT_EXIT(w.agent->step(0), testing::ExitedWithCode(1),
                    "ERROR at src/agent.cpp:[0-9]+:\nNN strategy type error, unimplemented type: " +
                        std::to_string(type) + "\n\n");
    }
}

TEST(NetworkPlaceDecisionTest, EveryTypeFeedsItsInputsAndDrawsFromTheScores) {
    const MemType places[7][3] = {{Pub, Priv}, {}, {Pub, Grp, Priv}, {Pub, Priv}, {Pub, Pub}, {Pub, Pub}, {Pub, Pub}};
    for (StrategyType t :
         {StrategyType0, StrategyType2, StrategyType3, StrategyType4, StrategyType5, StrategyType6}) {
        World w = networkWorld(t);
        setNetworkState(w);
        // Fitness 0.62 with four levels: floor(2.48) = 2, input 3.
        const auto inputs = placeInputs(t, 3);
        const auto probs = testkit::expectedProbs(kW1, kB1, inputs);
        for (double r : boundaryDraws(probs)) {
            testkit::setNextDraw(w.rs(), r);
            const uint64_t expectedState = testkit::stateAfterDraws(w.rs(), 1);
            EXPECT_EQ(w.exploit().probSelectMem(0.62), places[t][rouletteAction(probs, r)])
                << "type " << t << " r " << r;
            EXPECT_EQ(testkit::stateOf(w.rs()), expectedState);
        }
        EXPECT_EQ(testkit::sensors(w.agent->strategy.nn), inputs.back()) << "type " << t;
        w.exploit().probSelectMem(1.3);
        EXPECT_EQ(testkit::sensors(w.agent->strategy.nn)[0], 5) << "type " << t;
    }
}

// ---------------------------------------------------------------------------------------
// Step bookkeeping and fitness measures

TEST(AgentFitnessTest, AverageInPhaseDividesByTheStepsOfThePhaseSoFar) {
    World w([](SimuParameters&) {});
    w.agent->sumRealFitWithinPhase = 3.0;
    const struct {
        unsigned int step;
        double expected;
    } cases[] = {{7, 1.5}, {5, 0.6}, {6, 3.0}, {10, 0.6}, {0, 3.0}, {9, 0.75}};
    for (const auto& c : cases) {
        w.sim->curStep = c.step;
        EXPECT_EQ(w.agent->calcFitness(FitTypeAvgInPhaseReal), c.expected) << "step " << c.step;
        EXPECT_EQ(w.agent->getLastFitness(FitTypeAvgInPhaseReal), c.expected);
    }
}

TEST(AgentFitnessTest, BestMemoryFitnessIncludesTheGroupAndIsNeverNegative) {
    World w([](SimuParameters&) {}, true);
    fillMemories(w, 0.3, 0.6, 0.45);
    EXPECT_EQ(w.agent->calcFitness(FitTypeMaxMemFinal), 0.6);
    w.grp->addPoint(Point(1), 0.8, VisitTypeStep);
    EXPECT_EQ(w.agent->calcFitness(FitTypeMaxMemFinal), 0.8);

    World neg([](SimuParameters&) {});
    fillMemories(neg, -0.3, -0.1);
    EXPECT_EQ(neg.agent->calcFitness(FitTypeMaxMemFinal), 0.0);
    neg.agent->totalRunFitness = 1.0;
    neg.agent->calcAddToRunFitness(FitTypeMaxMemFinal);
    EXPECT_EQ(neg.agent->getTotalRunFitness(), 1.0);
}

TEST(AgentFitnessTest, StepsAccumulateRealFitnessAndPhaseBests) {
    World w([](SimuParameters& p) { p.n = 8; });
    fillMemories(w, 0.2, 0.1);
    w.sim->visualizationOn = true;
    double sumReal = 0, sumBest = 0;
    std::vector<int> history;
    for (int step = 0; step < 12; step++) {
        if (w.agent->phase.inPhaseSteps == 0) sumReal = 0;
        const int stamp0 = w.stamp();
        w.agent->step(0);
        // Exploit evaluates each of its distinct points once; the agent adds one uncounted look-up.
        EXPECT_EQ(w.stamp() - stamp0, (int)w.agent->searchPoints.size() + 1);
        const Point at = w.agent->phase.lastPoint;
        sumReal += w.f(at);
        if (w.agent->phase.inPhaseSteps == 0) sumBest += w.agent->phase.bestFitWithinPhase;
        if (history.empty() || history.back() != at.values) history.push_back(at.values);
        EXPECT_EQ(w.agent->sumRealFitWithinPhase, sumReal) << "step " << step;
        EXPECT_EQ(w.agent->sumBestFitWithinPhase, sumBest) << "step " << step;

        EXPECT_EQ(w.agent->calcFitness(FitTypeMaxInCurStepReal), w.f(at));
        EXPECT_EQ(w.agent->calcFitness(FitTypeMaxInCurStep), w.agent->phase.lastPointFitness);
        EXPECT_EQ(w.agent->calcFitness(FitTypeMaxInPhaseLast), w.agent->phase.bestFitWithinPhase);
        EXPECT_EQ(w.agent->calcFitness(FitTypeMaxInPhaseAvg), 0.0);
        w.land().visitQueuedPoints();
        w.pub->addQueuedPoints();
        w.agent->postStep();
        w.sim->curStep++;
    }
    EXPECT_EQ(values(w.agent->pointHistory), history);
}

// ---------------------------------------------------------------------------------------
// Compared strategies

TEST(ComparedStrategyTest, ReplaysTheNeighbourhoodWithItsOwnParametersAndWritesNothing) {
    for (int depth : {1, 2}) {
        World w([&](SimuParameters& p) {
            p.nAgents = 3;
            p.nExtraStrategies = 1;
            // The compared strategy (key nAgents) exploits from the private memory.
            for (int i = 0; i < 2; i++)
                for (int j = 0; j < 2; j++) p.agentStrategies[3].s1.searchProbs[i][j][0][1] = 1;
            p.agentCustomParams[3].exploitSearchConfig.useAllAttempts = true;
            p.agentCustomParams[3].exploitSearchConfig.maxTreeDepth = depth;
            p.agentCustomParams[1].exploitSearchConfig.maxTreeDepth = 3;  // agent 1's, not ours
        });
        // A private start with a better first neighbour: the agent's own settings would stop there.
        Point s;
        for (long v = 0; v < 64; v++)
            if (w.f(Point(v, 0)) > w.f(Point(v))) {
                s = Point(v);
                break;
            }
        w.pub->addPoint(Point(50), 0.4, VisitTypeInit);
        w.agent->privateMemory.addPoint(s, 0.9, VisitTypeInit);
        w.agent->searchPoints = {Point(61)};
        const int stamp0 = w.stamp();
        const uint64_t expectedState = testkit::stateAfterDraws(w.rs(), 1);  // the decision only

        w.agent->step(1);

        std::set<int> expected;
        for (long q = 0; q < 64; q++)
            if (Point(q).hammingDist(s) <= depth) expected.insert((int)q);
        const auto got = values(w.agent->searchPointsOthers[0]);
        EXPECT_EQ(std::set<int>(got.begin(), got.end()), expected) << "depth " << depth;
        EXPECT_EQ(got.size(), expected.size());
        EXPECT_EQ(got.front(), s.values);
        const int treeEvals = depth == 2 ? 6 + 6 * 7 : 0;
        EXPECT_EQ(w.stamp() - stamp0, 1 + 6 + treeEvals);
        EXPECT_EQ(testkit::stateOf(w.rs()), expectedState);

        EXPECT_EQ(values(w.agent->searchPoints), std::vector<int>{61});
        EXPECT_TRUE(w.pub->queuedPoints.empty());
        EXPECT_TRUE(w.agent->privateMemory.queuedPoints.empty());
        EXPECT_TRUE(w.land().queuedVisitPoints.empty());
        EXPECT_EQ(w.sim->countedEvals[0], 0);
        const SearchPhase& ph = w.agent->phase;
        EXPECT_EQ(ph.searchStartPoint, s);
        EXPECT_EQ(ph.inPhaseSteps, 0u);
        EXPECT_EQ(ph.lastPoint, Point());
        EXPECT_EQ(w.agent->privateMemory.getBestPoint().fitness, 0.9);
    }
}

TEST(ComparedStrategyTest, EqualNeighboursDoNotEndTheScan) {
    World w([](SimuParameters& p) {
        p.fitnessStretchCoef = 0;
        p.nExtraStrategies = 1;
        p.agentStrategies[1] = p.generalStrategy;
    });
    fillMemories(w, 0.5, 0.5);
    w.agent->step(1);
    EXPECT_EQ(w.agent->searchPointsOthers[0].size(), 1u + 6u);
}

TEST(ComparedStrategyTest, NothingHappensWhileWaiting) {
    World w([](SimuParameters& p) { p.nExtraStrategies = 1; });
    fillMemories(w, 0.5, 0.5);
    w.agent->step(0);
    w.agent->phase.waiting = true;
    w.agent->searchPointsOthers[0] = {Point(1)};
    const int stamp0 = w.stamp();
    w.agent->step(1);
    EXPECT_EQ(w.stamp(), stamp0);
    EXPECT_TRUE(w.agent->searchPointsOthers[0].empty());
}

// ---------------------------------------------------------------------------------------
// Action-probability check

namespace {

struct Printed {
    bool ok;
    std::string out, err;
};

Printed printProbs(World& w, int outputId, const std::vector<double>& state) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const bool ok = w.agent->printNNStrategyActionProbs(outputId, state);
    Printed p{ok, "", ""};
    p.out = testing::internal::GetCapturedStdout();
    p.err = testing::internal::GetCapturedStderr();
    return p;
}

std::string lines(const std::vector<double>& probs) {
    std::string s;
    char buf[64];
    for (size_t a = 0; a < probs.size(); a++) {
        snprintf(buf, sizeof buf, "%d %.6f\n", (int)a, probs[a]);
        s += buf;
    }
    return s;
}

World printWorld(StrategyType t) {
    return World([=](SimuParameters& p) {
        p.usingNNStrategy = true;
        p.generalStrategy.type = t;
        p.generalStrategy.nn = testkit::squareNet(kW0, kB0, kW1, kB1);
    });
}

}  // namespace

TEST(ActionProbabilityCheckTest, RejectsAWrongOutputIdAndTooFewInputs) {
    World w = printWorld(StrategyType5);
    Printed p = printProbs(w, 2, {0.1, 0.2, 0.3, 0.4});
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.err, "Error: Wrong output id!\n");
    EXPECT_EQ(p.out, "");
    p = printProbs(w, 0, {0.1, 0.2, 0.3});
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.err, "Error: Too few inputs!\n");
    p = printProbs(w, 1, {0.1, 0.2});
    EXPECT_EQ(p.err, "Error: Too few inputs!\n");
    p = printProbs(w, 1, {0.1, 0.2, 0.3});
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.err, "");

    World w0 = printWorld(StrategyType0);
    EXPECT_EQ(printProbs(w0, 0, {0.9}).err, "Error: Too few inputs!\n");
    EXPECT_EQ(printProbs(w0, 1, {}).err, "Error: Too few inputs!\n");
    EXPECT_TRUE(printProbs(w0, 1, {0.9}).ok);
}

TEST(ActionProbabilityCheckTest, PrintsTheScoresOfEveryAction) {
    // With two levels 0.7 and 0.999 become +1, 0.2 becomes -1.
    {
        World w = printWorld(StrategyType0);
        Printed p = printProbs(w, 0, {0.7, 0.2});
        EXPECT_TRUE(p.ok);
        EXPECT_EQ(p.out, lines(testkit::expectedProbs(kW0, kB0,
                                                      {{1, -1, -1, -1}, {1, -1, -1, 1}, {1, -1, 1, -1}, {1, -1, 1, 1}})));
        p = printProbs(w, 1, {0.2});
        EXPECT_EQ(p.out, lines(testkit::expectedProbs(kW1, kB1, {{-1, 0, 0, -1}, {-1, 0, 0, 1}})));
    }
    {
        World w = printWorld(StrategyType2);
        Printed p = printProbs(w, 0, {0.7, 0.2, 0.999});
        EXPECT_EQ(p.out, lines(testkit::expectedProbs(kW0, kB0,
                                                      {{1, -1, 1, -1, -1},
                                                       {1, -1, 1, -1, 0},
                                                       {1, -1, 1, -1, 1},
                                                       {1, -1, 1, 1, -1},
                                                       {1, -1, 1, 1, 0},
                                                       {1, -1, 1, 1, 1}})));
        p = printProbs(w, 1, {0.7});
        EXPECT_EQ(p.out, lines(testkit::expectedProbs(kW1, kB1, {{1, 0, 0, 0, -1}, {1, 0, 0, 0, 0}, {1, 0, 0, 0, 1}})));
    }
    {
        World w = printWorld(StrategyType3);
        Printed p = printProbs(w, 0, {0.2, 0.2});
        EXPECT_EQ(p.out, lines(testkit::expectedProbs(
                             kW0, kB0,
                             {{-1, -1, -1, -1}, {-1, -1, -1, 1}, {-1, -1, 1, -1}, {-1, -1, 1, 1}, {-1, -1, 0, 0}})));
    }
    {
        World w = printWorld(StrategyType5);
        Printed p = printProbs(w, 0, {0.7, 0.2, 0.6, 0.1});
        EXPECT_EQ(p.out, lines(testkit::expectedProbs(kW0, kB0,
                                                      {{1, -1, 1, -1, -1, -1},
                                                       {1, -1, 1, -1, -1, 1},
                                                       {1, -1, 1, -1, 1, -1},
                                                       {1, -1, 1, -1, 1, 1}})));
        p = printProbs(w, 1, {0.7, 0.2, 0.6});
        EXPECT_EQ(p.out,
                  lines(testkit::expectedProbs(kW1, kB1, {{1, 0, -1, 1, 0, -1}, {1, 0, -1, 1, 0, 1}})));
    }
    {
        World w = printWorld(StrategyType6);
        Printed p = printProbs(w, 1, {0.7, 0.6});
        EXPECT_EQ(p.out, lines(testkit::expectedProbs(kW1, kB1, {{1, 0, 1, 0, -1}, {1, 0, 1, 0, 1}})));
    }
}

TEST(ActionProbabilityCheckDeathTest, TypeOneEndsTheProgram) {
    World w = printWorld(StrategyType1);
    EXPECT_EXIT(w.agent->printNNStrategyActionProbs(0, {0.5, 0.5, 0.5}), testing::ExitedWithCode(1),
                "NN strategy type error, unimplemented type: 1\n\n");
}
