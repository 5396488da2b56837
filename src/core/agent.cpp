// The agent: strategy decisions (tables or networks), stepping its search methods, and
// its fitness measures.
#include "agent.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "landscape.h"
#include "simulation.h"
#include "util.h"

namespace {

// Every agent searches in phases of this many steps.
constexpr int kPhaseSteps = 5;

double bestFitnessOf(const Memory* m) {
    if (m->getNumPoints() == 0) NK_FATAL("Decision on an empty memory (initial memory sizes must be positive)\n");
    return m->getBestPoint().fitness;
}

// A fitness as a network input: optionally reduced to `steps` levels, then spread to [-1, 1].
double fitnessInput(double value, int steps) {
    if (steps > 0) value = std::floor(std::min(value, 0.999) * steps);
    return 2 * value - 1;
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
      searchMethods{nullptr, nullptr, nullptr},
      curSearchMethod(nullptr),
      curStep(curStep),
      sumBestFitWithinPhase(0.0),
      sumRealFitWithinPhase(0.0),
      lastFitness{},
      totalRunFitness(0.0),
      stagnatedSteps(0),
      phase(kPhaseSteps, params) {
    auto own = params.agentStrategies.find(id);
    strategy = own != params.agentStrategies.end() ? own->second : params.generalStrategy;
    for (int i = 0; i < params.nExtraStrategies && i < 2; i++) {
        auto other = params.agentStrategies.find(params.nAgents + i);
        if (other != params.agentStrategies.end()) strategyOthers[i] = other->second;
    }
}

Agent::~Agent() { deleteSearchMethods(); }

void Agent::deleteSearchMethods() {
    for (SearchMethod*& m : searchMethods) {
        delete m;
        m = nullptr;
    }
    curSearchMethod = nullptr;
}

void Agent::initRun() {
    phase.lastPointFitness = 0.0;
    phase.lastPoint = Point();
    phase.lastPointPrev = Point();
    totalRunFitness = 0.0;

    deleteSearchMethods();
    searchMethods[SearchTypeExploit] = new SearchRandomLocal(
        simulation, landscape, *this, params, params.getCustomParams(id).exploitSearchConfig, memory, curStep, phase);
    searchMethods[SearchTypeExplore] =
        new SearchRandomJump(simulation, landscape, *this, params, params.exploreSearchConfig, memory, curStep, phase);
    searchMethods[SearchTypeRecombination] = new SearchRecombination(simulation, landscape, *this, params,
                                                                     params.recombSearchConfig, memory, curStep, phase);

    privateMemory.populate(params.initialPrivateMemSize, params.nPoints, initMemRandomState, landscape);
}

void Agent::step(int stgId) {
    const AgentStrategy& s = stgId == 0 ? strategy : strategyOthers[stgId - 1];
    const StrategyType t = s.type;

    if (curSearchMethod == nullptr || phase.inPhaseSteps == 0 || params.chooseActionEveryStep ||
        (params.usingNNStrategy && (t == StrategyType4 || t == StrategyType5)))
        decide(s);

    if (phase.inPhaseSteps == 0) sumRealFitWithinPhase = 0.0;

    if (stgId >= 1) {
        searchPointsOthers[stgId - 1].clear();
        searchPointSetOthers[stgId - 1].clear();
        curSearchMethod->stepOtherStrategies(stgId);
        return;
    }

    searchPoints.clear();
    searchPointSet.clear();
    curSearchMethod->step();
    sumRealFitWithinPhase += landscape.getFitnessValue(phase.lastPoint);
    if (phase.inPhaseSteps == 0) sumBestFitWithinPhase += phase.bestFitWithinPhase;
    if (simulation.isVisualizationOn() && (pointHistory.empty() || pointHistory.back() != phase.lastPoint))
        pointHistory.push_back(phase.lastPoint);
}

void Agent::decide(const AgentStrategy& s) {
    const StrategyType t = s.type;
    if (params.usingNNStrategy && (t == StrategyType1 || t < StrategyType0 || t >= StrategyTypeNum))
        NK_FATAL("NN strategy type error, unimplemented type: %d\n\n", (int)t);
    if (t < StrategyType0 || t >= StrategyTypeNum) NK_FATAL("Internal error: unknown strategy type %d\n", (int)t);
    const int numActions = s.getNumActionsS1();
    const int numMemTypes = s.getNumMemTypesS1();
    const double pubBest = bestFitnessOf(memory[MemTypePublic]);
    const double privBest = bestFitnessOf(memory[MemTypePrivate]);
    double weights[6] = {0, 0, 0, 0, 0, 0};

    if (params.usingNNStrategy) {
        const int steps = params.NNFitnessDiscreteSteps;
        const NeuralNet& nn = s.nn;
        const double y0 = fitnessInput(pubBest, steps);
        const double y1 = fitnessInput(privBest, steps);
        const double y2 = memory[MemTypeGroup] ? fitnessInput(bestFitnessOf(memory[MemTypeGroup]), steps) : 0.0;
        const double p = phaseProgressInput();
        // Type 3's fifth action (search type 2) has the neutral code (0, 0).
        static const double kType3Codes[5][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}, {0, 0}};
        for (int x = 0; x < numActions; x++) {
            const double u = (x & ~1) - 1;
            const double v = 2 * (x % 2) - 1;
            double out;
            switch (t) {
                case StrategyType0:
                    out = Simulation::computeNNOutput4Inputs(nn, y0, y1, u, v, nn.o0);
                    break;
                case StrategyType2:
                    out = Simulation::computeNNOutput5Inputs(nn, y0, y1, y2, 2 * (x / 3) - 1, (x % 3) - 1, nn.o0);
                    break;
                case StrategyType3:
                    out = Simulation::computeNNOutput4Inputs(nn, y0, y1, kType3Codes[x][0], kType3Codes[x][1], nn.o0);
                    break;
                case StrategyType4:
                    out = Simulation::computeNNOutput5Inputs(nn, y0, y1, p, u, v, nn.o0);
                    break;
                case StrategyType5:
                    out = Simulation::computeNNOutput6Inputs(nn, y0, y1, p, groupPositionInput(), u, v, nn.o0);
                    break;
                case StrategyType6:
                    out = Simulation::computeNNOutput5Inputs(nn, y0, y1, groupPositionInput(), u, v, nn.o0);
                    break;
                default:  // rejected above
                    out = 0;
                    break;
            }
            weights[x] = out;
        }
        Simulation::normalizeProbabilities(numActions, weights);
    } else {
        const int cPub = pubBest >= 0.5 ? CoarseValueHi : CoarseValueLo;
        const int cPriv = privBest >= 0.5 ? CoarseValueHi : CoarseValueLo;
        for (int a = 0; a < numActions; a++)
            weights[a] = s.s1.searchProbs[cPub][cPriv][a / numMemTypes][a % numMemTypes];
    }

    const int action = params.deterministicActions
                           ? SearchMethod::mostProbableAction(numActions, weights)
                           : Simulation::rouletteWheelSelection(numActions, weights, searchRandomState);
    const int k = action / numMemTypes;
    const int l = action % numMemTypes;
    // Every non-exploit search type, recombination included, is carried out by the explore method.
    curSearchMethod = k == SearchTypeExploit ? searchMethods[SearchTypeExploit] : searchMethods[SearchTypeExplore];

    if (params.chooseActionEveryStep || t == StrategyType4 || t == StrategyType5 || t == StrategyType6)
        curSearchMethod->alwaysStartWithNewPoint = true;

    if (t == StrategyType3) {
        curSearchMethod->setSrcMemories(MemTypePublic, MemTypePrivate);
    } else {
        MemType memType = Simulation::actionMemTypeMapS1[t][l];
        if (memType == MemTypeBest) memType = pubBest <= privBest ? MemTypePrivate : MemTypePublic;
        if (memory[memType] == nullptr)
            NK_FATAL("A strategy chose the group memory, but agents form no groups (groupSize must be above 1)\n");
        curSearchMethod->setSrcMemory(memType);
    }
}

double Agent::phaseProgressInput() const { return 2.0 * phase.inPhaseSteps / (phase.numSteps - 1) - 1; }

double Agent::groupPositionInput() const {
    // Without groups an agent counts as the first of its own group.
    const int pos = params.groupSize > 0 ? id % params.groupSize : 0;
    return 2.0 * pos / (params.groupSize - 1) - 1;
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
            NK_FATAL("Unknown fitness type: %d\n", (int)type);
    }
    lastFitness[type] = value;
    return value;
}

namespace {

// The set mirrors the vector; it is rebuilt when someone changed the vector directly.
void addDistinct(std::vector<Point>& points, std::unordered_set<int32_t>& seen, const Point& p) {
    if (seen.size() != points.size()) {
        seen.clear();
        for (const Point& q : points) seen.insert(q.values);
    }
    if (seen.insert(p.values).second) points.push_back(p);
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
    const StrategyType t = strategy.type;
    const int numActions = outputId == 0 ? strategy.getNumActionsS1() : strategy.getNumMemTypesS2();

    // State values each type needs: fitness levels (and progress, group position) first.
    size_t needed = 0;
    switch (t) {
        case StrategyType0:
        case StrategyType3:
            needed = outputId == 0 ? 2 : 1;
            break;
        case StrategyType2:
            needed = outputId == 0 ? 3 : 1;
            break;
        case StrategyType4:
        case StrategyType6:
            needed = outputId == 0 ? 3 : 2;
            break;
        case StrategyType5:
            needed = outputId == 0 ? 4 : 3;
            break;
        default:
            NK_FATAL("NN strategy type error, unimplemented type: %d\n\n", (int)t);
    }
    if (stateInputs.size() < needed) {
        fprintf(stderr, "Error: Too few inputs!\n");
        return false;
    }
    for (double& x : stateInputs) x = fitnessInput(x, params.NNFitnessDiscreteSteps);
    const std::vector<double>& s = stateInputs;

    const NeuralNet& nn = strategy.nn;
    double probs[6] = {0, 0, 0, 0, 0, 0};
    for (int a = 0; a < numActions; a++) {
        double out;
        if (outputId == 0) {
            const double S = 2 * (a / 2) - 1;
            const double M = 2 * (a % 2) - 1;
            switch (t) {
                case StrategyType0:
                    out = Simulation::computeNNOutput4Inputs(nn, s[0], s[1], S, M, nn.o0);
                    break;
                case StrategyType2:
                    out = Simulation::computeNNOutput5Inputs(nn, s[0], s[1], s[2], 2 * (a / 3) - 1, (a % 3) - 1, nn.o0);
                    break;
                case StrategyType3:
                    out = a < 4 ? Simulation::computeNNOutput4Inputs(nn, s[0], s[1], S, M, nn.o0)
                                : Simulation::computeNNOutput4Inputs(nn, s[0], s[1], 0, 0, nn.o0);
                    break;
                case StrategyType4:
                case StrategyType6:
                    out = Simulation::computeNNOutput5Inputs(nn, s[0], s[1], s[2], S, M, nn.o0);
                    break;
                default:  // StrategyType5; other types were rejected above
                    out = Simulation::computeNNOutput6Inputs(nn, s[0], s[1], s[2], s[3], S, M, nn.o0);
                    break;
            }
        } else {
            const double x = numActions == 2 ? 2 * a - 1 : a - 1;
            switch (t) {
                case StrategyType0:
                case StrategyType3:
                    out = Simulation::computeNNOutput4Inputs(nn, s[0], 0, 0, x, nn.o1);
                    break;
                case StrategyType2:
                    out = Simulation::computeNNOutput5Inputs(nn, s[0], 0, 0, 0, x, nn.o1);
                    break;
                case StrategyType4:
                case StrategyType6:
                    out = Simulation::computeNNOutput5Inputs(nn, s[0], 0, s[1], 0, x, nn.o1);
                    break;
                default:  // StrategyType5
                    out = Simulation::computeNNOutput6Inputs(nn, s[0], 0, s[1], s[2], 0, x, nn.o1);
                    break;
            }
        }
        probs[a] = out;
    }
    Simulation::normalizeProbabilities(numActions, probs);
    for (int a = 0; a < numActions; a++) printf("%d %.6f\n", a, probs[a]);
    return true;
}
