// Serving fast networks from a loaded genome population.
#include "NetworkActivator.h"
#include "NEAT_GenomeError.h"

#include <utility>

#include "NEAT_GeneticPopulation.h"

namespace NEAT {

NetworkActivator::NetworkActivator(bool usingFastNet) : _usingFastNet(usingFastNet) {}

NetworkActivator::~NetworkActivator() {
    clearNetworkCache();
    delete _pop;
}

void NetworkActivator::loadPopulation(std::string fileName, Globals& globals) {
    clearNetworkCache();
    delete _pop;
    _pop = nullptr;
    _numInputs = _numOutputs = 0;
    _pop = new GeneticPopulation(std::move(fileName), globals);
    countInputsAndOutputs();
    setupNetworkCache();
}

int NetworkActivator::individualCount() const { return _pop ? _pop->getIndividualCount() : 0; }

FastNetwork* NetworkActivator::fetchFastNetwork(int index) {
    if (index < 0 || index >= individualCount())
        throw GenomeError(GenomeFault::OutOfRange, "GET_INDIVIDUAL: GENERATION OUT OF RANGE!\n");
    FastNetwork*& slot = _fastNets[index];
    if (!slot) slot = _pop->getIndividual(static_cast<unsigned int>(index))->spawnFastPhenotype();
    return slot;
}

const FastNetwork* NetworkActivator::getCachedNetwork(int index) const {
    if (index < 0 || index >= getCacheSize()) return nullptr;
    return _fastNets[index];
}

void NetworkActivator::setupNetworkCache() {
    // Never shrinks: slots beyond the current population simply stay null.
    std::size_t n = static_cast<std::size_t>(individualCount());
    if (_fastNets.size() < n) _fastNets.resize(n, nullptr);
}

void NetworkActivator::clearNetworkCache() {
    // The networks belong to whoever fetched them; only forget them.
    for (FastNetwork*& slot : _fastNets) slot = nullptr;
}

void NetworkActivator::countInputsAndOutputs() {
    _numInputs = _numOutputs = 0;
    std::shared_ptr<GeneticIndividual> first = _pop->getIndividual(0);
    for (const GeneticNodeGene& node : first->getNodes()) {
        // The bias node is a sensor too, but not an input.
        if (node.getType() == NA_SENSOR && node.getName().find("INPUT") != std::string::npos) ++_numInputs;
        if (node.getType() == NA_OUTPUT) ++_numOutputs;
    }
}

}  // namespace NEAT
