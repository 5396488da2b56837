// A genome population file read into memory: all its generations, read-only.
#ifndef NEAT_GENETICPOPULATION_H
#define NEAT_GENETICPOPULATION_H

#include <memory>
#include <string>
#include <vector>

#include "NEAT_GeneticGeneration.h"

namespace NEAT {

class GeneticPopulation {
public:
    // Reads the whole file, raising the ID counters of `globals`; a name ending in ".gz"
    // (and longer than that) is gzip data. Every failure is thrown as a GenomeError.
    GeneticPopulation(std::string fileName, Globals& globals);
    virtual ~GeneticPopulation() = default;

    GeneticPopulation(const GeneticPopulation&) = delete;
    GeneticPopulation& operator=(const GeneticPopulation&) = delete;

    // generation -1 means the last one read. Out of range (generation or index) throws
    // "GET_INDIVIDUAL: GENERATION OUT OF RANGE!\n" as a GenomeError (OutOfRange).
    std::shared_ptr<GeneticIndividual> getIndividual(unsigned int index, int generation = -1) const;
    // Individuals of the given generation (-1: the last one); 0 for an invalid one.
    int getIndividualCount(int generation = -1) const;

    int getGenerationCount() const { return static_cast<int>(generations.size()); }
    int getCurrentGeneration() const { return currentGeneration; }
    const GeneticGeneration& getGeneration(int position) const { return generations.at(position); }

private:
    std::vector<GeneticGeneration> generations;
    int currentGeneration = -1;
};

}  // namespace NEAT

#endif
