// The action-probability check of the command line.
#include "actionprobs.h"

#include <utility>

#include "agent.h"
#include "simulation.h"
#include "util.h"

std::vector<double> actionProbabilities(Simulation& simulation, int agentId, int outputId,
                                        std::vector<double> stateInputs, std::string& refusal) {
    const SimuParameters& params = simulation.getParameters();
    if (!params.usingNNStrategy) {
        refusal = "Error: Not using NN strategy!";
        return {};
    }
    if (agentId < 0 || agentId >= params.nAgents)
        NK_FATAL(Usage, "Agent id %d out of range: the configuration has agents 0 to %d\n", agentId,
                 params.nAgents - 1);
    simulation.initRun();
    return simulation.getAgents()[agentId]->actionProbabilities(outputId, std::move(stateInputs), refusal);
}
