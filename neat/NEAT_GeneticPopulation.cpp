// Reading a whole genome population file.
#include "NEAT_GeneticPopulation.h"
#include "NEAT_GenomeError.h"

#include "NEAT_XmlReading.h"

namespace NEAT {

namespace {
const char* const OUT_OF_RANGE = "GET_INDIVIDUAL: GENERATION OUT OF RANGE!\n";
}

GeneticPopulation::GeneticPopulation(std::string fileName, Globals& globals) {
    tinyxml2::XMLDocument doc;
    if (!loadXmlDocument(fileName, doc)) reportLoadError("Error trying to load the XML file!", GenomeFault::Unreadable);

    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!root) reportLoadError("Genome file: no root element!");
    // Other children of the root (comments, notes) are skipped.
    for (const tinyxml2::XMLElement* e = root->FirstChildElement("Generation"); e;
         e = e->NextSiblingElement("Generation"))
        generations.emplace_back(e, globals);
    if (generations.empty()) reportLoadError("Genome file: no \"Generation\" element under the root!");
    currentGeneration = static_cast<int>(generations.size()) - 1;
}

std::shared_ptr<GeneticIndividual> GeneticPopulation::getIndividual(unsigned int index, int generation) const {
    if (generation == -1) generation = currentGeneration;
    if (generation >= 0 && generation < getGenerationCount() &&
        index < static_cast<unsigned int>(generations[generation].getIndividualCount()))
        return generations[generation].getIndividual(index);
    throw GenomeError(GenomeFault::OutOfRange, OUT_OF_RANGE);
}

int GeneticPopulation::getIndividualCount(int generation) const {
    if (generation == -1) generation = currentGeneration;
    if (generation < 0 || generation >= getGenerationCount()) return 0;
    return generations[generation].getIndividualCount();
}

}  // namespace NEAT
