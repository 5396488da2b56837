// Search phases, the step frame shared by the search methods, the place decision, and
// the exploit, explore and recombination searches.
#include "search.h"

#include <algorithm>

#include "landscape.h"
#include "memory.h"
#include "strategy.h"
#include "util.h"

namespace {

// Reading the best of an empty memory has no meaning; fail loudly instead of reading garbage.
const PointInfo& bestOf(const Memory* m) {
    if (m == nullptr)
        NK_FATAL(Config, "Search from a memory that does not exist (StrategyType2 needs agents in groups)\n");
    if (m->getNumPoints() == 0)
        NK_FATAL(Config, "Search from an empty memory (initial memory sizes must be positive)\n");
    return m->getBestPoint();
}

}  // namespace

// ---------------------------------------------------------------------------------------
// SearchMethod: the frame and the place decision

SearchMethod::SearchMethod(RunContext& run, SearchSubject& subject)
    : run(run),
      subject(subject),
      type(SearchTypeExploit),
      srcMemory(nullptr),
      srcMemory2(nullptr),
      alwaysStartWithNewPoint(false) {}

void SearchMethod::step() {
    phase().preStep();
    phase().postStep(false);
}

void SearchMethod::stepOtherStrategies(int /*stgId*/) {}

void SearchMethod::setSrcMemory(MemType memType) {
    srcMemory = subject.memory(memType);
    srcMemType = memType;
}

void SearchMethod::setSrcMemories(MemType memType1, MemType memType2) {
    srcMemory = subject.memory(memType1);
    srcMemory2 = subject.memory(memType2);
    srcMemType = memType1;
}

MemType SearchMethod::probSelectMem(double pointFitness) {
    const SimuParameters& params = run.params();
    const AgentStrategy& s = subject.strategy();
    const int numActions = s.getNumMemTypesS2();
    double probs[3] = {0.0, 0.0, 0.0};
    if (params.usingNNStrategy)
        networkPlaceWeights(s, pointFitness, probs);
    else
        tablePlaceWeights(s, pointFitness, probs);
    const int action = strategy::chooseAction(numActions, probs, params.deterministicActions, run.searchStream());
    return strategyType(s.type).placeMemory[action];
}

void SearchMethod::networkPlaceWeights(const AgentStrategy& s, double pointFitness, double* probs) const {
    strategy::requireNetworkType(s.type);
    strategy::NetworkState state = subject.networkContext(params().groupSize);
    state.fitness[0] = strategy::fitnessInput(pointFitness, params().NNFitnessDiscreteSteps);
    strategy::scoreActions(s, strategy::OutputPlace, state, s.getNumMemTypesS2(), probs);
}

void SearchMethod::tablePlaceWeights(const AgentStrategy& s, double pointFitness, double* probs) const {
    const SimuParameters& params = run.params();
    const int numActions = s.getNumMemTypesS2();
    // Only StrategyType2 has three place actions, and its strategies are networks.
    if (numActions > 2)
        NK_FATAL(Internal, "Internal error: a table strategy of type %d has no third place probability\n", (int)s.type);
    const int c = pointFitness >= 0.5 ? CoarseValueHi : CoarseValueLo;
    const double* row = s.s2.placeProbs[c];
    const double* row2 = params.placeProbs2[c];
    for (int i = 0; i < numActions; i++) probs[i] = row[i];
    if (params.secondProbsStep == 0) return;
    if (params.secondProbsInterpolate) {
        const double progress = std::min((double)run.step() / params.secondProbsStep, 1.0);
        for (int i = 0; i < numActions; i++) probs[i] = row[i] * (1 - progress) + row2[i] * progress;
    } else if (run.step() >= params.secondProbsStep) {
        for (int i = 0; i < numActions; i++) probs[i] = row2[i];
    }
}

void SearchMethod::queuePoint(const Point& point, double fitness, VisitType visitType) {
    Memory* target = subject.memory(probSelectMem(fitness));
    if (target == nullptr) NK_FATAL(Config, "A point was placed into a group memory, but agents form no groups\n");
    target->queueAddPoint(point, fitness, visitType);
}

bool SearchMethod::prepareStartPoint(Point& curPoint, double& curFitness) {
    const bool newStart = alwaysStartWithNewPoint || phase().inPhaseSteps() == 0;
    if (newStart) {
        const PointInfo& best = bestOf(srcMemory);
        curPoint = best.point;
        curFitness = best.fitness;
    } else {
        curPoint = phase().lastPoint();
        curFitness = phase().lastPointFitness();
    }

    if (params().alwaysUseUpToDateFitness || (newStart && params().alwaysUpdateSourceMem)) {
        curFitness = landscape().getFitnessValue(curPoint);
        subject.addSearchPoint(curPoint);
    }

    if (curFitness > phase().bestFitness()) {
        phase().setBest(curPoint, curFitness);
    } else if (curFitness < phase().bestFitness() && curPoint == phase().bestPoint() && newStart) {
        phase().setBestFitness(curFitness);
    }

    if (newStart && params().alwaysUpdateSourceMem) srcMemory->addPoint(curPoint, curFitness, VisitTypeRevisit);
    startedAnew_ = newStart;
    return newStart;
}

void SearchMethod::countEvaluations() { run.evals().addCountedEvals(subject.id(), (int)subject.searchPoints().size()); }

void SearchMethod::acceptImprovement(const Point& bestPoint, double bestFitness, Point& curPoint, double& curFitness) {
    landscape().queueVisit(bestPoint);
    if (bestFitness > phase().bestFitness()) phase().setBest(bestPoint, bestFitness);
    curPoint = bestPoint;
    curFitness = bestFitness;
    queuePoint(bestPoint, bestFitness, VisitTypeStep);
}

void SearchMethod::lateralMove(const Point& bestPoint, double bestFitness, Point& curPoint, double& curFitness) {
    landscape().queueVisit(bestPoint);
    curPoint = bestPoint;
    curFitness = bestFitness;
    queuePoint(bestPoint, bestFitness, VisitTypeStep);
}

bool SearchMethod::quantizedEqual(double curFitness, double bestFitness) const {
    const int levels = params().fitnessQuantizationLevels;
    return levels > 0 && bestFitness >= 0 && (int)(curFitness * levels) == (int)(bestFitness * levels);
}

void SearchMethod::finishStep(const Point& curPoint, double curFitness, bool improved) {
    phase().moveTo(curPoint, curFitness);
    phase().postStep(improved);
}

bool SearchMethod::waitingStep() {
    if (!phase().isWaiting()) return false;
    phase().preStep();
    if (params().revisitWhileWaiting) landscape().queueVisit(phase().lastPoint());
    phase().postStep(false);
    return true;
}

// ---------------------------------------------------------------------------------------
// Exploit: neighbour scan with optional exhaustive look-ahead

SearchRandomLocal::SearchRandomLocal(RunContext& run, SearchSubject& subject)
    : SearchMethod(run, subject), bestValue(0.0) {
    type = SearchTypeExploit;
}

void SearchRandomLocal::step() {
    const SimuParameters& params = run.params();
    Landscape& landscape = run.landscape();
    if (waitingStep()) return;
    phase().preStep();

    Point curPoint;
    double curFitness = 0.0;
    if (prepareStartPoint(curPoint, curFitness)) phase().setSearchStartPoint(curPoint);

    const CustomParameters& cp = params.getCustomParams(subject.id());
    const bool useAll = cp.exploitSearchConfig.useAllAttempts;
    const int maxDepth = cp.exploitSearchConfig.maxTreeDepth;

    double bestFitness = -1;
    Point bestPoint;
    for (unsigned int i = 0; i < params.n; i++) {
        const Point neighbour(curPoint, (unsigned int)i);
        const double f = landscape.getFitnessValue(neighbour);
        if (maxDepth <= 1) subject.addSearchPoint(neighbour);
        if (f > bestFitness) {
            bestFitness = f;
            bestPoint = neighbour;
        }
        if (!useAll && f > curFitness) break;
        if (params.rememberChecked) queuePoint(neighbour, f, VisitTypeCheck);
    }

    if (maxDepth > 1) {
        bestValue = -1;
        treeSearch(curPoint, 0, 0, cp, 0, curFitness);
        bestPoint = bestTreePoint;
        bestFitness = landscape.getFitnessValue(bestPoint);
    }

    countEvaluations();

    const bool improved = bestFitness > curFitness;
    if (improved) {
        acceptImprovement(bestPoint, bestFitness, curPoint, curFitness);
    } else if (params.revisitOnFailure) {
        landscape.queueVisit(curPoint);
    } else if (quantizedEqual(curFitness, bestFitness)) {
        lateralMove(bestPoint, bestFitness, curPoint, curFitness);
    }
    finishStep(curPoint, curFitness, improved);
}

void SearchRandomLocal::stepOtherStrategies(int stgId) {
    const SimuParameters& params = run.params();
    Landscape& landscape = run.landscape();
    if (phase().isWaiting()) return;

    const bool newStart = alwaysStartWithNewPoint || phase().inPhaseSteps() == 0;
    Point startPoint;
    double startFitness;
    if (newStart) {
        const PointInfo& best = bestOf(srcMemory);
        startPoint = best.point;
        startFitness = best.fitness;
        phase().setSearchStartPoint(startPoint);
    } else {
        startPoint = phase().lastPoint();
        startFitness = phase().lastPointFitness();
    }
    if (params.alwaysUseUpToDateFitness || (newStart && params.alwaysUpdateSourceMem)) {
        startFitness = landscape.getFitnessValue(startPoint);
        subject.addSearchPointOthers(startPoint, stgId - 1);
    }

    const CustomParameters& cp = params.getCustomParams(stgId + params.nAgents - 1);
    const bool useAll = cp.exploitSearchConfig.useAllAttempts;
    const int maxDepth = cp.exploitSearchConfig.maxTreeDepth;

    for (unsigned int i = 0; i < params.n; i++) {
        const Point neighbour(startPoint, (unsigned int)i);
        const double f = landscape.getFitnessValue(neighbour);
        if (maxDepth <= 1) subject.addSearchPointOthers(neighbour, stgId - 1);
        if (!useAll && f > startFitness) break;
    }

    if (maxDepth > 1) {
        bestValue = -1;
        treeSearch(startPoint, 0, 0, cp, stgId, startFitness);
    }
}

double SearchRandomLocal::treeSearch(const Point& curPoint, int depth, double accumRewards, const CustomParameters& cp,
                                     int stgId, double curPointFitness) {
    const SimuParameters& params = run.params();
    Landscape& landscape = run.landscape();
    if (curPointFitness < 0) {
        curPointFitness = landscape.getFitnessValue(curPoint);
        if (stgId > 0)
            subject.addSearchPointOthers(curPoint, stgId - 1);
        else
            subject.addSearchPoint(curPoint);
    }
    accumRewards = accumRewards + curPointFitness;

    if (depth == cp.exploitSearchConfig.maxTreeDepth) {
        if (accumRewards > bestValue) bestValue = accumRewards;
        return accumRewards;
    }

    double max = -1;
    considerPoint(curPoint, depth, accumRewards, cp, max, stgId, curPointFitness);
    for (unsigned int i = 0; i < params.n; i++)
        considerPoint(Point(curPoint, (unsigned int)i), depth, accumRewards, cp, max, stgId, -1);
    return max;
}

void SearchRandomLocal::considerPoint(const Point& searchPoint, int depth, double accumRewards,
                                      const CustomParameters& cp, double& max, int stgId, double curPointFitness) {
    const double r = treeSearch(searchPoint, depth + 1, accumRewards, cp, stgId, curPointFitness);
    if (r > max) {
        max = r;
        if (depth == 0) bestTreePoint = searchPoint;
    }
}

// ---------------------------------------------------------------------------------------
// Explore: random jumps within a distance range

SearchRandomJump::SearchRandomJump(RunContext& run, SearchSubject& subject) : SearchMethod(run, subject) {
    type = SearchTypeExplore;
}

void SearchRandomJump::step() {
    const SimuParameters& params = run.params();
    Landscape& landscape = run.landscape();
    if (waitingStep()) return;
    phase().preStep();

    const SearchPhaseConfigRange& config = phaseConfigRange();
    const unsigned int maxJumps = config.maxAttempts;
    double rangeLow = config.rangeLow;
    double rangeHigh = config.rangeHigh;
    const SearchPhaseConfigRange& second = params.exploreSearchConfig2;
    if (second.maxSteps != 0) {
        const double progress = std::min((double)run.step() / second.maxSteps, 1.0);
        rangeLow = (1 - progress) * rangeLow + progress * second.rangeLow;
        rangeHigh = (1 - progress) * rangeHigh + progress * second.rangeHigh;
    }

    Point curPoint;
    double curFitness = 0.0;
    prepareStartPoint(curPoint, curFitness);

    int minJumpDist = (int)(params.n * rangeLow);
    const int maxJumpDist = (int)(params.n * rangeHigh);
    if (minJumpDist == 0) minJumpDist = 1;

    const bool useAll = params.exploreSearchConfig.useAllAttempts;
    double bestFitness = -1;
    Point bestPoint;
    for (unsigned int attempt = 0; attempt < maxJumps; attempt++) {
        const Point candidate(curPoint, minJumpDist, maxJumpDist, params.n, run.searchStream());
        const double f = landscape.getFitnessValue(candidate);
        subject.addSearchPoint(candidate);
        if (f > bestFitness) {
            bestFitness = f;
            bestPoint = candidate;
        }
        if (!useAll && f > curFitness) break;
        if (params.rememberChecked) queuePoint(candidate, f, VisitTypeCheck);
    }

    countEvaluations();

    const bool improved = bestFitness > curFitness;
    if (improved) {
        acceptImprovement(bestPoint, bestFitness, curPoint, curFitness);
    } else if (quantizedEqual(curFitness, bestFitness)) {
        lateralMove(bestPoint, bestFitness, curPoint, curFitness);
    } else if (params.revisitOnFailure) {
        landscape.queueVisit(curPoint);
    }
    finishStep(curPoint, curFitness, improved);
}

// ---------------------------------------------------------------------------------------
// Recombination: children of the best points of two memories

SearchRecombination::SearchRecombination(RunContext& run, SearchSubject& subject) : SearchMethod(run, subject) {
    type = SearchTypeRecombination;
}

void SearchRecombination::step() {
    const SimuParameters& params = run.params();
    Landscape& landscape = run.landscape();
    if (waitingStep()) return;
    phase().preStep();

    const unsigned int maxJumps = phaseConfig().maxAttempts;
    const PointInfo& parent1 = bestOf(srcMemory);
    const PointInfo& parent2 = bestOf(srcMemory2);
    // Copies: the parents' entries may move once the search queues points.
    const Point p1 = parent1.point, p2 = parent2.point;
    const double f1 = parent1.fitness, f2 = parent2.fitness;

    double curFitness = std::max(f1, f2);
    Point curPoint = f1 > f2 ? p1 : p2;

    if (curFitness > phase().bestFitness()) {
        phase().setBest(curPoint, curFitness);
    } else if (curFitness < phase().bestFitness() && curPoint == phase().bestPoint()) {
        phase().setBestFitness(curFitness);
    }

    double bestFitness = -1;
    Point bestPoint;
    for (unsigned int attempt = 0; attempt < maxJumps; attempt++) {
        const Point child(p1, p2, params.n, run.searchStream());
        const double f = landscape.getFitnessValue(child);
        subject.addSearchPoint(child);
        if (f > bestFitness) {
            bestFitness = f;
            bestPoint = child;
        }
        if (f > curFitness) break;
        if (params.rememberChecked) queuePoint(child, f, VisitTypeCheck);
    }

    countEvaluations();

    const bool improved = bestFitness > curFitness;
    if (improved)
        acceptImprovement(bestPoint, bestFitness, curPoint, curFitness);
    else if (params.revisitOnFailure)
        landscape.queueVisit(curPoint);
    finishStep(curPoint, curFitness, improved);
}
