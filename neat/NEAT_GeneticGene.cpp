// Common part of genes: ID and enabled flag.
#include "NEAT_GeneticGene.h"

#include "NEAT_XmlReading.h"

namespace NEAT {

GeneticGene::GeneticGene(const tinyxml2::XMLElement* element)
    : ID(requireIntAttribute(element, "ID")),
      // Only the integer 1 enables: "2", "true" and "" do not, " 1" does.
      enabled(requireIntAttribute(element, "Enabled") == 1) {}

bool GeneticGene::operator==(const GeneticGene& other) const { return ID == other.ID && enabled == other.enabled; }

}  // namespace NEAT
