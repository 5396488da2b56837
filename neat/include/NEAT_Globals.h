// Program-wide NEAT settings: the parameter table and the gene/species ID counters,
// reached through Globals::singleton.
#ifndef NEAT_GLOBALS_H
#define NEAT_GLOBALS_H

#include <climits>
#include <map>
#include <string>

namespace NEAT {

// Selects the signed forms of the activation functions. Nothing in this program sets it.
extern bool signedActivation;

class Globals {
public:
    // Null until the configuration reader creates the table; owns what it points to.
    static Globals* singleton;

    // An empty name gives an empty table with all counters 0. Parameter files are not
    // supported: a non-empty name is reported and thrown as std::string.
    explicit Globals(std::string fileName);
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

// Forwards to the singleton; without one, reports the missing-globals error.
void setParameter(std::string name, double value);

// The singleton, or the missing-globals error (written to standard error, then thrown
// as std::string) when there is none.
Globals& requireGlobals();

// Raises counter so that it stays above id: max(counter, id + 1), saturating at INT_MAX.
inline int raisedCounter(int counter, int id) {
    if (counter > id) return counter;
    return id == INT_MAX ? INT_MAX : id + 1;
}

}  // namespace NEAT

#endif
