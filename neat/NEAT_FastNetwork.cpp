// Building and evaluating fast networks.
#include "NEAT_FastNetwork.h"
#include "NEAT_GenomeError.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace NEAT {

// The block is carved into double, pointer and link arrays in that order; each part
// starts on a multiple of 8 bytes only if these hold.
static_assert(alignof(ActivationFn*) <= alignof(double) && sizeof(ActivationFn*) % alignof(double) == 0,
              "activation pointers must keep the links aligned");
static_assert(alignof(FastNetworkLink) <= alignof(double), "links must fit double alignment");

namespace {

[[noreturn]] void reportNetworkError(const std::string& text) { throw GenomeError(GenomeFault::BadNetwork, text); }

}  // namespace

std::size_t FastNetwork::blockSize(unsigned int nodes, unsigned int links) {
    return 2 * sizeof(double) * nodes + sizeof(ActivationFn*) * nodes + sizeof(FastNetworkLink) * links;
}

void FastNetwork::allocateBlock() {
    std::size_t size = blockSize(numNodes, numLinks);
    if (size == 0) return;
    block = static_cast<unsigned char*>(::operator new(size));
    unsigned char* p = block;
    nodeValues = reinterpret_cast<double*>(p);
    std::uninitialized_value_construct_n(nodeValues, numNodes);
    p += sizeof(double) * numNodes;
    nodeSums = reinterpret_cast<double*>(p);
    std::uninitialized_value_construct_n(nodeSums, numNodes);
    p += sizeof(double) * numNodes;
    nodeActivationFns = reinterpret_cast<ActivationFn**>(p);
    std::uninitialized_value_construct_n(nodeActivationFns, numNodes);
    p += sizeof(ActivationFn*) * numNodes;
    links = reinterpret_cast<FastNetworkLink*>(p);
    std::uninitialized_value_construct_n(links, numLinks);
}

void FastNetwork::freeBlock() {
    // Everything in the block is trivially destructible.
    ::operator delete(block);
    block = nullptr;
    nodeValues = nodeSums = nullptr;
    nodeActivationFns = nullptr;
    links = nullptr;
}

FastNetwork::FastNetwork(const std::vector<GeneticNodeGene>& nodes, const std::vector<GeneticLinkGene>& linkGenes)
    : numNodes(static_cast<unsigned int>(nodes.size())), numLinks(static_cast<unsigned int>(linkGenes.size())) {
    allocateBlock();
    // A throwing constructor never reaches the destructor.
    try {
        fill(nodes, linkGenes);
    } catch (...) {
        freeBlock();
        throw;
    }
}

void FastNetwork::fill(const std::vector<GeneticNodeGene>& nodes, const std::vector<GeneticLinkGene>& linkGenes) {
    std::map<int, int> idToIndex;
    int next = 0;
    auto place = [&](const GeneticNodeGene& node) {
        nodeNameToIndex[node.getName()] = next;  // a later node of the same name wins
        nodeActivationFns[next] = getActivationFn(node.getActivationFunction());
        idToIndex[node.getID()] = next;
        ++next;
    };
    // Sensors first, so that update can skip them as one range.
    for (const GeneticNodeGene& node : nodes)
        if (node.getType() == "NetworkSensor") place(node);
    numSensors = next;
    for (const GeneticNodeGene& node : nodes)
        if (node.getType() != "NetworkSensor") place(node);

    for (unsigned int i = 0; i < numLinks; ++i) {
        const GeneticLinkGene& gene = linkGenes[i];
        int ends[2] = {gene.getFromNodeID(), gene.getToNodeID()};
        int indices[2];
        for (int e = 0; e < 2; ++e) {
            auto it = idToIndex.find(ends[e]);
            if (it == idToIndex.end()) {
                reportNetworkError("Link " + std::to_string(gene.getID()) + " names node " + std::to_string(ends[e]) +
                                   ", which the network lacks!");
            }
            indices[e] = it->second;
        }
        links[i] = FastNetworkLink{indices[0], indices[1], gene.getWeight()};
    }
}

FastNetwork::FastNetwork(const FastNetwork& other)
    : numNodes(other.numNodes),
      numLinks(other.numLinks),
      numSensors(other.numSensors),
      nodeNameToIndex(other.nodeNameToIndex) {
    allocateBlock();
    if (block) std::memcpy(block, other.block, blockSize(numNodes, numLinks));
}

FastNetwork& FastNetwork::operator=(const FastNetwork& other) {
    if (this != &other) {
        FastNetwork copy(other);
        std::swap(numNodes, copy.numNodes);
        std::swap(numLinks, copy.numLinks);
        std::swap(numSensors, copy.numSensors);
        std::swap(nodeNameToIndex, copy.nodeNameToIndex);
        std::swap(block, copy.block);
        std::swap(nodeValues, copy.nodeValues);
        std::swap(nodeSums, copy.nodeSums);
        std::swap(nodeActivationFns, copy.nodeActivationFns);
        std::swap(links, copy.links);
    }
    return *this;
}

FastNetwork::~FastNetwork() { freeBlock(); }

int FastNetwork::getNodeIndex(const std::string& name) const {
    auto it = nodeNameToIndex.find(name);
    return it == nodeNameToIndex.end() ? -1 : it->second;
}

void FastNetwork::setValue(int index, double value) {
    if (index >= 0 && static_cast<unsigned int>(index) < numNodes) nodeValues[index] = value;
}

double FastNetwork::getValue(int index) const {
    if (index >= 0 && static_cast<unsigned int>(index) < numNodes) return nodeValues[index];
    return 0.0;
}

void FastNetwork::reinitialize() { std::fill(nodeValues, nodeValues + numNodes, 0.0); }

void FastNetwork::update(int iterations) {
    for (int step = 0; step < iterations; ++step) {
        std::fill(nodeSums, nodeSums + numNodes, 0.0);
        // Sums read only the previous step's values: the update is synchronous.
        for (const FastNetworkLink* link = links; link != links + numLinks; ++link)
            nodeSums[link->toIndex] += nodeValues[link->fromIndex] * link->weight;
        // Sensors keep their values; sums into them are dropped.
        for (unsigned int j = static_cast<unsigned int>(numSensors); j < numNodes; ++j)
            nodeValues[j] = nodeActivationFns[j]->eval(nodeSums[j]);
    }
}

int FastNetwork::computeMaxDepth(std::vector<int> outputIndices) const {
    std::vector<int> depth(numNodes, 0);
    // Relaxation until nothing changes. A depth of d means a walk of d links ends at
    // the node, so in an acyclic network no depth reaches numNodes; reaching it proves
    // a cycle, on which the relaxation would otherwise never stop.
    bool changed = numLinks > 0;
    while (changed) {
        changed = false;
        for (unsigned int i = 0; i < numLinks; ++i) {
            const FastNetworkLink& link = links[i];
            if (depth[link.fromIndex] >= depth[link.toIndex]) {
                depth[link.toIndex] = depth[link.fromIndex] + 1;
                changed = true;
                if (static_cast<unsigned int>(depth[link.toIndex]) >= numNodes)
                    reportNetworkError("The network has a cycle, so its depth is unbounded!");
            }
        }
    }
    int maxDepth = 0;
    for (int o : outputIndices)
        if (o >= 0 && static_cast<unsigned int>(o) < numNodes) maxDepth = std::max(maxDepth, depth[o]);
    return maxDepth;
}

}  // namespace NEAT
