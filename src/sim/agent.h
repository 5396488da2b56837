// An agent: its memories, strategy decisions, search methods and fitness measures.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "constants.h"
#include "inline.h"
#include "memory.h"
#include "params.h"
#include "pointtable.h"
#include "search.h"
#include "strategy.h"

class Simulation;
class Landscape;

class Agent {
public:
    int id;
    Simulation& simulation;
    const SimuParameters& params;
    Landscape& landscape;
    std::vector<Memory*> memory;  // indexed by MemType: public, private, group (or null)
    Memory privateMemory;
    AgentStrategy strategy;
    AgentStrategy strategyOthers[2];
    unsigned short* initMemRandomState;
    unsigned short* searchRandomState;
    std::unique_ptr<SearchMethod> searchMethods[SearchTypeNum];
    SearchMethod* curSearchMethod;  // one of searchMethods
    const unsigned int& curStep;
    double sumRealFitWithinPhase;
    double lastFitness[FitTypeNum];
    std::vector<double> fitnessValues;  // the shown fitness after each step (visual mode's plot)
    double totalRunFitness;
    std::vector<Point> pointHistory;
    std::vector<Point> searchPoints;
    std::vector<Point> searchPointsOthers[2];
    SearchPhase phase;

    Agent(int id, Simulation& simulation, const SimuParameters& params, Landscape& landscape, Memory* publicMemory,
          Memory* groupMemory, unsigned short* initMemRandomState, unsigned short* searchRandomState,
          const unsigned int& curStep);
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    void initRun();
    void step(int stgId);
    void postStep();

    const Memory& getMemory(MemType type) const { return *memory[type]; }
    double calcFitness(FitType type);
    void calcAddToRunFitness(FitType type) { totalRunFitness += calcFitness(type); }
    void updateFitnessValues() { fitnessValues.push_back(lastFitness[FitTypeMaxInCurStepReal]); }

    void addSearchPoint(const Point& p);
    void addSearchPointOthers(const Point& p, int i);

    // Scores every action of the agent's network strategy for the given state values;
    // returns false (after a message) when the request is invalid.
    bool printNNStrategyActionProbs(int outputId, std::vector<double> stateInputs);

    int getId() const { return id; }
    unsigned short* getSearchRandomState() const { return searchRandomState; }
    SearchType getCurSearchType() const { return curSearchMethod ? curSearchMethod->type : SearchTypeExploit; }
    const Point& getBestPointInPhase() const { return phase.bestPointWithinPhase; }
    double getBestFitnessInPhase() const { return phase.bestFitWithinPhase; }
    const Point& getLastPoint() const { return phase.lastPoint; }
    double getLastPointFitness() const { return phase.lastPointFitness; }
    const Point& getPrevLastPoint() const { return phase.lastPointPrev; }
    const Point& getSearchStartPoint() const { return phase.searchStartPoint; }
    const std::vector<Point>& getPointHistory() const { return pointHistory; }
    const std::vector<Point>& getSearchPoints() const { return searchPoints; }
    const std::vector<Point>& getSearchPointsOfOthers(int i) const { return searchPointsOthers[i]; }
    const AgentStrategy& getStrategy() const { return strategy; }
    const AgentStrategyS2& getStrategyS2() const { return strategy.s2; }
    const std::vector<double>& getFitnessValues() const { return fitnessValues; }
    double getTotalRunFitness() const { return totalRunFitness; }
    double getLastFitness(FitType t) const { return lastFitness[t]; }
    bool wasWaiting() const { return phase.wasWaitingLastStep; }

    // What the agent's network decisions see besides fitness: its progress through the phase
    // and its position in its group. The caller adds the fitness inputs.
    strategy::NetworkState networkContext() const;

private:
    // Distinct-point indexes beside searchPoints and searchPointsOthers, for lists too long
    // to search (addDistinct).
    PointTable<uint8_t> searchPointSet;
    PointTable<uint8_t> searchPointSetOthers[2];

    // Chooses search method and source memory from the acting strategy (network or table).
    void decide(const AgentStrategy& s);
    // Search-action weights from the strategy's network or its S1 table.
    void networkSearchWeights(const AgentStrategy& s, double pubBest, double privBest, double* weights) const;
    void tableSearchWeights(const AgentStrategy& s, double pubBest, double privBest, double* weights) const;
    // Makes the chosen action's method current and sets its source memories.
    void applySearchAction(const AgentStrategy& s, int action, double pubBest, double privBest);
};
