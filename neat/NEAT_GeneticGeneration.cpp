// Generations: the individuals of one "Generation" element.
#include "NEAT_GeneticGeneration.h"

#include <string>
#include <utility>

#include "NEAT_XmlReading.h"

namespace NEAT {

GeneticGeneration::GeneticGeneration(const tinyxml2::XMLElement* element, Globals& globals)
    : generationNumber(requireIntAttribute(element, "GenNumber")) {
    // Every child is an individual, whatever its name.
    for (const tinyxml2::XMLElement* e = element->FirstChildElement(); e; e = e->NextSiblingElement())
        individuals.push_back(std::make_shared<GeneticIndividual>(e, globals));
    if (individuals.empty()) {
        reportLoadError("Genome file: generation on line " + std::to_string(element->GetLineNum()) +
                        " has no individual!");
    }
}

void GeneticGeneration::addIndividual(std::shared_ptr<GeneticIndividual> individual) {
    individuals.push_back(std::move(individual));
}

}  // namespace NEAT
