// The agent: strategy decisions (tables or networks), stepping its search methods, and
// its fitness measures.
#include "agent.h"

#include <algorithm>
#include <cstdio>

#include "landscape.h"
#include "simulation.h"
#include "util.h"

namespace {

// Every agent searches in phases of this many steps.
constexpr int kPhaseSteps = 5;

double bestFitnessOf(const Memory* m) {
    if (m->getNumPoints() == 0)
        NK_FATAL(Config, "Decision on an empty memory (initial memory sizes must be positive)\n");
    return m->getBestPoint().fitness;
}

}  // namespace

Agent::Agent(int id, Simulation& simulation, const SimuParameters& params, Landscape& landscape, Memory* publicMemory,
             Memory* groupMemory, unsigned short* initMemRandomState, unsigned short* searchRandomState,
             const unsigned int& curStep)
    : id(id),
      simulation(simulation),
      params(params),
      landscape(landscape),
      memory{publicMemory, &privateMemory, groupMemory},
      privateMemory(params.maxMemSize, curStep),
      initMemRandomState(initMemRandomState),
      searchRandomState(searchRandomState),
      curSearchMethod(nullptr),
      curStep(curStep),
      sumRealFitWithinPhase(0.0),
      lastFitness{},
      totalRunFitness(0.0),
      phase(kPhaseSteps, params) {
    auto own = params.agentStrategies.find(id);
    strategy = own != params.agentStrategies.end() ? own->second : params.generalStrategy;
    for (int i = 0; i < params.nExtraStrategies && i < 2; i++) {
        auto other = params.agentStrategies.find(params.nAgents + i);
        if (other != params.agentStrategies.end()) strategyOthers[i] = other->second;
    }
}

Agent::~Agent() = default;

void Agent::initRun() {
    phase.lastPointFitness = 0.0;
    phase.lastPoint = Point();
    phase.lastPointPrev = Point();
    totalRunFitness = 0.0;

    curSearchMethod = nullptr;
    searchMethods[SearchTypeExploit] = std::make_unique<SearchRandomLocal>(
        simulation, landscape, *this, params, params.getCustomParams(id).exploitSearchConfig, memory, curStep, phase);
    searchMethods[SearchTypeExplore] = std::make_unique<SearchRandomJump>(
        simulation, landscape, *this, params, params.exploreSearchConfig, memory, curStep, phase);
    searchMethods[SearchTypeRecombination] = std::make_unique<SearchRecombination>(
        simulation, landscape, *this, params, params.recombSearchConfig, memory, curStep, phase);

    privateMemory.populate(params.initialPrivateMemSize, params.nPoints, initMemRandomState, landscape);
}

void Agent::step(int stgId) {
    const AgentStrategy& s = stgId == 0 ? strategy : strategyOthers[stgId - 1];
    const StrategyType t = s.type;

    if (curSearchMethod == nullptr || phase.inPhaseSteps == 0 || params.chooseActionEveryStep ||
        (params.usingNNStrategy && strategyType(t).decidesEveryStep))
        decide(s);

    if (phase.inPhaseSteps == 0) sumRealFitWithinPhase = 0.0;

    if (stgId >= 1) {
        searchPointsOthers[stgId - 1].clear();
        curSearchMethod->stepOtherStrategies(stgId);
        return;
    }

    searchPoints.clear();
    curSearchMethod->step();
    sumRealFitWithinPhase += landscape.getFitnessValue(phase.lastPoint);
    if (simulation.isVisualizationOn() && (pointHistory.empty() || pointHistory.back() != phase.lastPoint))
        pointHistory.push_back(phase.lastPoint);
}

void Agent::decide(const AgentStrategy& s) {
    const StrategyType t = s.type;
    if (params.usingNNStrategy) strategy::requireNetworkType(t);
    if (!isStrategyType(t)) NK_FATAL(Internal, "Internal error: unknown strategy type %d\n", (int)t);
    const double pubBest = bestFitnessOf(memory[MemTypePublic]);
    const double privBest = bestFitnessOf(memory[MemTypePrivate]);
    double weights[strategy::kMaxActions] = {};
    if (params.usingNNStrategy)
        networkSearchWeights(s, pubBest, privBest, weights);
    else
        tableSearchWeights(s, pubBest, privBest, weights);
    const int action =
        strategy::chooseAction(s.getNumActionsS1(), weights, params.deterministicActions, searchRandomState);
    applySearchAction(s, action, pubBest, privBest);
}

void Agent::networkSearchWeights(const AgentStrategy& s, double pubBest, double privBest, double* weights) const {
    const int levels = params.NNFitnessDiscreteSteps;
    strategy::NetworkState state = networkContext();
    state.fitness[0] = strategy::fitnessInput(pubBest, levels);
    state.fitness[1] = strategy::fitnessInput(privBest, levels);
    const Memory* group = memory[MemTypeGroup];
    state.fitness[2] = group ? strategy::fitnessInput(bestFitnessOf(group), levels) : 0.0;
    strategy::scoreActions(s, strategy::OutputSearch, state, s.getNumActionsS1(), weights);
}

void Agent::tableSearchWeights(const AgentStrategy& s, double pubBest, double privBest, double* weights) const {
    const int numMemTypes = s.getNumMemTypesS1();
    const int cPub = pubBest >= 0.5 ? CoarseValueHi : CoarseValueLo;
    const int cPriv = privBest >= 0.5 ? CoarseValueHi : CoarseValueLo;
    for (int a = 0; a < s.getNumActionsS1(); a++)
        weights[a] = s.s1.searchProbs[cPub][cPriv][a / numMemTypes][a % numMemTypes];
}

void Agent::applySearchAction(const AgentStrategy& s, int action, double pubBest, double privBest) {
    const StrategyType t = s.type;
    const int k = action / s.getNumMemTypesS1();
    const int l = action % s.getNumMemTypesS1();
    // Every non-exploit search type, recombination included, is carried out by the explore method.
    curSearchMethod = searchMethods[k == SearchTypeExploit ? SearchTypeExploit : SearchTypeExplore].get();

    if (params.chooseActionEveryStep || strategyType(t).newPointEachDecision)
        curSearchMethod->alwaysStartWithNewPoint = true;

    if (strategyType(t).searchesBothMemories) {
        curSearchMethod->setSrcMemories(MemTypePublic, MemTypePrivate);
        return;
    }
    MemType memType = strategyType(t).searchMemory[l];
    if (memType == MemTypeBest) memType = pubBest <= privBest ? MemTypePrivate : MemTypePublic;
    if (memory[memType] == nullptr)
        NK_FATAL(Config, "A strategy chose the group memory, but agents form no groups (groupSize must be above 1)\n");
    curSearchMethod->setSrcMemory(memType);
}

strategy::NetworkState Agent::networkContext() const {
    strategy::NetworkState state;
    state.progress = strategy::phaseProgressInput(phase.inPhaseSteps, phase.numSteps);
    state.groupPosition = strategy::groupPositionInput(id, params.groupSize);
    return state;
}

void Agent::postStep() {
    if (privateMemory.hasQueuedPoints()) privateMemory.addQueuedPoints();
}

double Agent::calcFitness(FitType type) {
    double value = 0.0;
    switch (type) {
        case FitTypeMaxMemFinal:
            for (int m = MemTypePublic; m <= MemTypeGroup; m++)
                if (memory[m] != nullptr && memory[m]->getNumPoints() > 0)
                    value = std::max(value, memory[m]->getBestPoint().fitness);
            break;
        case FitTypeMaxInPhaseLast:
            value = phase.bestFitWithinPhase;
            break;
        case FitTypeMaxInPhaseAvg:
            value = 0.0;
            break;
        case FitTypeMaxInCurStep:
            value = phase.lastPointFitness;
            break;
        case FitTypeMaxInCurStepReal:
            value = landscape.getFitnessValue(phase.lastPoint);
            break;
        case FitTypeAvgInPhaseReal:
            value = sumRealFitWithinPhase / (((curStep - 1u) % kPhaseSteps) + 1);
            break;
        default:
            NK_FATAL(Internal, "Unknown fitness type: %d\n", (int)type);
    }
    lastFitness[type] = value;
    return value;
}

namespace {

// A step's list is short (the neighbours or candidates tried), and searching it beats
// hashing; only a look-ahead makes it long. From that length on the set mirrors the list,
// made afresh when the list reaches it, or when someone changed the list directly.
constexpr size_t kSearchedListLength = 32;

void addDistinct(std::vector<Point>& points, PointTable<uint8_t>& seen, const Point& p) {
    if (points.size() < kSearchedListLength) {
        if (std::find(points.begin(), points.end(), p) == points.end()) points.push_back(p);
        return;
    }
    if (points.size() == kSearchedListLength || seen.size() != points.size()) {
        seen.clear();
        for (const Point& q : points) seen[q.values] = 1;
    }
    uint8_t& held = seen[p.values];
    if (!held) {
        held = 1;
        points.push_back(p);
    }
}

}  // namespace

void Agent::addSearchPoint(const Point& p) { addDistinct(searchPoints, searchPointSet, p); }

void Agent::addSearchPointOthers(const Point& p, int i) {
    addDistinct(searchPointsOthers[i], searchPointSetOthers[i], p);
}

bool Agent::printNNStrategyActionProbs(int outputId, std::vector<double> stateInputs) {
    if (outputId != 0 && outputId != 1) {
        fprintf(stderr, "Error: Wrong output id!\n");
        return false;
    }
    const AgentStrategy& s = strategy;
    const auto output = static_cast<strategy::Output>(outputId);
    const int numActions = output == strategy::OutputSearch ? s.getNumActionsS1() : s.getNumMemTypesS2();
    strategy::requireNetworkType(s.type);
    if (stateInputs.size() < (size_t)strategy::stateSize(s.type, output)) {
        fprintf(stderr, "Error: Too few inputs!\n");
        return false;
    }
    for (double& x : stateInputs) x = strategy::fitnessInput(x, params.NNFitnessDiscreteSteps);

    double probs[strategy::kMaxActions] = {};
    strategy::scoreActions(s, output, strategy::stateFromValues(s.type, output, stateInputs.data()), numActions, probs);
    for (int a = 0; a < numActions; a++) printf("%d %.6f\n", a, probs[a]);
    return true;
}
