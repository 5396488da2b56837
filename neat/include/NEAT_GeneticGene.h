// Common part of node and link genes: the gene ID and its enabled flag.
#ifndef NEAT_GENETICGENE_H
#define NEAT_GENETICGENE_H

namespace tinyxml2 {
class XMLElement;
}

namespace NEAT {

class Globals;

class GeneticGene {
public:
    GeneticGene(int ID, bool enabled) : ID(ID), enabled(enabled) {}
    // Reads the required "ID" and "Enabled" attributes; enabled only when "Enabled"
    // parses to the integer 1.
    explicit GeneticGene(const tinyxml2::XMLElement* element);
    virtual ~GeneticGene() = default;

    GeneticGene(const GeneticGene&) = default;
    GeneticGene& operator=(const GeneticGene&) = default;

    virtual int getID() const { return ID; }
    bool isEnabled() const { return enabled; }

    // Same ID and same enabled flag.
    virtual bool operator==(const GeneticGene& other) const;

protected:
    int ID;
    bool enabled;
};

}  // namespace NEAT

#endif
