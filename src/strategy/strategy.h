// Strategy decisions: the network inputs of every strategy type, the network evaluation, and
// the normalisation and draw every decision ends in. The agent's search decision, the search
// methods' place decision and the action-probability check all build their inputs here.
#pragma once

#include "constants.h"
#include "params.h"

namespace strategy {

// Search actions are scored by network output o0, place actions by o1.
enum Output { OutputSearch = 0, OutputPlace = 1 };

// Most inputs a strategy network reads, and most actions a decision chooses among.
constexpr int kMaxInputs = 6;
constexpr int kMaxActions = 6;

// What a network decision sees, already as network inputs. Search decisions read the best
// fitness of the public, private and group memory; place decisions the found point's fitness
// (first entry only). Phase progress and group position are in [-1, 1].
struct NetworkState {
    double fitness[3] = {0.0, 0.0, 0.0};
    double progress = 0.0;
    double groupPosition = 0.0;
};

// Ends the program unless type `t` has a network layout (strategytypes.h).
void requireNetworkType(StrategyType t);

// How many state values the network of type `t` reads for `output`: its fitness inputs, then
// progress and group position where the type uses them. The type must have a layout.
int stateSize(StrategyType t, Output output);
// The state from values given in that order (the action-probability check's state values).
NetworkState stateFromValues(StrategyType t, Output output, const double* values);

// Writes the network inputs of action `action` (of `numActions`) to `inputs`; returns their
// count. The type must have a layout.
int networkInputs(StrategyType t, Output output, const NetworkState& state, int action, int numActions, double* inputs);

// A fitness as a network input: optionally reduced to `levels` levels, then spread to [-1, 1].
double fitnessInput(double value, int levels);
// Progress through a phase of `numSteps` steps, and position in a group of `groupSize`.
double phaseProgressInput(unsigned int inPhaseSteps, unsigned int numSteps);
double groupPositionInput(int agentId, int groupSize);

// The network's output node `outputIndex` for the `count` inputs, clamped to [0, 1].
double evaluate(const NeuralNet& nn, const double* inputs, int count, int outputIndex);

// Scores every action with the strategy's network and normalises the scores into `probs`.
void scoreActions(const AgentStrategy& s, Output output, const NetworkState& state, int numActions, double* probs);

void normalizeProbabilities(int n, double* probs);
// Draws once from `seed` and returns the first action whose cumulative probability exceeds
// the draw; a distribution that never does is fatal.
int rouletteWheelSelection(int n, const double* probs, unsigned short* seed);
// The most probable action; a later one wins only by more than 1e-5, so near-ties go to the
// earlier action.
int mostProbableAction(int n, const double* probs);
// The most probable action when `deterministic`, otherwise a roulette draw.
int chooseAction(int n, const double* probs, bool deterministic, unsigned short* seed);

}  // namespace strategy
