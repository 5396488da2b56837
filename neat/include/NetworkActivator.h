// Loads a genome population file and hands out fast networks for individuals of its
// last generation. Includes everything a user of the networks needs.
#ifndef NETWORKACTIVATOR_H
#define NETWORKACTIVATOR_H

#include <string>
#include <vector>

#include "NEAT_FastNetwork.h"
#include "NEAT_Globals.h"

namespace NEAT {

class GeneticPopulation;

// Node types and the bias node name as they appear in genome files.
inline constexpr char NA_SENSOR[] = "NetworkSensor";
inline constexpr char NA_OUTPUT[] = "NetworkOutputNode";
inline constexpr char NA_BIAS_NAME[] = "Bias";

class NetworkActivator {
public:
    explicit NetworkActivator(bool usingFastNet);
    // Destroys the population only: networks already handed out stay valid.
    ~NetworkActivator();

    NetworkActivator(const NetworkActivator&) = delete;
    NetworkActivator& operator=(const NetworkActivator&) = delete;

    // Replaces any earlier population, raising the ID counters of `globals`. Load errors
    // propagate as GenomeError; the activator then holds no population.
    void loadPopulation(std::string fileName, Globals& globals);

    // The network of individual index of the last generation, built on first request.
    // The caller takes ownership of it; a second fetch of the same index returns the
    // same pointer. An index out of range throws
    // "GET_INDIVIDUAL: GENERATION OUT OF RANGE!\n" as a GenomeError (OutOfRange).
    FastNetwork* fetchFastNetwork(int index);

    int getNumInputs() const { return _numInputs; }
    int getNumOutputs() const { return _numOutputs; }
    bool isUsingFastNet() const { return _usingFastNet; }
    const GeneticPopulation* getPopulation() const { return _pop; }
    // Slots in the network cache, and the network in one slot (null before a fetch).
    int getCacheSize() const { return static_cast<int>(_fastNets.size()); }
    const FastNetwork* getCachedNetwork(int index) const;

private:
    void setupNetworkCache();
    void clearNetworkCache();
    void countInputsAndOutputs();
    int individualCount() const;

    GeneticPopulation* _pop = nullptr;
    // Non-owning: the receiver of a fetched network owns it.
    std::vector<FastNetwork*> _fastNets;
    int _numInputs = 0;
    int _numOutputs = 0;
    bool _usingFastNet;
};

}  // namespace NEAT

#endif
