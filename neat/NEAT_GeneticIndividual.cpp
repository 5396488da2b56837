// Genomes: sorted gene lists, reading from a genome file, building the network.
#include "NEAT_GeneticIndividual.h"
#include "NEAT_GenomeError.h"

#include <string>

#include "NEAT_FastNetwork.h"
#include "NEAT_Globals.h"
#include "NEAT_XmlReading.h"

namespace NEAT {

namespace {

[[noreturn]] void reportDuplicate(const char* text) { throw GenomeError(GenomeFault::Malformed, text); }

// The first child named name, required to have at least one child element itself.
const tinyxml2::XMLElement* requireGeneList(const tinyxml2::XMLElement* individual, const char* name,
                                            const char* geneKind) {
    const tinyxml2::XMLElement* list = individual->FirstChildElement(name);
    if (!list || !list->FirstChildElement()) {
        reportLoadError("Genome file: individual on line " + std::to_string(individual->GetLineNum()) + " has no \"" +
                        name + "\" element with at least one " + geneKind + "!");
    }
    return list;
}

}  // namespace

GeneticIndividual::GeneticIndividual(double fitness, int speciesID) : fitness(fitness), speciesID(speciesID) {}

GeneticIndividual::GeneticIndividual(const tinyxml2::XMLElement* element, Globals& globals)
    : fitness(requireRealAttribute(element, "Fitness")), speciesID(requireIntAttribute(element, "SpeciesID")) {
    globals.setSpeciesCounter(raisedCounter(globals.getSpeciesCounter(), speciesID));

    // Only the first of each list counts; later "Nodes" or "Links" elements are ignored.
    const tinyxml2::XMLElement* nodeList = requireGeneList(element, "Nodes", "node");
    for (const tinyxml2::XMLElement* e = nodeList->FirstChildElement(); e; e = e->NextSiblingElement())
        addNode(GeneticNodeGene(e, globals));

    const tinyxml2::XMLElement* linkList = requireGeneList(element, "Links", "link");
    for (const tinyxml2::XMLElement* e = linkList->FirstChildElement(); e; e = e->NextSiblingElement()) {
        GeneticLinkGene link(e, globals);
        // Checked while the line is known; all nodes have been read by now.
        for (int nodeID : {link.getFromNodeID(), link.getToNodeID()}) {
            bool found = false;
            for (const GeneticNodeGene& node : nodes) found = found || node.getID() == nodeID;
            if (!found) {
                reportLoadError("Genome file: link " + std::to_string(link.getID()) + " on line " +
                                std::to_string(e->GetLineNum()) + " names node " + std::to_string(nodeID) +
                                ", which its individual lacks!");
            }
        }
        addLink(link);
    }
}

void GeneticIndividual::addNode(const GeneticNodeGene& node) {
    auto it = nodes.begin();
    for (; it != nodes.end(); ++it) {
        if (it->getID() == node.getID()) reportDuplicate("Oops, tried to add a node when it already existed!");
        if (it->getID() > node.getID()) break;
    }
    nodes.insert(it, node);
}

void GeneticIndividual::addLink(const GeneticLinkGene& link) {
    auto it = links.begin();
    for (; it != links.end(); ++it) {
        if (it->getID() == link.getID()) reportDuplicate("Oops, tried to add a link when it already existed!");
        if (it->getID() > link.getID()) break;
    }
    links.insert(it, link);
}

FastNetwork* GeneticIndividual::spawnFastPhenotype() const { return new FastNetwork(nodes, links); }

}  // namespace NEAT
