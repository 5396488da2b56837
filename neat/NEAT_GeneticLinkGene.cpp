// Link genes, built directly or read from a genome file.
#include "NEAT_GeneticLinkGene.h"

#include "NEAT_Globals.h"
#include "NEAT_XmlReading.h"

namespace NEAT {

GeneticLinkGene::GeneticLinkGene(int ID, int fromNode, int toNode, double weight, bool enabled)
    : GeneticGene(ID, enabled), fromNode(fromNode), toNode(toNode), weight(weight) {}

GeneticLinkGene::GeneticLinkGene(const tinyxml2::XMLElement* element, Globals& globals)
    : GeneticGene(element),
      fromNode(requireIntAttribute(element, "fromNode")),
      toNode(requireIntAttribute(element, "toNode")),
      weight(requireRealAttribute(element, "weight")) {
    globals.setLinkCounter(raisedCounter(globals.getLinkCounter(), ID));
}

}  // namespace NEAT
