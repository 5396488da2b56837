// The run driver: seeding and draw order at run start, the three stepping modes, the
// counting window of the fitness accounting, and the report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>

#include "agent.h"
#include "simulation.h"
#include "small_setup.h"

namespace {

void smallSetup(SimuParameters& p) {
    smallSimulationSetup(p, 8, 4);
    p.nRuns = 2;
    p.initialPrivateMemSize = 2;
    p.initialPublicMemSize = 3;
}

struct Fixture {
    std::vector<std::string> names;
    Simulation sim;
    explicit Fixture(const std::function<void(SimuParameters&)>& extra, bool stats = false)
        : sim(
              names,
              [&](SimuParameters& p) {
                  smallSetup(p);
                  extra(p);
              },
              stats) {}
    // Runs the batch and returns its report.
    std::string execute() {
        testing::internal::CaptureStdout();
        sim.execute();
        return testing::internal::GetCapturedStdout();
    }
};

void advance(unsigned short s[3], int draws) {
    for (int i = 0; i < draws; i++) erand48(s);
}

TEST(RunDriverTest, InitRunDrawsPublicThenGroupThenPrivateMemories) {
    Fixture f([](SimuParameters& p) {
        p.groupSize = 2;
        p.initialGroupsMemSize = 2;
    });
    f.sim.initRun();
    // 3 public + 2 groups x 2 + 4 agents x 2 points, each one draw from the start seed.
    unsigned short s[3] = {6, 6, 6};
    std::set<long> firstThree;
    for (int i = 0; i < 3; i++) firstThree.insert((long)(erand48(s) * 256));
    std::set<long> pub;
    for (const PointInfo* pi : f.sim.publicMemory->getPoints()) pub.insert(pi->point.values);
    EXPECT_EQ(pub, firstThree);
    advance(s, 4 + 8);
    EXPECT_EQ(f.sim.initMemRandomState[0], s[0]);
    EXPECT_EQ(f.sim.initMemRandomState[1], s[1]);
    EXPECT_EQ(f.sim.initMemRandomState[2], s[2]);
    ASSERT_EQ(f.sim.groupsMemory.size(), 2u);
    EXPECT_EQ(f.sim.agents[1]->memory[MemTypeGroup], f.sim.groupsMemory[0].get());
    EXPECT_EQ(f.sim.agents[2]->memory[MemTypeGroup], f.sim.groupsMemory[1].get());
}

TEST(RunDriverTest, NoGroupMemoriesForGroupSizeOne) {
    Fixture f([](SimuParameters& p) { p.groupSize = 1; });
    f.sim.initRun();
    EXPECT_TRUE(f.sim.groupsMemory.empty());
    for (auto& a : f.sim.agents) EXPECT_EQ(a->memory[MemTypeGroup], nullptr);
}

TEST(RunDriverTest, LaterRunsContinueTheStreams) {
    Fixture f([](SimuParameters&) {});
    f.sim.initRun();
    for (int i = 0; i < 3; i++) f.sim.executeOneStep();
    f.sim.finishRun();
    unsigned short search[3], init[3];
    std::copy(f.sim.searchRandomState, f.sim.searchRandomState + 3, search);
    std::copy(f.sim.initMemRandomState, f.sim.initMemRandomState + 3, init);
    f.sim.curRun = 1;
    f.sim.initRun();
    EXPECT_EQ(f.sim.curStep, 0u);
    // Run 1 is not reseeded: its initial memories draw on from where run 0 left the stream.
    advance(init, 3 + 4 * 2);
    EXPECT_TRUE(std::equal(init, init + 3, f.sim.initMemRandomState));
    EXPECT_TRUE(std::equal(search, search + 3, f.sim.searchRandomState));
}

TEST(RunDriverTest, StepBudgetHoldsBackAgentZeroOnly) {
    Fixture f([](SimuParameters& p) { p.evalsPerStepLimit = 2.5; });
    f.sim.initRun();
    int held = 0;
    for (int step = 0; step < 20; step++) {
        const int before = f.sim.countedEvals[0];
        const int budget = (int)(2.5 * f.sim.curStep);
        f.sim.executeOneStep();
        EXPECT_EQ(f.sim.groupActedThisStep[0], before <= budget) << "step " << step;
        if (step == 0) {
            EXPECT_TRUE(f.sim.groupActedThisStep[0]);
        }
        held += !f.sim.groupActedThisStep[0];
    }
    EXPECT_GT(held, 0);  // with several agents in group 0 the budget runs out
}

TEST(RunDriverTest, GroupTurnsKeepEvaluationCountsLevel) {
    Fixture f([](SimuParameters& p) {
        p.limitedEvalsFor2Groups = true;
        p.nFitnessGroups = 2;
        p.firstFitnessAgent[0] = 0;
        p.lastFitnessAgent[0] = 0;
        p.firstFitnessAgent[1] = 1;
        p.lastFitnessAgent[1] = 3;
    });
    f.sim.initRun();
    // Counts just below 2^31: a long run's counts pass it.
    f.sim.countedEvals[0] = f.sim.countedEvals[1] = INT32_MAX - 10;
    for (int step = 0; step < 20; step++) {
        const std::int64_t b0 = f.sim.countedEvals[0], b1 = f.sim.countedEvals[1];
        f.sim.executeOneStep();
        const int first = b1 < b0 ? 1 : 0;  // ties go to the lower group
        const int second = 1 - first;
        EXPECT_TRUE(f.sim.groupActedThisStep[first]);
        const std::int64_t secondBefore = second == 0 ? b0 : b1;
        EXPECT_EQ(f.sim.groupActedThisStep[second], secondBefore < f.sim.countedEvals[first]) << "step " << step;
    }
    EXPECT_GT(std::min(f.sim.countedEvals[0], f.sim.countedEvals[1]), (std::int64_t)INT32_MAX);
}

TEST(RunDriverTest, OnlyTheLastStepsAreCounted) {
    Fixture f([](SimuParameters& p) { p.agentsFitnessUseMax = true; }, true);
    f.sim.initRun();
    for (unsigned step = 1; step <= 20; step++) {
        const double before = f.sim.agents[0]->getTotalRunFitness();
        f.sim.executeOneStep();
        const bool counted = f.sim.agents[0]->getTotalRunFitness() != before;
        EXPECT_EQ(counted, step >= 16) << "step " << step;
    }
}

TEST(RunDriverTest, WindowLongerThanTheRunCountsNothing) {
    for (bool stats : {false, true}) {
        Fixture f([](SimuParameters& p) { p.lastStepsUsedForFitness = 25; }, stats);
        EXPECT_EQ(f.execute().substr(0, 9), "0.000000 ");
    }
}

TEST(RunDriverTest, OnlyGroupZeroIsScoredWithoutStatistics) {
    Fixture f([](SimuParameters& p) {
        p.nFitnessGroups = 2;
        p.lastFitnessAgent[0] = 1;
        p.firstFitnessAgent[1] = 2;
        p.lastFitnessAgent[1] = 3;
    });
    const std::string out = f.execute();
    ASSERT_EQ(out.size(), std::string("0.123456 0.000000 \n").size());
    EXPECT_EQ(out.substr(9), "0.000000 \n");
    EXPECT_NE(out.substr(0, 9), "0.000000 ");
}

TEST(RunDriverTest, StatisticsWithoutMaxRecordEachRunsMean) {
    Fixture f([](SimuParameters& p) { p.nRuns = 3; }, true);
    f.execute();
    ASSERT_EQ(f.sim.fitnessForRuns[0].size(), 3u);
    double mean = 0;
    for (double v : f.sim.fitnessForRuns[0]) mean += v;
    mean /= 3;
    EXPECT_NEAR(mean, f.sim.totalFitnessForAllRuns[0] / (5 * 3), 1e-12);
}

TEST(RunDriverTest, EvaluationLimitEndsTheRun) {
    Fixture f([](SimuParameters& p) {
        p.maxTotalEvals = 100;
        p.nRuns = 1;
    });
    f.execute();
    EXPECT_GE(f.sim.countedEvals[0], 100);
}

}  // namespace
