// The evaluable form of one genome: flat node and link arrays in one storage block,
// sensors first, updated synchronously.
#ifndef NEAT_FASTNETWORK_H
#define NEAT_FASTNETWORK_H

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "NEAT_ActivationFn.h"
#include "NEAT_GeneticLinkGene.h"
#include "NEAT_GeneticNodeGene.h"

namespace NEAT {

struct FastNetworkLink {
    int fromIndex;
    int toIndex;
    double weight;
};

class FastNetwork {
public:
    // Sensors ("NetworkSensor") get indices 0 .. numSensors-1 in gene order, the other
    // nodes follow. Every link takes part, enabled or not. A link naming a node ID
    // missing from nodes, or a node with an unknown activation function, is thrown as
    // a GenomeError.
    FastNetwork(const std::vector<GeneticNodeGene>& nodes, const std::vector<GeneticLinkGene>& links);
    FastNetwork(const FastNetwork& other);
    FastNetwork& operator=(const FastNetwork& other);
    virtual ~FastNetwork();

    // -1 when no node has that name.
    int getNodeIndex(const std::string& name) const;

    // Indices outside 0 .. numNodes-1 (such as -1 for a missing name) are ignored by
    // setValue and read 0.0 from getValue.
    void setValue(int index, double value);
    double getValue(int index) const;

    // All node values, sensors included, to 0.0.
    void reinitialize();
    // iterations synchronous steps; nothing for iterations <= 0. Allocates nothing.
    void update(int iterations);

    // Longest chain of links ending at any of the given nodes: the number of update
    // steps that carries every input to them. Invalid indices count 0. A cycle makes
    // the depth unbounded; it is thrown as a GenomeError.
    int computeMaxDepth(std::vector<int> outputIndices) const;

    unsigned int getNumNodes() const { return numNodes; }
    unsigned int getNumLinks() const { return numLinks; }
    int getNumSensors() const { return numSensors; }
    const FastNetworkLink& getLink(unsigned int i) const { return links[i]; }
    const ActivationFn* getNodeActivationFn(unsigned int i) const { return nodeActivationFns[i]; }

private:
    static std::size_t blockSize(unsigned int nodes, unsigned int links);
    void allocateBlock();
    void freeBlock();
    // Indices, names, activation functions and links from the genes.
    void fill(const std::vector<GeneticNodeGene>& nodes, const std::vector<GeneticLinkGene>& links);

    unsigned int numNodes = 0;
    unsigned int numLinks = 0;
    int numSensors = 0;
    std::map<std::string, int> nodeNameToIndex;

    // One allocation, divided in this order; null when the network is empty.
    unsigned char* block = nullptr;
    double* nodeValues = nullptr;
    double* nodeSums = nullptr;
    ActivationFn** nodeActivationFns = nullptr;
    FastNetworkLink* links = nullptr;
};

}  // namespace NEAT

#endif
