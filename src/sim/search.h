// Search phases and the three search methods: exploit (local tree search), explore
// (random jump) and recombination.
#pragma once

#include <vector>

#include "constants.h"
#include "evalcounter.h"
#include "inline.h"
#include "params.h"

class Landscape;
class Memory;
class Agent;

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

class SearchMethod {
public:
    EvalCounter& evalCounter;
    Landscape& landscape;
    Agent& owner;
    SearchType type;
    const SimuParameters& params;
    const std::vector<Memory*>& memoryVector;
    Memory* srcMemory;
    Memory* srcMemory2;
    const unsigned int& curStep;
    SearchPhase& phase;
    bool alwaysStartWithNewPoint;

    SearchMethod(EvalCounter& evalCounter, Landscape& landscape, Agent& owner, const SimuParameters& params,
                 const std::vector<Memory*>& memoryVector, const unsigned int& curStep, SearchPhase& phase);
    virtual ~SearchMethod() = default;
    virtual void step();
    virtual void stepOtherStrategies(int stgId);

    void setSrcMemory(MemType memType);
    void setSrcMemories(MemType memType1, MemType memType2);
    MemType probSelectMem(double pointFitness);

protected:
    // A waiting agent only advances its phase (and may mark its point visited). Returns
    // whether the step was such a waiting step.
    bool waitingStep();
    // Start point, fitness refresh, phase best and the immediate store of a refreshed start
    // point. Returns whether this is a new start (from the source memory's best point).
    bool prepareStartPoint(Point& curPoint, double& curFitness);
    // Reports this step's distinct evaluated points to the evaluation budget.
    void countEvaluations();
    // Moves to a strictly better point: visit, phase best, memory write.
    void acceptImprovement(const Point& bestPoint, double bestFitness, Point& curPoint, double& curFitness);
    // Records where the agent stands and advances the phase.
    void finishStep(const Point& curPoint, double curFitness, bool improved);
    // A lateral move to an equally good point (by quantization); not an improvement.
    void lateralMove(const Point& bestPoint, double bestFitness, Point& curPoint, double& curFitness);
    // Whether the current and the best fitness fall into the same quantization level.
    bool quantizedEqual(double curFitness, double bestFitness) const;
    // Queues the point into the memory the place decision names for its fitness.
    void queuePoint(const Point& point, double fitness, VisitType visitType);

private:
    // Place-action weights of the owner's strategy for a point of the given fitness.
    void networkPlaceWeights(const AgentStrategy& s, double pointFitness, double* probs) const;
    void tablePlaceWeights(const AgentStrategy& s, double pointFitness, double* probs) const;
};

class SearchRandomLocal : public SearchMethod {
public:
    const SearchPhaseConfig& phaseConfig;
    Point chosenPoint;
    double bestValue;
    Point bestTreePoint;

    SearchRandomLocal(EvalCounter& evalCounter, Landscape& landscape, Agent& owner, const SimuParameters& params,
                      const SearchPhaseConfig& phaseConfig, const std::vector<Memory*>& memoryVector,
                      const unsigned int& curStep, SearchPhase& phase);
    void step() override;
    void stepOtherStrategies(int stgId) override;
    double treeSearch(const Point& curPoint, int depth, double accumRewards, const CustomParameters& cp, int stgId,
                      double curPointFitness);
    void considerPoint(const Point& searchPoint, int depth, double accumRewards, const CustomParameters& cp,
                       double& max, int stgId, double curPointFitness);
};

class SearchRandomJump : public SearchMethod {
public:
    const SearchPhaseConfigRange& phaseConfigRange;

    SearchRandomJump(EvalCounter& evalCounter, Landscape& landscape, Agent& owner, const SimuParameters& params,
                     const SearchPhaseConfigRange& phaseConfigRange, const std::vector<Memory*>& memoryVector,
                     const unsigned int& curStep, SearchPhase& phase);
    void step() override;
};

class SearchRecombination : public SearchMethod {
public:
    const SearchPhaseConfigRecomb& phaseConfig;

    SearchRecombination(EvalCounter& evalCounter, Landscape& landscape, Agent& owner, const SimuParameters& params,
                        const SearchPhaseConfigRecomb& phaseConfig, const std::vector<Memory*>& memoryVector,
                        const unsigned int& curStep, SearchPhase& phase);
    void step() override;
};
