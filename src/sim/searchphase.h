// A search phase: a few steps of one search method, with its best point and the waiting rule.
#pragma once

#include "inline.h"

// Every agent searches in phases of this many steps.
constexpr int kPhaseSteps = 5;

class SearchPhase {
public:
    // `waitingEnabled` is the run's setting, fixed for the run: it is kept, not looked up each step.
    SearchPhase(int numSteps, bool waitingEnabled);
    void preStep();
    void postStep(bool improvedThisStep);

    unsigned int numSteps() const { return numSteps_; }
    // Steps taken in the current phase; 0 at a phase's first step.
    unsigned int inPhaseSteps() const { return inPhaseSteps_; }
    bool isWaiting() const { return waiting_; }
    bool wasWaitingLastStep() const { return wasWaitingLastStep_; }
    // Where the agent stands, with the fitness it took for it, and where it stood a step before.
    const Point& lastPoint() const { return lastPoint_; }
    double lastPointFitness() const { return lastPointFitness_; }
    const Point& prevLastPoint() const { return lastPointPrev_; }
    // Where the exploit search last started anew from its source memory's best point.
    const Point& searchStartPoint() const { return searchStartPoint_; }
    // The best point of the phase so far.
    const Point& bestPoint() const { return bestPointWithinPhase_; }
    double bestFitness() const { return bestFitWithinPhase_; }

    // A step ends at `point`: the point stood on so far becomes the previous one.
    void moveTo(const Point& point, double fitness) {
        lastPointPrev_ = lastPoint_;
        lastPoint_ = point;
        lastPointFitness_ = fitness;
    }
    void setBest(const Point& point, double fitness) {
        bestFitWithinPhase_ = fitness;
        bestPointWithinPhase_ = point;
    }
    // The phase best was evaluated afresh, lower than it was recorded.
    void setBestFitness(double fitness) { bestFitWithinPhase_ = fitness; }
    void setSearchStartPoint(const Point& point) { searchStartPoint_ = point; }
    // A run starts with no point stood on.
    void resetLastPoints() {
        lastPointFitness_ = 0.0;
        lastPoint_ = Point();
        lastPointPrev_ = Point();
    }
    // Tests put an agent in the middle of a phase, at a point.
    void setInPhaseSteps(unsigned int steps) { inPhaseSteps_ = steps; }
    void setLastPoint(const Point& point, double fitness) {
        lastPoint_ = point;
        lastPointFitness_ = fitness;
    }

private:
    unsigned int numSteps_;
    bool waitingEnabled_;
    bool waiting_;
    bool wasWaitingLastStep_;
    unsigned int inPhaseSteps_;
    Point lastPoint_;
    Point lastPointPrev_;
    double lastPointFitness_;
    Point searchStartPoint_;
    Point bestPointWithinPhase_;
    double bestFitWithinPhase_;
};
