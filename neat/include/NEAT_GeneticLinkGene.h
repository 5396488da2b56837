// A link gene: source and target node IDs and the weight.
#ifndef NEAT_GENETICLINKGENE_H
#define NEAT_GENETICLINKGENE_H

#include "NEAT_GeneticGene.h"

namespace NEAT {

class GeneticLinkGene : public GeneticGene {
public:
    GeneticLinkGene(int ID, int fromNode, int toNode, double weight, bool enabled = true);
    // Reads a link element and raises the link counter of `globals` above its ID. Missing
    // required attributes are thrown as a GenomeError.
    GeneticLinkGene(const tinyxml2::XMLElement* element, Globals& globals);

    int getID() const override { return ID; }
    int getFromNodeID() const { return fromNode; }
    int getToNodeID() const { return toNode; }
    double getWeight() const { return weight; }

private:
    int fromNode;
    int toNode;
    double weight;
};

}  // namespace NEAT

#endif
