// Search phases and the three search methods: exploit (local tree search), explore
// (random jump) and recombination.
#pragma once

#include <vector>

#include "constants.h"
#include "inline.h"
#include "params.h"

class Simulation;
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
    Simulation& simulation;
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

    SearchMethod(Simulation& simulation, Landscape& landscape, Agent& owner, const SimuParameters& params,
                 const std::vector<Memory*>& memoryVector, const unsigned int& curStep, SearchPhase& phase);
    virtual ~SearchMethod() = default;
    virtual void step();
    virtual void stepOtherStrategies(int stgId);

    void setSrcMemory(MemType memType);
    void setSrcMemories(MemType memType1, MemType memType2);
    MemType probSelectMem(double pointFitness);

protected:
    // Frame stages 3-6: start point, refresh, phase best, revisit store. Returns whether
    // this is a new start.
    bool prepareStartPoint(Point& curPoint, double& curFitness);
    // Frame stage 9 on improvement.
    void acceptImprovement(const Point& bestPoint, double bestFitness, Point& curPoint, double& curFitness);
    // Frame stage 10.
    void finishStep(const Point& curPoint, double curFitness, bool improved);
    // A lateral move to an equally good point (by quantization); not an improvement.
    void lateralMove(const Point& bestPoint, double bestFitness, Point& curPoint, double& curFitness);
};

class SearchRandomLocal : public SearchMethod {
public:
    const SearchPhaseConfig& phaseConfig;
    Permutation searchPermutation;
    Point chosenPoint;
    double bestValue;
    Point bestTreePoint;

    SearchRandomLocal(Simulation& simulation, Landscape& landscape, Agent& owner, const SimuParameters& params,
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

    SearchRandomJump(Simulation& simulation, Landscape& landscape, Agent& owner, const SimuParameters& params,
                     const SearchPhaseConfigRange& phaseConfigRange, const std::vector<Memory*>& memoryVector,
                     const unsigned int& curStep, SearchPhase& phase);
    void step() override;
};

class SearchRecombination : public SearchMethod {
public:
    const SearchPhaseConfigRecomb& phaseConfig;

    SearchRecombination(Simulation& simulation, Landscape& landscape, Agent& owner, const SimuParameters& params,
                        const SearchPhaseConfigRecomb& phaseConfig, const std::vector<Memory*>& memoryVector,
                        const unsigned int& curStep, SearchPhase& phase);
    void step() override;
};
