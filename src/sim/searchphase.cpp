// The phase of a search: its steps, its best point and whether the agent waits.
#include "searchphase.h"

SearchPhase::SearchPhase(int numSteps, bool waitingEnabled)
    : numSteps_((unsigned int)numSteps),
      waitingEnabled_(waitingEnabled),
      waiting_(false),
      wasWaitingLastStep_(false),
      inPhaseSteps_(0),
      lastPointFitness_(0.0),
      bestFitWithinPhase_(0.0) {}

void SearchPhase::preStep() {
    if (inPhaseSteps_ == 0) {
        bestFitWithinPhase_ = 0.0;
        bestPointWithinPhase_ = Point(0L);
    }
}

void SearchPhase::postStep(bool improvedThisStep) {
    wasWaitingLastStep_ = waiting_;
    if (waitingEnabled_ && !waiting_ && !improvedThisStep && inPhaseSteps_ < numSteps_) waiting_ = true;
    inPhaseSteps_++;
    if (inPhaseSteps_ >= numSteps_) {
        inPhaseSteps_ = 0;
        waiting_ = false;
    }
}
