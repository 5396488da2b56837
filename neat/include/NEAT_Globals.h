// NEAT settings: the parameter table and the gene/species ID counters. Each configuration
// read owns one and hands it to the genome reader, so that reads in different threads do not
// share counters.
#ifndef NEAT_GLOBALS_H
#define NEAT_GLOBALS_H

#include <climits>
#include <map>
#include <string>

namespace NEAT {

// Selects the signed forms of the activation functions; this program uses the unsigned ones.
inline constexpr bool signedActivation = false;

class Globals {
public:
    // An empty name gives an empty table with all counters 0. Parameter files are not
    // supported: a non-empty name is thrown as a GenomeError.
    explicit Globals(std::string fileName = "");
    virtual ~Globals();

    Globals(const Globals&) = delete;
    Globals& operator=(const Globals&) = delete;

    int getNodeCounter() const { return nodeCounter; }
    void setNodeCounter(int value) { nodeCounter = value; }
    int getLinkCounter() const { return linkCounter; }
    void setLinkCounter(int value) { linkCounter = value; }
    int getSpeciesCounter() const { return speciesCounter; }
    void setSpeciesCounter(int value) { speciesCounter = value; }

    // Inserts or overwrites; the two names do the same thing.
    void setParameterValue(std::string name, double value);
    void addParameter(std::string name, double value);

    bool hasParameter(const std::string& name) const;
    // A missing name reads 0.0.
    double getParameterValue(const std::string& name) const;
    const std::map<std::string, double>& getParameters() const { return parameters; }

private:
    int nodeCounter = 0;
    int linkCounter = 0;
    int speciesCounter = 0;
    std::map<std::string, double> parameters;
};

// Raises counter so that it stays above id: max(counter, id + 1), saturating at INT_MAX.
inline int raisedCounter(int counter, int id) {
    if (counter > id) return counter;
    return id == INT_MAX ? INT_MAX : id + 1;
}

}  // namespace NEAT

#endif
