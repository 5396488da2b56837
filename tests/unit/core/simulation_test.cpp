// The run driver's group turns with evaluation counts beyond 32 bits. Seeding, draw order,
// step budgets and the accounting are checked by the golden runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "simulation.h"
#include "small_setup.h"

namespace {

TEST(RunDriverTest, GroupTurnsKeepEvaluationCountsLevel) {
    std::vector<std::string> names;
    Simulation sim(names, [](SimuParameters& p) {
        smallSimulationSetup(p, 8, 4);
        p.limitedEvalsFor2Groups = true;
        p.nFitnessGroups = 2;
        p.firstFitnessAgent[0] = 0;
        p.lastFitnessAgent[0] = 0;
        p.firstFitnessAgent[1] = 1;
        p.lastFitnessAgent[1] = 3;
    });
    sim.initRun();
    // Counts just below 2^31: a long run's counts pass it.
    sim.addCountedEvals(0, INT32_MAX - 10);  // agent 0 is group 0, agent 1 in group 1
    sim.addCountedEvals(1, INT32_MAX - 10);
    for (int step = 0; step < 20; step++) {
        const std::int64_t b0 = sim.getCountedEvals(0), b1 = sim.getCountedEvals(1);
        sim.executeOneStep();
        const int first = b1 < b0 ? 1 : 0;  // ties go to the lower group
        const int second = 1 - first;
        EXPECT_TRUE(sim.groupActed(first));
        const std::int64_t secondBefore = second == 0 ? b0 : b1;
        EXPECT_EQ(sim.groupActed(second), secondBefore < sim.getCountedEvals(first)) << "step " << step;
    }
    EXPECT_GT(std::min(sim.getCountedEvals(0), sim.getCountedEvals(1)), (std::int64_t)INT32_MAX);
}

}  // namespace
