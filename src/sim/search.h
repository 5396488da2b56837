// The step frame shared by the search methods and the three search methods: exploit (local
// tree search), explore (random jump) and recombination.
#pragma once

#include <vector>

#include "constants.h"
#include "inline.h"
#include "params.h"
#include "runcontext.h"
#include "searchsubject.h"

class Landscape;
class Memory;

class SearchMethod {
public:
    SearchMethod(RunContext& run, SearchSubject& subject);
    virtual ~SearchMethod() = default;
    virtual void step();
    virtual void stepOtherStrategies(int stgId);

    void setSrcMemory(MemType memType);
    void setSrcMemories(MemType memType1, MemType memType2);
    MemType probSelectMem(double pointFitness);

    SearchType getType() const { return type; }
    const Memory* getSrcMemory() const { return srcMemory; }
    const Memory* getSrcMemory2() const { return srcMemory2; }
    // Whether every step starts from the source memory's best point, not only a phase's first.
    bool startsEveryStepAnew() const { return alwaysStartWithNewPoint; }
    void setStartEveryStepAnew(bool anew) { alwaysStartWithNewPoint = anew; }
    // Where the last step started, as the per-agent output tells it: the source memory's
    // best point (anew) or where the agent stood. Nothing in the run reads these.
    bool startedAnew() const { return startedAnew_; }
    MemType getSrcMemType() const { return srcMemType; }

protected:
    RunContext& run;
    SearchSubject& subject;
    SearchType type;
    Memory* srcMemory;
    Memory* srcMemory2;
    bool alwaysStartWithNewPoint;
    MemType srcMemType = MemTypePublic;
    bool startedAnew_ = false;

    // The steps and the tree search read these two through locals: they call out to the
    // landscape between reads, after which the context's fields would be fetched again.
    const SimuParameters& params() const { return run.params(); }
    Landscape& landscape() const { return run.landscape(); }
    SearchPhase& phase() { return subject.phase(); }

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
    // Its settings are the owner's custom parameters (or a compared strategy's), read each step.
    SearchRandomLocal(RunContext& run, SearchSubject& subject);
    void step() override;
    void stepOtherStrategies(int stgId) override;
    // The look-ahead's best first move and the value of its best path, of the last step.
    const Point& getBestTreePoint() const { return bestTreePoint; }
    double getBestTreeValue() const { return bestValue; }

private:
    Point chosenPoint;
    double bestValue;
    Point bestTreePoint;

    double treeSearch(const Point& curPoint, int depth, double accumRewards, const CustomParameters& cp, int stgId,
                      double curPointFitness);
    void considerPoint(const Point& searchPoint, int depth, double accumRewards, const CustomParameters& cp,
                       double& max, int stgId, double curPointFitness);
};

class SearchRandomJump : public SearchMethod {
public:
    SearchRandomJump(RunContext& run, SearchSubject& subject);
    void step() override;

private:
    const SearchPhaseConfigRange& phaseConfigRange() const { return params().exploreSearchConfig; }
};

class SearchRecombination : public SearchMethod {
public:
    SearchRecombination(RunContext& run, SearchSubject& subject);
    void step() override;

private:
    const SearchPhaseConfigRecomb& phaseConfig() const { return params().recombSearchConfig; }
};
