// Strategy decisions: network input layouts, network evaluation, normalisation and draws.
#include "strategy.h"

#include <algorithm>
#include <cmath>

#include "NEAT_FastNetwork.h"
#include "rng.h"
#include "util.h"

namespace strategy {

namespace {

int contextSlots(const NetworkLayout& l) { return (l.progress ? 1 : 0) + (l.groupPosition ? 1 : 0); }

// A choice among `n` as a code slot: two choices -1 and +1, three -1, 0 and +1.
double choiceCode(int choice, int n) { return n == 2 ? 2 * choice - 1 : choice - 1; }

// The two code slots of an action. Place actions: no search type, then the memory choice.
// Search actions: the search type as -1/+1 and the memory choice; recombination (type 3's
// fifth action) has the neutral code.
void actionCode(StrategyType t, Output output, int a, int numActions, double* code) {
    const StrategyTypeInfo& info = strategyType(t);
    const SearchType searchType = searchTypeOf(info, a);
    if (output == OutputPlace) {
        code[0] = 0;
        code[1] = choiceCode(a, numActions);
    } else if (searchType == SearchTypeRecombination) {
        code[0] = code[1] = 0;
    } else {
        code[0] = 2 * searchType - 1;
        code[1] = choiceCode(a % info.searchMemories, info.searchMemories);
    }
}

double clampUnit(double v) { return v > 1 ? 1 : (v < 0 ? 0 : v); }

}  // namespace

// Bias first, then the inputs in order: the order every network evaluation uses.
double evaluate(const NeuralNet& nn, const double* inputs, int count, int outputIndex) {
    NEATNetworkPtr net = nn.net;  // held for the duration of the call
    const int ids[kMaxInputs] = {nn.i0, nn.i1, nn.i2, nn.i3, nn.i4, nn.i5};
    net->reinitialize();
    net->setValue(nn.bias, 1.0);
    for (int i = 0; i < count; i++) net->setValue(ids[i], inputs[i]);
    net->update(nn.depth);
    return clampUnit(net->getValue(outputIndex));
}

void requireNetworkType(StrategyType t) {
    if (!isStrategyType(t) || !strategyType(t).network.exists)
        NK_FATAL(Config, "NN strategy type error, unimplemented type: %d\n\n", (int)t);
}

int stateSize(StrategyType t, Output output) {
    const NetworkLayout& l = strategyType(t).network;
    return (output == OutputSearch ? l.fitnessSlots : 1) + contextSlots(l);
}

NetworkState stateFromValues(StrategyType t, Output output, const double* values) {
    const NetworkLayout& l = strategyType(t).network;
    NetworkState s;
    int i = 0;
    for (; i < (output == OutputSearch ? l.fitnessSlots : 1); i++) s.fitness[i] = values[i];
    if (l.progress) s.progress = values[i++];
    if (l.groupPosition) s.groupPosition = values[i++];
    return s;
}

int networkInputs(StrategyType t, Output output, const NetworkState& state, int action, int numActions,
                  double* inputs) {
    const NetworkLayout& l = strategyType(t).network;
    int n = 0;
    for (int i = 0; i < l.fitnessSlots; i++) inputs[n++] = output == OutputSearch || i == 0 ? state.fitness[i] : 0.0;
    if (l.progress) inputs[n++] = state.progress;
    if (l.groupPosition) inputs[n++] = state.groupPosition;
    actionCode(t, output, action, numActions, inputs + n);
    return n + 2;
}

double fitnessInput(double value, int levels) {
    if (levels > 0) value = std::floor(std::min(value, 0.999) * levels);
    return 2 * value - 1;
}

double phaseProgressInput(unsigned int inPhaseSteps, unsigned int numSteps) {
    return 2.0 * inPhaseSteps / (numSteps - 1) - 1;
}

double groupPositionInput(int agentId, int groupSize) {
    // Without groups an agent counts as the first of its own group.
    const int pos = groupSize > 0 ? agentId % groupSize : 0;
    return 2.0 * pos / (groupSize - 1) - 1;
}

void scoreActions(const AgentStrategy& s, Output output, const NetworkState& state, int numActions, double* probs) {
    const int outputIndex = output == OutputSearch ? s.nn.o0 : s.nn.o1;
    for (int a = 0; a < numActions; a++) {
        double in[kMaxInputs];
        const int count = networkInputs(s.type, output, state, a, numActions, in);
        probs[a] = evaluate(s.nn, in, count, outputIndex);
    }
    normalizeProbabilities(numActions, probs);
}

void normalizeProbabilities(int n, double* probs) {
    if (n <= 0) return;
    double sum = 0.0;
    for (int i = 0; i < n; i++) sum += probs[i];
    if (sum > 1e-8) {
        for (int i = 0; i < n; i++) probs[i] /= sum;
    } else {
        for (int i = 0; i < n; i++) probs[i] = 1.0 / n;
    }
}

int rouletteWheelSelection(int n, const double* probs, unsigned short* seed) {
    const double r = rng48::erand48(seed);
    if (n > 0) {
        double cumulative = 0 + probs[0];
        if (cumulative > r) return 0;
        for (int i = 1; i < n; i++) {
            cumulative += probs[i];
            if (cumulative > r) return i;
        }
    }
    NK_FATAL(Config, "Wrong probability distribution\n");
}

int mostProbableAction(int n, const double* probs) {
    int best = 0;
    for (int i = 1; i < n; i++)
        if (probs[i] - probs[best] > 1e-5) best = i;
    return best;
}

int chooseAction(int n, const double* probs, bool deterministic, unsigned short* seed) {
    return deterministic ? mostProbableAction(n, probs) : rouletteWheelSelection(n, probs, seed);
}

}  // namespace strategy
