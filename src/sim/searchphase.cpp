// The phase of a search: its steps, its best point and whether the agent waits.
#include "searchphase.h"

SearchPhase::SearchPhase(int numSteps, const SimuParameters& params)
    : numSteps((unsigned int)numSteps),
      waiting(false),
      wasWaitingLastStep(false),
      inPhaseSteps(0),
      lastPointFitness(0.0),
      bestFitWithinPhase(0.0),
      params(params) {}

void SearchPhase::preStep() {
    if (inPhaseSteps == 0) {
        bestFitWithinPhase = 0.0;
        bestPointWithinPhase = Point(0L);
    }
}

void SearchPhase::postStep(bool improvedThisStep) {
    wasWaitingLastStep = waiting;
    if (params.waitingEnabled && !waiting && !improvedThisStep && inPhaseSteps < numSteps) waiting = true;
    inPhaseSteps++;
    if (inPhaseSteps >= numSteps) {
        inPhaseSteps = 0;
        waiting = false;
    }
}
