// One genome: node and link genes kept sorted by ascending ID, fitness and species.
#ifndef NEAT_GENETICINDIVIDUAL_H
#define NEAT_GENETICINDIVIDUAL_H

#include <vector>

#include "NEAT_GeneticLinkGene.h"
#include "NEAT_GeneticNodeGene.h"

namespace NEAT {

class FastNetwork;

class GeneticIndividual {
public:
    GeneticIndividual(double fitness = 0.0, int speciesID = 0);
    // Reads an individual element with its first "Nodes" and first "Links" children,
    // raising the counters of `globals`. Errors (duplicate IDs, missing elements or
    // attributes, a link naming a node the individual lacks) are thrown as a GenomeError.
    GeneticIndividual(const tinyxml2::XMLElement* element, Globals& globals);
    virtual ~GeneticIndividual() = default;

    // Insert keeping ascending ID order; a repeated ID is thrown as a GenomeError.
    void addNode(const GeneticNodeGene& node);
    void addLink(const GeneticLinkGene& link);

    int getNodesCount() const { return static_cast<int>(nodes.size()); }
    const GeneticNodeGene& getNode(unsigned int i) const { return nodes.at(i); }
    int getLinksCount() const { return static_cast<int>(links.size()); }
    const GeneticLinkGene& getLink(unsigned int i) const { return links.at(i); }
    const std::vector<GeneticNodeGene>& getNodes() const { return nodes; }
    const std::vector<GeneticLinkGene>& getLinks() const { return links; }

    double getFitness() const { return fitness; }
    int getSpeciesID() const { return speciesID; }

    // A new network built from the genes; the caller owns it.
    FastNetwork* spawnFastPhenotype() const;

private:
    std::vector<GeneticNodeGene> nodes;
    std::vector<GeneticLinkGene> links;
    double fitness = 0.0;
    int speciesID = 0;
};

}  // namespace NEAT

#endif
