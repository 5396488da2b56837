// Reading a point's current fitness for output (peekFitnessValue) gives what an evaluation
// would give and leaves no trace: a landscape that is read between evaluations evaluates
// exactly as one that is not, stamps included.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "landscape.h"

TEST(LandscapePeekTest, ReadingCurrentFitnessChangesNoLaterEvaluation) {
    // Tapered constant crowding, and decaying crowding with per-step limits.
    for (double decay : {0.0, 2.0}) {
        std::vector<std::string> names;
        SimuParameters params(names);
        params.n = 8;
        params.k = 3;
        params.flockingRadius = 2;
        params.flockingIntensity = 0.7;
        params.flockingIntensityEnd = 0.9;
        params.flockingIntensityDecay = decay;
        params.uniformFlocking = false;
        params.maxVisitsPerStep = 2;
        params.maxDropPerStep = 0.05;
        unsigned int step = 0;
        Landscape plain(params, step), read(params, step);
        plain.initRun(0);
        read.initRun(0);
        unsigned short draw[3] = {7, 8, 9};
        auto point = [&draw] { return Point(static_cast<int>(nrand48(draw) & 255)); };
        Point previous(0);
        for (step = 1; step <= 40; step++) {
            // A point read now, then crowded by a visit next to it, is evaluated in the next step.
            const Point peeked = point(), visited(peeked.values ^ (1 << (step % 8)));
            read.peekFitnessValue(peeked);
            for (Landscape* l : {&plain, &read}) l->visit(visited);
            const double value = read.peekFitnessValue(previous);
            EXPECT_EQ(read.getFitnessValue(previous), value);
            EXPECT_EQ(plain.getFitnessValue(previous), value) << "step " << step;
            ASSERT_EQ(read.curTimeStamp, plain.curTimeStamp);
            previous = peeked;
        }
    }
}
