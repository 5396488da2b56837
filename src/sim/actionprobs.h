// The action-probability check: an agent's network strategy scored for given state values,
// without a step.
#pragma once

#include <string>
#include <vector>

class Simulation;

// Builds run 0's memories and agents (drawing the initial memories as a run does) and scores
// every action of agent `agentId`'s network strategy for `stateInputs`. Returns the
// probabilities, or nothing with `refusal` set to the message for a request that cannot be
// served (no network strategy, an output id other than 0 and 1, too few state values). An
// agent id out of range is a usage error; a strategy type without a network layout a
// configuration error.
std::vector<double> actionProbabilities(Simulation& simulation, int agentId, int outputId,
                                        std::vector<double> stateInputs, std::string& refusal);
