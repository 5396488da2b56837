// The small simulation most driver and view tests start from: N bits, K = 2, one fitness
// group of all agents, uniform strategy tables, fixed seeds. Tests change what they need.
#pragma once

#include "params.h"

inline void smallSimulationSetup(SimuParameters& p, unsigned int n, int nAgents) {
    p.n = n;
    p.k = 2;
    p.nPoints = 1ul << p.n;
    p.nContexts = 1ul << p.k;
    p.nAgents = nAgents;
    p.nRuns = 1;
    p.maxTotalSteps = 20;
    p.lastStepsUsedForFitness = 5;
    p.nFitnessGroups = 1;
    p.firstFitnessAgent[0] = 0;
    p.lastFitnessAgent[0] = nAgents - 1;
    p.initialPrivateMemSize = 3;
    p.initialPublicMemSize = 4;
    p.maxMemSize = 2147483647;
    p.flockingRadius = 1;
    p.flockingIntensity = 0.9;
    p.generalCustomParams.exploitSearchConfig.maxSteps = 5;
    p.exploreSearchConfig.maxSteps = 5;
    p.exploreSearchConfig.maxAttempts = 3;
    p.exploreSearchConfig.rangeLow = 0.1;
    p.exploreSearchConfig.rangeHigh = 0.4;
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++) {
            for (int m = 0; m < 2; m++)
                for (int a = 0; a < 2; a++) p.generalStrategy.s1.searchProbs[i][j][m][a] = 0.25;
            p.generalStrategy.s2.placeProbs[i][j] = 0.5;
        }
    p.landscapeseed = 5;
    p.startseed = 6;
    p.searchseed = 7;
}
