// One generation: its individuals in file order. Copies share the individuals.
#ifndef NEAT_GENETICGENERATION_H
#define NEAT_GENETICGENERATION_H

#include <memory>
#include <vector>

#include "NEAT_GeneticIndividual.h"

namespace NEAT {

class GeneticGeneration {
public:
    explicit GeneticGeneration(int generationNumber = 0) : generationNumber(generationNumber) {}
    // Reads "GenNumber" and every child element as an individual; a generation without
    // individuals is thrown as a GenomeError.
    GeneticGeneration(const tinyxml2::XMLElement* element, Globals& globals);
    virtual ~GeneticGeneration() = default;

    void addIndividual(std::shared_ptr<GeneticIndividual> individual);
    int getIndividualCount() const { return static_cast<int>(individuals.size()); }
    // No range check: GeneticPopulation::getIndividual checks and reports.
    std::shared_ptr<GeneticIndividual> getIndividual(unsigned int i) const { return individuals[i]; }
    int getGenerationNumber() const { return generationNumber; }

private:
    std::vector<std::shared_ptr<GeneticIndividual>> individuals;
    int generationNumber = 0;
};

}  // namespace NEAT

#endif
