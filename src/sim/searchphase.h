// A search phase: a few steps of one search method, with its best point and the waiting rule.
#pragma once

#include "inline.h"
#include "params.h"

// Every agent searches in phases of this many steps.
constexpr int kPhaseSteps = 5;

class SearchPhase {
public:
    unsigned int numSteps;
    bool waiting;
    bool wasWaitingLastStep;
    unsigned int inPhaseSteps;
    Point lastPoint;
    Point lastPointPrev;
    double lastPointFitness;
    Point searchStartPoint;
    Point bestPointWithinPhase;
    double bestFitWithinPhase;
    const SimuParameters& params;

    SearchPhase(int numSteps, const SimuParameters& params);
    void preStep();
    void postStep(bool improvedThisStep);
};
