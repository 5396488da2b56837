// The agent: strategy decisions (tables or networks), stepping its search methods, and
// its fitness measures.
#include "agent.h"

#include <algorithm>
#include <cstdio>

#include "landscape.h"
#include "util.h"

namespace {

double bestFitnessOf(const Memory* m) {
    if (m->getNumPoints() == 0)
        NK_FATAL(Config, "Decision on an empty memory (initial memory sizes must be positive)\n");
    return m->getBestPoint().fitness;
}

}  // namespace

Agent::Agent(int id, RunContext& run, Memory* publicMemory, Memory* groupMemory)
    : run(run),
      privateMemory(run.params().maxMemSize, run.stepClock()),
      subject(id, run.params(), publicMemory, &privateMemory, groupMemory) {}

Agent::~Agent() = default;

void Agent::initRun() {
    const SimuParameters& params = run.params();
    subject.phase().resetLastPoints();
    totalRunFitness = 0.0;

    curSearchMethod = nullptr;
    decidedType = SearchTypeExploit;
    lastOwnStep_ = 0;
    searchMethods[SearchTypeExploit] = std::make_unique<SearchRandomLocal>(run, subject);
    searchMethods[SearchTypeExplore] = std::make_unique<SearchRandomJump>(run, subject);
    searchMethods[SearchTypeRecombination] = std::make_unique<SearchRecombination>(run, subject);

    privateMemory.populate(params.initialPrivateMemSize, params.nPoints, run.initMemStream(), run.landscape());
}

void Agent::step(int stgId) {
    const SimuParameters& params = run.params();
    const SearchPhase& phase = subject.phase();
    const AgentStrategy& s = stgId == 0 ? subject.strategy() : subject.strategyOther(stgId - 1);
    const StrategyType t = s.type;

    if (curSearchMethod == nullptr || phase.inPhaseSteps() == 0 || params.chooseActionEveryStep ||
        (params.usingNNStrategy && strategyType(t).decidesEveryStep))
        decide(s);

    if (phase.inPhaseSteps() == 0) sumRealFitWithinPhase = 0.0;

    if (stgId >= 1) {
        subject.clearSearchPointsOthers(stgId - 1);
        curSearchMethod->stepOtherStrategies(stgId);
        return;
    }

    subject.clearSearchPoints();
    curSearchMethod->step();
    lastOwnStep_ = run.step() + 1;
    sumRealFitWithinPhase += run.landscape().getFitnessValue(phase.lastPoint());
    if (run.recordsHistory() && (pointHistory.empty() || pointHistory.back() != phase.lastPoint()))
        pointHistory.push_back(phase.lastPoint());
}

void Agent::decide(const AgentStrategy& s) {
    const SimuParameters& params = run.params();
    const StrategyType t = s.type;
    if (params.usingNNStrategy) strategy::requireNetworkType(t);
    if (!isStrategyType(t)) NK_FATAL(Internal, "Internal error: unknown strategy type %d\n", (int)t);
    const double pubBest = bestFitnessOf(subject.memory(MemTypePublic));
    const double privBest = bestFitnessOf(subject.memory(MemTypePrivate));
    double weights[strategy::kMaxActions] = {};
    if (params.usingNNStrategy)
        networkSearchWeights(s, pubBest, privBest, weights);
    else
        tableSearchWeights(s, pubBest, privBest, weights);
    const int action =
        strategy::chooseAction(s.getNumActionsS1(), weights, params.deterministicActions, run.searchStream());
    applySearchAction(s, action, pubBest, privBest);
}

void Agent::networkSearchWeights(const AgentStrategy& s, double pubBest, double privBest, double* weights) const {
    const int levels = run.params().NNFitnessDiscreteSteps;
    strategy::NetworkState state = networkContext();
    state.fitness[0] = strategy::fitnessInput(pubBest, levels);
    state.fitness[1] = strategy::fitnessInput(privBest, levels);
    const Memory* group = subject.memory(MemTypeGroup);
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
    const SimuParameters& params = run.params();
    const StrategyType t = s.type;
    const int k = action / s.getNumMemTypesS1();
    const int l = action % s.getNumMemTypesS1();
    decidedType = static_cast<SearchType>(k);
    // Every non-exploit search type, recombination included, is carried out by the explore method.
    curSearchMethod = searchMethods[k == SearchTypeExploit ? SearchTypeExploit : SearchTypeExplore].get();

    if (params.chooseActionEveryStep || strategyType(t).newPointEachDecision)
        curSearchMethod->setStartEveryStepAnew(true);

    if (strategyType(t).searchesBothMemories) {
        curSearchMethod->setSrcMemories(MemTypePublic, MemTypePrivate);
        return;
    }
    MemType memType = strategyType(t).searchMemory[l];
    if (memType == MemTypeBest) memType = pubBest <= privBest ? MemTypePrivate : MemTypePublic;
    if (subject.memory(memType) == nullptr)
        NK_FATAL(Config, "A strategy chose the group memory, but agents form no groups (groupSize must be above 1)\n");
    curSearchMethod->setSrcMemory(memType);
}

void Agent::postStep() {
    if (privateMemory.hasQueuedPoints()) privateMemory.addQueuedPoints();
}

double Agent::calcFitness(FitType type) {
    const SearchPhase& phase = subject.phase();
    double value = 0.0;
    switch (type) {
        case FitTypeMaxMemFinal:
            for (int m = MemTypePublic; m <= MemTypeGroup; m++) {
                const Memory* memory = subject.memory((MemType)m);
                if (memory != nullptr && memory->getNumPoints() > 0)
                    value = std::max(value, memory->getBestPoint().fitness);
            }
            break;
        case FitTypeMaxInPhaseLast:
            value = phase.bestFitness();
            break;
        case FitTypeMaxInPhaseAvg:
            value = 0.0;
            break;
        case FitTypeMaxInCurStep:
            value = phase.lastPointFitness();
            break;
        case FitTypeMaxInCurStepReal:
            value = run.landscape().getFitnessValue(phase.lastPoint());
            break;
        case FitTypeAvgInPhaseReal:
            value = sumRealFitWithinPhase / (((run.step() - 1u) % kPhaseSteps) + 1);
            break;
        default:
            NK_FATAL(Internal, "Unknown fitness type: %d\n", (int)type);
    }
    lastFitness[type] = value;
    return value;
}

std::vector<double> Agent::actionProbabilities(int outputId, std::vector<double> stateInputs,
                                               std::string& refusal) const {
    if (outputId != 0 && outputId != 1) {
        refusal = "Error: Wrong output id!";
        return {};
    }
    const AgentStrategy& s = subject.strategy();
    const auto output = static_cast<strategy::Output>(outputId);
    const int numActions = output == strategy::OutputSearch ? s.getNumActionsS1() : s.getNumMemTypesS2();
    strategy::requireNetworkType(s.type);
    if (stateInputs.size() < (size_t)strategy::stateSize(s.type, output)) {
        refusal = "Error: Too few inputs!";
        return {};
    }
    for (double& x : stateInputs) x = strategy::fitnessInput(x, run.params().NNFitnessDiscreteSteps);

    double probs[strategy::kMaxActions] = {};
    strategy::scoreActions(s, output, strategy::stateFromValues(s.type, output, stateInputs.data()), numActions, probs);
    return std::vector<double>(probs, probs + numActions);
}
