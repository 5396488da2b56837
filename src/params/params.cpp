// The record's own lifecycle: the defaults of every field are in its declaration; the
// NEAT objects it owns are complete here.
#include "params.h"
#include "NEAT_FastNetwork.h"
#include "NEAT_Globals.h"
#include "NetworkActivator.h"

SimuParameters::SimuParameters(const std::vector<std::string>& names) : comparedStrategyNames(names) {}

SimuParameters::~SimuParameters() = default;

SimuParameters::SimuParameters(const SimuParameters& other, ForWorker) : SimuParameters(other) {
    // Strategies that share a network keep sharing one copy of it.
    std::map<const NEAT::FastNetwork*, NEATNetworkPtr> copies;
    const auto copyNetwork = [&copies](AgentStrategy& s) {
        if (!s.nn.net) return;
        NEATNetworkPtr& copy = copies[s.nn.net.get()];
        if (!copy) copy = std::make_shared<NEAT::FastNetwork>(*s.nn.net);
        s.nn.net = copy;
    };
    copyNetwork(generalStrategy);
    for (auto& entry : agentStrategies) copyNetwork(entry.second);
}
