// An agent: its memories, strategy decisions, search methods and fitness measures.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "constants.h"
#include "inline.h"
#include "memory.h"
#include "params.h"
#include "runcontext.h"
#include "search.h"
#include "searchsubject.h"
#include "strategy.h"

class Agent {
public:
    // `publicMemory` and `groupMemory` (null without groups) are the run's, shared with others.
    Agent(int id, RunContext& run, Memory* publicMemory, Memory* groupMemory);
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    void initRun();
    void step(int stgId);
    // The next step decides its search afresh, as the first step of a run does.
    void forgetDecision() { curSearchMethod = nullptr; }
    void postStep();

    double calcFitness(FitType type);
    void calcAddToRunFitness(FitType type) { totalRunFitness += calcFitness(type); }
    void updateFitnessValues() { fitnessValues.push_back(lastFitness[FitTypeMaxInCurStepReal]); }

    // Every action's probability under the agent's network strategy for the given state
    // values (output 0: search actions, 1: place actions). A request the check cannot serve
    // returns nothing and says why in `refusal`.
    std::vector<double> actionProbabilities(int outputId, std::vector<double> stateInputs, std::string& refusal) const;

    int getId() const { return subject.id(); }
    // What the searches share with the agent; tests set up states through it.
    SearchSubject& searchSubject() { return subject; }
    SearchPhase& phase() { return subject.phase(); }
    const SearchPhase& phase() const { return subject.phase(); }
    Memory& getPrivateMemory() { return privateMemory; }
    const Memory& getMemory(MemType type) const { return *subject.memory(type); }
    SearchMethod* getCurSearchMethod() const { return curSearchMethod; }
    SearchMethod* getSearchMethod(SearchType type) const { return searchMethods[type].get(); }
    SearchType getCurSearchType() const { return curSearchMethod ? curSearchMethod->getType() : SearchTypeExploit; }
    const Point& getBestPointInPhase() const { return subject.phase().bestPoint(); }
    double getBestFitnessInPhase() const { return subject.phase().bestFitness(); }
    const Point& getLastPoint() const { return subject.phase().lastPoint(); }
    double getLastPointFitness() const { return subject.phase().lastPointFitness(); }
    const Point& getPrevLastPoint() const { return subject.phase().prevLastPoint(); }
    const Point& getSearchStartPoint() const { return subject.phase().searchStartPoint(); }
    const std::vector<Point>& getPointHistory() const { return pointHistory; }
    const std::vector<Point>& getSearchPoints() const { return subject.searchPoints(); }
    const std::vector<Point>& getSearchPointsOfOthers(int i) const { return subject.searchPointsOthers(i); }
    const AgentStrategy& getStrategy() const { return subject.strategy(); }
    const AgentStrategyS2& getStrategyS2() const { return subject.strategy().s2; }
    const std::vector<double>& getFitnessValues() const { return fitnessValues; }
    double getTotalRunFitness() const { return totalRunFitness; }
    double getLastFitness(FitType t) const { return lastFitness[t]; }
    bool wasWaiting() const { return subject.phase().wasWaitingLastStep(); }
    // For the per-agent output: the step (numbered from 1, as the series numbers them) in
    // which the agent last stepped with its own strategy, 0 before its first, and the search
    // type its decision then named (a recombination is carried out by the explore method).
    unsigned int lastOwnStep() const { return lastOwnStep_; }
    SearchType decidedSearchType() const { return decidedType; }

    // What the agent's network decisions see besides fitness: its progress through the phase
    // and its position in its group. The caller adds the fitness inputs.
    strategy::NetworkState networkContext() const { return subject.networkContext(run.params().groupSize); }

private:
    RunContext& run;
    Memory privateMemory;
    SearchSubject subject;
    std::unique_ptr<SearchMethod> searchMethods[SearchTypeNum];
    SearchMethod* curSearchMethod = nullptr;  // one of searchMethods
    SearchType decidedType = SearchTypeExploit;
    unsigned int lastOwnStep_ = 0;
    double sumRealFitWithinPhase = 0.0;
    double lastFitness[FitTypeNum] = {};
    std::vector<double> fitnessValues;  // the shown fitness after each step (visual mode's plot)
    double totalRunFitness = 0.0;
    std::vector<Point> pointHistory;  // kept in visual mode only

    // Chooses search method and source memory from the acting strategy (network or table).
    void decide(const AgentStrategy& s);
    // Search-action weights from the strategy's network or its S1 table.
    void networkSearchWeights(const AgentStrategy& s, double pubBest, double privBest, double* weights) const;
    void tableSearchWeights(const AgentStrategy& s, double pubBest, double privBest, double* weights) const;
    // Makes the chosen action's method current and sets its source memories.
    void applySearchAction(const AgentStrategy& s, int action, double pubBest, double privBest);
};
