// Simulation settings and strategy records, filled by the configuration reader.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "constants.h"
#include "strategytypes.h"

namespace NEAT {
class FastNetwork;
class Globals;
class NetworkActivator;
}  // namespace NEAT

typedef std::shared_ptr<NEAT::FastNetwork> NEATNetworkPtr;

// Agents are scored in at most this many fitness groups.
constexpr int kMaxFitnessGroups = 10;

struct SearchPhaseConfig {
    unsigned int maxSteps = 0;
    bool useAllAttempts = false;
    int maxTreeDepth = 0;
};

struct SearchPhaseConfigRange : SearchPhaseConfig {
    unsigned int maxAttempts = 0;
    double rangeLow = 0.0;
    double rangeHigh = 0.0;
};

struct SearchPhaseConfigRecomb : SearchPhaseConfig {
    unsigned int maxAttempts = 0;
};

struct CustomParameters {
    SearchPhaseConfig exploitSearchConfig;
};

struct AgentStrategyS1 {
    // [public level][private level][search type][memory action]
    double searchProbs[2][2][3][3] = {};
};

struct AgentStrategyS2 {
    // [level of the point's fitness][place action]
    double placeProbs[2][2] = {};
};

struct NeuralNet {
    NEATNetworkPtr net;
    int i0 = -1, i1 = -1, i2 = -1, i3 = -1, i4 = -1, i5 = -1;
    int o0 = -1, o1 = -1;
    int bias = -1;
    int depth = 0;
};

struct AgentStrategy {
    StrategyType type = StrategyType0;
    AgentStrategyS1 s1;
    AgentStrategyS2 s2;
    NeuralNet nn;

    // The counts of the strategy-type table (strategytypes.h); outside the types, no actions.
    int getNumSearchTypes() const { return isStrategyType(type) ? strategyType(type).searchTypes : 2; }
    int getNumMemTypesS1() const { return isStrategyType(type) ? strategyType(type).searchMemories : 0; }
    int getNumActionsS1() const { return isStrategyType(type) ? strategyType(type).searchActions : 0; }
    int getNumMemTypesS2() const { return isStrategyType(type) ? strategyType(type).placeActions : 0; }
};

typedef std::map<int, AgentStrategy> AgentStrategyMap;

// A strategy or agent parameter block of the main or extra file as it was read: its keyword and
// the words after it, numbers written so that they read back the same. The effective
// configuration is written back from these (--dump-config).
struct ConfigBlock {
    std::string keyword;
    std::vector<std::string> words;
};
typedef std::map<int, CustomParameters> AgentParamMap;

// Contents of configuration files held in memory, by position in the list of file names: an
// entry that is present is read instead of the file, whose name then only labels messages.
typedef std::vector<std::optional<std::string>> ConfigTexts;

class SimuParameters {
public:
    unsigned int n = 0;
    unsigned int k = 0;
    unsigned int nRuns = 0;
    double fitnessStretchCoef = 1.0;
    // Where the NK components come from: 0 (the default, every existing file) the seeded
    // components; 1 independent components drawn in turn from the landscape stream.
    int landscapeComponents = 0;
    int nAgents = 0;
    int groupSize = 0;
    unsigned int maxTotalSteps = 0;
    unsigned int lastStepsUsedForFitness = 25;
    std::int64_t maxTotalEvals = 0;
    int nFitnessGroups = 1;
    int firstFitnessAgent[kMaxFitnessGroups] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    int lastFitnessAgent[kMaxFitnessGroups] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    bool agentsFitnessUseMax = false;
    bool limitedEvalsFor2Groups = false;
    double evalsPerStepLimit = 0.0;
    unsigned int initialPublicMemSize = 1;
    unsigned int initialPrivateMemSize = 0;
    unsigned int initialGroupsMemSize = 1;
    unsigned int maxMemSize = 0;
    unsigned int rememberedSteps = 0;
    bool rememberChecked = true;
    unsigned long nPoints = 0;
    unsigned long nContexts = 0;
    int landscapeseed = 0;
    int changeseed = 0;
    int startseed = 0;
    int searchseed = 0;
    bool varylandscape = false, varychange = false, varystart = false, varysearch = false;
    // 0: each run continues the random streams of the run before; 1 (kRunSeedingIndependent):
    // each run seeds its streams from the seeds and its index, so runs can run in any order.
    int runSeeding = 0;
    // Each run draws a landscape of its own instead of all runs sharing the first one.
    bool landscapePerRun = false;
    int flockingRadius = 1;
    double flockingIntensity = 1.0;
    double flockingIntensityEnd = 1.0;
    double flockingIntensityDecay = 0.0;
    bool uniformFlocking = true;
    int maxVisitsPerStep = 0;
    bool revisitOnFailure = false;
    bool alwaysUpdateSourceMem = false;
    SearchPhaseConfigRange exploreSearchConfig;
    SearchPhaseConfigRange exploreSearchConfig2;
    SearchPhaseConfigRecomb recombSearchConfig;
    int fitnessQuantizationLevels = 0;
    bool waitingEnabled = false;
    bool alwaysUseUpToDateFitness = true;
    double maxDropPerStep = -1.0;
    bool revisitWhileWaiting = false;
    bool usingNNStrategy = false;
    AgentStrategy generalStrategy;
    AgentStrategyMap agentStrategies;
    int NNFitnessDiscreteSteps = 2;
    int nExtraStrategies = 0;
    std::vector<std::string> comparedStrategyNames;  // the names given with --compare-strategies
    bool secondProbsInterpolate = false;
    unsigned int secondProbsStep = 0;
    double searchProbs2[2][2][3][2] = {};
    double placeProbs2[2][2] = {};
    std::string optionalInfo;
    bool runExternally = true;
    bool deterministicActions = false;
    bool chooseActionEveryStep = false;
    CustomParameters generalCustomParams;
    AgentParamMap agentCustomParams;
    // Shared by worker copies, which only evaluate the networks fetched from it.
    std::shared_ptr<NEAT::NetworkActivator> netActivator;
    // The NEAT parameter table and ID counters of this read, made afresh by every read.
    std::shared_ptr<NEAT::Globals> neatGlobals;
    // The blocks of the main and extra files in reading order (compared strategies' not included).
    std::vector<ConfigBlock> blocksRead;
    // The reader's warnings in order, without "warning: " (also written to standard error when
    // messages are printed).
    std::vector<std::string> warnings;

    // Sets the defaults and reads every configuration file (main, extra, compared strategies).
    SimuParameters(const std::vector<std::string>& simuCfgFileNames,
                   const std::vector<std::string>& comparedStrategyNames, int nRunsOverride, double evalsPerStepLimit,
                   const ConfigTexts& texts = {});
    // Defaults only, no file read: for tests and tools that fill the fields themselves.
    explicit SimuParameters(const std::vector<std::string>& comparedStrategyNames);
    ~SimuParameters();
    SimuParameters& operator=(const SimuParameters&) = delete;
    // A copy for a world of its own (a batch's worker thread): the settings as read, with
    // every network copied, since evaluating a network writes its node values.
    struct ForWorker {};
    SimuParameters(const SimuParameters& other, ForWorker);

    // Reads the files in the order of the keyword table (keywords.h); any error ends the program.
    void readFromFile(const std::vector<std::string>& simuCfgFileNames, int nRunsOverride,
                      const ConfigTexts& texts = {});
    void print() const;

    const CustomParameters& getCustomParams(int agentId) const {
        auto it = agentCustomParams.find(agentId);
        return it != agentCustomParams.end() ? it->second : generalCustomParams;
    }

private:
    // Only through ForWorker: a plain copy would share the networks.
    SimuParameters(const SimuParameters&) = default;
};

constexpr int kRunSeedingIndependent = 1;
