// Reading, checking and printing the simulation settings and the strategy blocks.
#include "params.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

#include "NetworkActivator.h"
#include "util.h"

namespace {

// The value conversions of the keyword table. Their results are ignored wherever the file
// format wants a failed conversion to leave the default (an absent required keyword).
bool scanU(FILE* fp, unsigned int* v) { return fscanf(fp, "%u", v) == 1; }
bool scanInt(FILE* fp, int* v) { return fscanf(fp, "%d", v) == 1; }
bool scanDouble(FILE* fp, double* v) { return fscanf(fp, "%lf", v) == 1; }
bool scanSpaceInt(FILE* fp, int* v) { return fscanf(fp, " %d", v) == 1; }
bool scanSpaceDouble(FILE* fp, double* v) { return fscanf(fp, " %lf", v) == 1; }

// "%u" into a signed field: the bits are kept, as the format would store them.
void scanUAsInt(FILE* fp, int* v) {
    unsigned int u;
    if (scanU(fp, &u)) *v = static_cast<int>(u);
}

// The 0/1 value of a flag whose keyword has been consumed already.
bool readFlagValue(FILE* fp, const char* name) {
    int value = -1;  // what a word such as "yes" reports
    if (!scanInt(fp, &value) || (value != 0 && value != 1)) {
        printf("%s=%d incorrect\n", name, value);
        NK_FATAL("\n");
    }
    return value == 1;
}

// A flag preceded by its keyword; an unmatched keyword reads as false.
bool readBool(FILE* fp, const char* name, bool required) {
    if (name && !read_till_keyword(fp, name, required)) return false;
    return readFlagValue(fp, name ? name : "");
}

void readOptionalFlag(FILE* fp, const char* name, bool& field) {
    if (read_till_keyword(fp, name, false)) field = readFlagValue(fp, name);
}

void readOptionalU(FILE* fp, const char* name, unsigned int& field) {
    if (read_till_keyword(fp, name, false)) scanU(fp, &field);
}

void readOptionalInt(FILE* fp, const char* name, int& field) {
    if (read_till_keyword(fp, name, false)) scanInt(fp, &field);
}

void readOptionalDouble(FILE* fp, const char* name, double& field) {
    if (read_till_keyword(fp, name, false)) scanDouble(fp, &field);
}

void readExploreConfig(FILE* fp, SearchPhaseConfigRange& c) {
    int got = fscanf(fp, "%u %u %lf %lf", &c.maxSteps, &c.maxAttempts, &c.rangeLow, &c.rangeHigh);
    (void)got;  // missing values leave the defaults, which the range check then judges
}

// The explore distance is drawn between ceil(low*n) and floor(high*n). The products are
// rounded to float first, so that 0.28 of 25 (7.000000000000001 in double) is distance 7.
void checkExploreRange(const SearchPhaseConfigRange& c, unsigned int n) {
    float low = static_cast<float>(c.rangeLow * n);
    float high = static_cast<float>(c.rangeHigh * n);
    if (!(c.rangeLow >= 0) || !(c.rangeHigh <= 1) || std::ceil(low) > std::floor(high))
        NK_FATAL("range [%f..%f] won't work\n\n", low, high);
}

const char* nameOrEmpty(const char* fileName) { return fileName ? fileName : ""; }

// Everything of a main or compared-strategy file is read in one fixed order, so a word
// left over means a keyword stood out of place and the values after it were misread.
// (Only the extra file may keep unread blocks: its general strategy yields to the main file's.)
void rejectLeftoverWords(FILE* fp, const char* fileName) {
    char word[1004];
    while (read_word(fp, word, sizeof word)) {
        if (word[0] == '#') {
            fgl(fp);
            continue;
        }
        NK_FATAL(
            "Unexpected \"%s\" in %s: keywords must appear in the fixed order, and this one was not "
            "expected after the last keyword read\n\n",
            word, fileName);
    }
}

// The value of "landscapeComponents": exactly the word 0 or 1. The two give different
// landscapes, so anything else is refused rather than read as one of them.
int readLandscapeComponents(FILE* fp) {
    char word[1004];
    if (read_word(fp, word, sizeof word) && (strcmp(word, "0") == 0 || strcmp(word, "1") == 0)) return word[0] - '0';
    NK_FATAL("landscapeComponents must be 0 (seeded components) or 1 (independent components), not \"%s\"\n\n", word);
}

// Closes a configuration file however reading ends: a fatal error may be thrown
// (tests, fuzzers) rather than end the process, and must not leak the handle.
struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
typedef std::unique_ptr<FILE, FileCloser> FileHandle;

FileHandle openConfigFile(const char* name) {
    FILE* fp;
    open_file(name, "r", &fp, true);
    return FileHandle(fp);
}

// A table that no block filled is all zeros: a filled one is normalised, never all zero.
template <size_t N>
bool tableIsEmpty(const double (&row)[N]) {
    for (double v : row)
        if (v != 0.0) return false;
    return true;
}
template <typename T, size_t N>
bool tableIsEmpty(const T (&table)[N]) {
    for (const auto& row : table)
        if (!tableIsEmpty(row)) return false;
    return true;
}

// Bounds far beyond any sensible study. They exist so that a slip (an extra digit, a
// negative number read as unsigned) is reported here instead of exhausting memory,
// the stack or int arithmetic in the run; docs/bad-inputs.md lists them.
constexpr int kMaxAgents = 1000000;
constexpr unsigned long long kMaxInitialPoints = 10000000;  // all initial memories together
constexpr unsigned int kMaxRuns = 1000000;
constexpr unsigned int kMaxExploreAttempts = 1000000;  // per step
constexpr int kMaxTreeDepth = 1000;                    // recursion depth of the look-ahead
constexpr int kMaxFlockingRadius = 1000000;
constexpr int kMaxQuantizationLevels = 1000000;
constexpr double kMaxStretch = 1000.0;  // with the levels above, fitness x levels fits an int

// The key of an agent's entry: its index plus the offset of its file (compared strategies).
int agentKey(int agIdOffset, int agentId) {
    long long key = static_cast<long long>(agIdOffset) + agentId;
    if (key < INT_MIN || key > INT_MAX) NK_FATAL("Agent index %d is out of range\n\n", agentId);
    return static_cast<int>(key);
}

void checkFinite(const char* name, double value) {
    if (!std::isfinite(value)) NK_FATAL("%s=%f is not a finite number\n\n", name, value);
}

// Limits on sizes and counts, and values the run cannot compute with.
void checkLimits(const SimuParameters& p) {
    checkFinite("fitnessStretchCoef", p.fitnessStretchCoef);
    if (std::fabs(p.fitnessStretchCoef) > kMaxStretch)
        NK_FATAL("fitnessStretchCoef=%g is outside -%g..%g\n\n", p.fitnessStretchCoef, kMaxStretch, kMaxStretch);
    checkFinite("flockingIntensity", p.flockingIntensity);
    checkFinite("flockingIntensityEnd", p.flockingIntensityEnd);
    checkFinite("flockingIntensityDecay", p.flockingIntensityDecay);
    checkFinite("maxDropPerStep", p.maxDropPerStep);
    if (p.flockingRadius < -kMaxFlockingRadius || p.flockingRadius > kMaxFlockingRadius)
        NK_FATAL("flockingRadius=%d is outside -%d..%d\n\n", p.flockingRadius, kMaxFlockingRadius, kMaxFlockingRadius);
    if (p.fitnessQuantizationLevels > kMaxQuantizationLevels)
        NK_FATAL("fitnessQuantizationLevels=%d is above the limit of %d\n\n", p.fitnessQuantizationLevels,
                 kMaxQuantizationLevels);
    if (p.nRuns > kMaxRuns) NK_FATAL("nRuns=%u is above the limit of %u\n\n", p.nRuns, kMaxRuns);
    if (p.exploreSearchConfig.maxAttempts > kMaxExploreAttempts)
        NK_FATAL("explore attempts=%u is above the limit of %u\n\n", p.exploreSearchConfig.maxAttempts,
                 kMaxExploreAttempts);
    auto checkDepth = [](int depth) {
        if (depth > kMaxTreeDepth)
            NK_FATAL("maxExploitTreeDepth=%d is above the limit of %d\n\n", depth, kMaxTreeDepth);
    };
    checkDepth(p.generalCustomParams.exploitSearchConfig.maxTreeDepth);
    for (const auto& entry : p.agentCustomParams) checkDepth(entry.second.exploitSearchConfig.maxTreeDepth);

    // Every initial point is drawn and evaluated before the first step.
    auto filled = [&](unsigned int size) { return static_cast<unsigned long long>(std::min(size, p.maxMemSize)); };
    const unsigned long long nGroups = p.groupSize > 1 ? static_cast<unsigned long long>(p.nAgents / p.groupSize) : 0;
    const unsigned long long points = filled(p.initialPublicMemSize) + nGroups * filled(p.initialGroupsMemSize) +
                                      static_cast<unsigned long long>(p.nAgents) * filled(p.initialPrivateMemSize);
    if (points > kMaxInitialPoints)
        NK_FATAL(
            "The initial memories would hold %llu points, above the limit of %llu (initialMemSize=%u for each "
            "of %d agents, initialPublicMemSize=%u, initialGroupsMemSize=%u)\n\n",
            points, kMaxInitialPoints, p.initialPrivateMemSize, p.nAgents, p.initialPublicMemSize,
            p.initialGroupsMemSize);

    // A run with an evaluation budget ends only when fitness group 0 has spent it.
    if (p.maxTotalEvals > 0) {
        if (p.exploreSearchConfig.maxAttempts == 0 && !p.alwaysUseUpToDateFitness && !p.alwaysUpdateSourceMem)
            NK_FATAL(
                "maxTotalEvals=%d may never be reached: explore with 0 attempts evaluates nothing when "
                "alwaysUseUpToDateFitness and alwaysUpdateSourceMem are 0\n\n",
                p.maxTotalEvals);
        // Groups take turns by evaluations spent; an empty group never spends any and keeps the turn.
        if (p.limitedEvalsFor2Groups)
            for (int g = 0; g < p.nFitnessGroups; g++)
                if (p.firstFitnessAgent[g] > p.lastFitnessAgent[g])
                    NK_FATAL(
                        "maxTotalEvals=%d with limitedEvals 1 needs agents in every fitness group; group %d "
                        "is empty\n\n",
                        p.maxTotalEvals, g);
    }
}

// Checks that need the whole configuration; each names the setting at fault.
void validate(const SimuParameters& p) {
    checkLimits(p);
    if (p.groupSize > 1 && p.nAgents % p.groupSize != 0)
        NK_FATAL("nAgents=%d is not a multiple of groupSize=%d\n\n", p.nAgents, p.groupSize);
    // Agents decide from the best entries of these memories in their very first step.
    if (p.initialPublicMemSize == 0) NK_FATAL("initialPublicMemSize must be above 0\n\n");
    if (p.initialPrivateMemSize == 0) NK_FATAL("initialMemSize must be above 0\n\n");
    if (p.groupSize > 1 && p.initialGroupsMemSize == 0)
        NK_FATAL("initialGroupsMemSize must be above 0 when groupSize=%d\n\n", p.groupSize);
    // Empty ranges (first above last) are allowed: the default group and a wrapped ring.
    for (int g = 0; g < p.nFitnessGroups; g++) {
        int first = p.firstFitnessAgent[g], last = p.lastFitnessAgent[g];
        if (first <= last && (first < 0 || last > p.nAgents - 1))
            NK_FATAL("Fitness group %d (agents %d..%d) reaches outside agents 0..%d\n\n", g, first, last,
                     p.nAgents - 1);
    }
    if (p.maxTotalEvals > 0 && p.firstFitnessAgent[0] > p.lastFitnessAgent[0])
        NK_FATAL("maxTotalEvals=%d needs an agent in fitness group 0, which is empty\n\n", p.maxTotalEvals);
    if (p.nRuns == 0) NK_FATAL("nRuns must be above 0\n\n");
    if (p.lastStepsUsedForFitness == 0) NK_FATAL("lastStepsUsedForFitness must be above 0\n\n");
    if (!p.usingNNStrategy) {
        // Every decision draws from these tables; an empty one would only fail mid-run.
        auto checkTables = [&](const AgentStrategy& s, const char* who, int id) {
            if (tableIsEmpty(s.s1.searchProbs))
                NK_FATAL("%s %d has no search probability table (searchProbs)\n\n", who, id);
            if (tableIsEmpty(s.s2.placeProbs))
                NK_FATAL("%s %d has no place probability table (placeProbs)\n\n", who, id);
        };
        for (int id = 0; id < p.nAgents; id++) {
            auto it = p.agentStrategies.find(id);
            checkTables(it != p.agentStrategies.end() ? it->second : p.generalStrategy, "Agent", id);
        }
        for (int i = 0; i < p.nExtraStrategies; i++) {
            auto it = p.agentStrategies.find(p.nAgents + i);
            checkTables(it != p.agentStrategies.end() ? it->second : p.generalStrategy, "Compared strategy", i + 1);
        }
    }
    if (p.usingNNStrategy) {
        // With a network strategy every decision, compared strategies included, asks a network.
        for (int id = 0; id < p.nAgents; id++) {
            auto it = p.agentStrategies.find(id);
            const AgentStrategy& s = it != p.agentStrategies.end() ? it->second : p.generalStrategy;
            if (!s.nn.net) NK_FATAL("Agent %d has no network, but a network strategy is used\n\n", id);
        }
        for (int i = 0; i < p.nExtraStrategies; i++) {
            auto it = p.agentStrategies.find(p.nAgents + i);
            if (it == p.agentStrategies.end() || !it->second.nn.net)
                NK_FATAL("Compared strategy %d (agent %d) has no network, but a network strategy is used\n\n", i + 1,
                         p.nAgents + i);
        }
    }
}

}  // namespace

SimuParameters::SimuParameters(std::vector<std::string>& names) : comparedStrategyNames(names) {}

SimuParameters::SimuParameters(const std::vector<std::string>& simuCfgFileNames, std::vector<std::string>& names,
                               int nRunsOverride, double evalsPerStepLimit_)
    : evalsPerStepLimit(evalsPerStepLimit_), comparedStrategyNames(names) {
    readFromFile(simuCfgFileNames, nRunsOverride);
}

SimuParameters::~SimuParameters() { delete netActivator; }

void SimuParameters::readFromFile(const std::vector<std::string>& simuCfgFileNames, int nRunsOverride) {
    // Genome reading needs the NEAT globals; every configuration read starts them afresh.
    delete NEAT::Globals::singleton;
    NEAT::Globals::singleton = new NEAT::Globals("");
    NEAT::setParameter("UseActGaussian", 1.0);

    if (simuCfgFileNames.empty()) NK_FATAL("No config. files!\n");
    // Agents carry room for two compared strategies only.
    if (simuCfgFileNames.size() > 4)
        NK_FATAL("Too many config. files: %zu compared strategies given, at most 2 are supported\n",
                 simuCfgFileNames.size() - 2);

    const char* mainName = simuCfgFileNames[0].c_str();
    FileHandle mainFile = openConfigFile(mainName);
    FILE* fp = mainFile.get();

    // Only the keyword is skipped: no description is read, so a word after it blocks "n".
    read_till_keyword(fp, "optionalInfo", false);

    read_till_keyword(fp, "n", true);
    scanU(fp, &n);
    read_till_keyword(fp, "k", true);
    scanU(fp, &k);
    // Points are 31-bit patterns in a signed int.
    if (n < 1 || n > 31 || k > n - 1) NK_FATAL("n=%u or k=%u out of bounds\n\n", n, k);
    nPoints = 1UL << n;
    nContexts = 1UL << k;

    readOptionalDouble(fp, "fitnessStretchCoef", fitnessStretchCoef);
    if (read_till_keyword(fp, "landscapeComponents", false)) landscapeComponents = readLandscapeComponents(fp);
    read_till_keyword(fp, "nAgents", true);
    scanUAsInt(fp, &nAgents);
    // Checked at once: agent loops and the keys of compared strategies (nAgents + i) follow.
    if (nAgents < 0 || nAgents > kMaxAgents) NK_FATAL("nAgents=%d is outside 0..%d\n\n", nAgents, kMaxAgents);
    readOptionalInt(fp, "groupSize", groupSize);
    read_till_keyword(fp, "nRuns", true);
    scanU(fp, &nRuns);
    if (nRunsOverride > 0) nRuns = static_cast<unsigned int>(nRunsOverride);
    read_till_keyword(fp, "maxTotalSteps", true);
    scanU(fp, &maxTotalSteps);
    readOptionalU(fp, "lastStepsUsedForFitness", lastStepsUsedForFitness);
    readOptionalInt(fp, "maxTotalEvals", maxTotalEvals);

    bool fitnessGroupsGiven = false;
    if (read_till_keyword(fp, "subsetOfAgentsFitness", false)) {
        fitnessGroupsGiven = true;
        if (readFlagValue(fp, "subsetOfAgentsFitness")) {
            nFitnessGroups = 2;
            read_till_keyword(fp, "firstAgentFitness", true);
            scanInt(fp, &firstFitnessAgent[0]);
            read_till_keyword(fp, "lastAgentFitness", true);
            scanInt(fp, &lastFitnessAgent[0]);
            // Group 1 is the rest of the ring of agents.
            if (nAgents < 1) NK_FATAL("subsetOfAgentsFitness needs nAgents above 0, not %d\n\n", nAgents);
            firstFitnessAgent[1] = static_cast<int>((lastFitnessAgent[0] + 1LL) % nAgents);
            lastFitnessAgent[1] =
                static_cast<int>((nAgents + static_cast<long long>(firstFitnessAgent[0]) - 1) % nAgents);
        }
    } else if (read_till_keyword(fp, "nFitnessGroups", false)) {
        fitnessGroupsGiven = true;
        scanInt(fp, &nFitnessGroups);
        if (nFitnessGroups > 10) NK_FATAL("Max value for %s is %d\n", "nFitnessGroups", 10);
        for (int g = 0; g < nFitnessGroups; g++) {
            read_till_keyword(fp, "agentFitnessGroup", true);
            int got = fscanf(fp, "%d %d", &firstFitnessAgent[g], &lastFitnessAgent[g]);
            (void)got;
        }
    }
    if (fitnessGroupsGiven) agentsFitnessUseMax = readBool(fp, "agentsFitnessUseMax", false);

    read_till_keyword(fp, "initialMemSize", true);
    scanU(fp, &initialPrivateMemSize);
    readOptionalU(fp, "initialPublicMemSize", initialPublicMemSize);
    readOptionalU(fp, "initialGroupsMemSize", initialGroupsMemSize);
    readOptionalU(fp, "maxMemSize", maxMemSize);
    if (maxMemSize == 0) maxMemSize = INT_MAX;  // unbounded
    readOptionalU(fp, "rememberedSteps", rememberedSteps);
    rememberChecked = readBool(fp, "rememberChecked", true);

    read_till_keyword(fp, "flockingRadius", true);
    scanInt(fp, &flockingRadius);
    read_till_keyword(fp, "flockingIntensity", true);
    scanDouble(fp, &flockingIntensity);
    readOptionalDouble(fp, "flockingIntensityEnd", flockingIntensityEnd);
    readOptionalDouble(fp, "flockingIntensityDecay", flockingIntensityDecay);
    readOptionalFlag(fp, "uniformFlocking", uniformFlocking);
    readOptionalInt(fp, "maxVisitsPerStep", maxVisitsPerStep);
    readOptionalFlag(fp, "revisitOnFailure", revisitOnFailure);
    readOptionalInt(fp, "fitnessQuantizationLevels", fitnessQuantizationLevels);
    readOptionalFlag(fp, "alwaysUpdateSourceMem", alwaysUpdateSourceMem);
    readOptionalFlag(fp, "waitingEnabled", waitingEnabled);
    readOptionalFlag(fp, "alwaysUseUpToDateFitness", alwaysUseUpToDateFitness);
    readOptionalDouble(fp, "maxDropPerStep", maxDropPerStep);
    readOptionalFlag(fp, "revisitWhileWaiting", revisitWhileWaiting);
    readOptionalInt(fp, "NNFitnessDiscreteSteps", NNFitnessDiscreteSteps);

    SearchPhaseConfig& exploit = generalCustomParams.exploitSearchConfig;
    exploit.useAllAttempts = false;
    exploit.maxTreeDepth = 0;
    readOptionalFlag(fp, "useAllExploitAttempts", exploit.useAllAttempts);
    exploreSearchConfig.useAllAttempts = false;
    readOptionalFlag(fp, "useAllExploreAttempts", exploreSearchConfig.useAllAttempts);
    readOptionalInt(fp, "maxExploitTreeDepth", exploit.maxTreeDepth);
    readOptionalFlag(fp, "limitedEvals", limitedEvalsFor2Groups);

    read_till_keyword(fp, "exploit", true);
    scanU(fp, &exploit.maxSteps);
    read_till_keyword(fp, "explore", true);
    readExploreConfig(fp, exploreSearchConfig);
    checkExploreRange(exploreSearchConfig, n);
    exploreSearchConfig2.maxSteps = 0;
    if (read_till_keyword(fp, "explore2", false)) {
        readExploreConfig(fp, exploreSearchConfig2);
        checkExploreRange(exploreSearchConfig2, n);
    }
    recombSearchConfig.maxSteps = 0;
    recombSearchConfig.maxAttempts = 0;
    readOptionalU(fp, "recombination", recombSearchConfig.maxAttempts);

    const char* extraName = simuCfgFileNames.size() > 1 ? simuCfgFileNames[1].c_str() : nullptr;
    FileHandle extraFile;
    if (extraName) extraFile = openConfigFile(extraName);
    FILE* fpExtra = extraFile.get();
    nExtraStrategies = simuCfgFileNames.size() > 2 ? static_cast<int>(simuCfgFileNames.size()) - 2 : 0;
    std::vector<FileHandle> comparedFiles;
    for (int i = 0; i < nExtraStrategies; i++) comparedFiles.push_back(openConfigFile(simuCfgFileNames[2 + i].c_str()));

    // Strategy blocks. The main file wins for the general strategy; blocks for specific
    // agents come from both files, main first, so that the extra file's later ones win.
    if (read_till_keyword(fp, "NNStrategy", false))
        readNNStrategyFromFile(fp, generalStrategy);
    else if (fpExtra && read_till_keyword(fpExtra, "NNStrategy", false))
        readNNStrategyFromFile(fpExtra, generalStrategy);
    while (read_till_keyword(fp, "NNStrategySpecificAgents", false)) readNNForAgentsFromFile(fp);
    while (fpExtra && read_till_keyword(fpExtra, "NNStrategySpecificAgents", false)) readNNForAgentsFromFile(fpExtra);

    if (!usingNNStrategy) {
        if (read_till_keyword(fp, "searchProbs", false)) {
            generalStrategy.type = StrategyType0;
            readS1FromFile(fp, generalStrategy, mainName);
        } else if (fpExtra && read_till_keyword(fpExtra, "searchProbs", false)) {
            generalStrategy.type = StrategyType0;
            readS1FromFile(fpExtra, generalStrategy, extraName);
        }
        while (read_till_keyword(fp, "searchProbsSpecificAgents", false))
            readS1ForAgentsFromFile(fp, StrategyType0, mainName, 0);
        while (fpExtra && read_till_keyword(fpExtra, "searchProbsSpecificAgents", false))
            readS1ForAgentsFromFile(fpExtra, StrategyType0, extraName, 0);
        while (read_till_keyword(fp, "searchProbsSpecificAgents4x6", false))
            readS1ForAgentsFromFile(fp, StrategyType1, mainName, 0);
        while (fpExtra && read_till_keyword(fpExtra, "searchProbsSpecificAgents4x6", false))
            readS1ForAgentsFromFile(fpExtra, StrategyType1, extraName, 0);

        if (read_till_keyword(fp, "placeProbs", false))
            readS2FromFile(fp, generalStrategy, mainName);
        else if (fpExtra && read_till_keyword(fpExtra, "placeProbs", false))
            readS2FromFile(fpExtra, generalStrategy, extraName);
        while (read_till_keyword(fp, "placeProbsSpecificAgents", false)) readS2ForAgentsFromFile(fp, mainName, 0);
        while (fpExtra && read_till_keyword(fpExtra, "placeProbsSpecificAgents", false))
            readS2ForAgentsFromFile(fpExtra, extraName, 0);

        if (read_till_keyword(fp, "searchProbs2", false)) {
            int got = fscanf(fp, " %u", &secondProbsStep);
            (void)got;
            int interpolate = -1;
            if (!scanSpaceInt(fp, &interpolate) || (interpolate != 0 && interpolate != 1)) {
                printf("%d incorrect\n", interpolate);
                NK_FATAL("\n");
            }
            secondProbsInterpolate = interpolate == 1;
            // Not normalised, and a bad value does not stop the reading: the table is unused.
            for (auto& a : searchProbs2)
                for (auto& b : a)
                    for (auto& c : b)
                        for (double& v : c) scanSpaceDouble(fp, &v);
            read_till_keyword(fp, "placeProbs2", true);
            for (auto& row : placeProbs2)
                for (double& v : row) scanSpaceDouble(fp, &v);
        }
    }

    readOptionalFlag(fp, "deterministicActions", deterministicActions);
    readOptionalFlag(fp, "chooseActionEveryStep", chooseActionEveryStep);
    read_till_keyword(fp, "landscapeseed", true);
    scanInt(fp, &landscapeseed);
    read_till_keyword(fp, "changeseed", true);
    scanInt(fp, &changeseed);
    read_till_keyword(fp, "startseed", true);
    scanInt(fp, &startseed);
    read_till_keyword(fp, "searchseed", true);
    scanInt(fp, &searchseed);
    varylandscape = readBool(fp, "varylandscape", true);
    varychange = readBool(fp, "varychange", true);
    varystart = readBool(fp, "varystart", true);
    varysearch = readBool(fp, "varysearch", true);

    readAgentParamsFromFile(fp, 0);
    rejectLeftoverWords(fp, simuCfgFileNames[0].c_str());
    mainFile.reset();
    if (fpExtra) {
        readAgentParamsFromFile(fpExtra, 0);
        extraFile.reset();
    }

    for (int i = 0; i < nExtraStrategies; i++) {
        FILE* cfp = comparedFiles[i].get();
        const char* name = simuCfgFileNames[2 + i].c_str();
        int offset = nAgents + i;
        if (!read_till_keyword(cfp, "searchProbsSpecificAgents", false)) NK_FATAL("S1 strategy missing!\n");
        readS1ForAgentsFromFile(cfp, StrategyType0, name, offset);
        if (!read_till_keyword(cfp, "placeProbsSpecificAgents", false)) NK_FATAL("S2 strategy missing!\n");
        readS2ForAgentsFromFile(cfp, name, offset);
        readAgentParamsFromFile(cfp, offset);
        rejectLeftoverWords(cfp, name);
        comparedFiles[i].reset();
    }

    // A block for specific agents replaces one table; the other one stays the general
    // strategy's, so that "placeProbsSpecificAgents" alone changes only where points go.
    if (!usingNNStrategy) {
        for (auto& entry : agentStrategies) {
            if (tableIsEmpty(entry.second.s1.searchProbs)) entry.second.s1 = generalStrategy.s1;
            if (tableIsEmpty(entry.second.s2.placeProbs)) entry.second.s2 = generalStrategy.s2;
        }
    }
    validate(*this);
}

void SimuParameters::readS1FromFile(FILE* fp, AgentStrategy& s, const char* fileName) {
    const int nSearch = s.getNumSearchTypes();
    const int nMem = s.getNumMemTypesS1();
    for (auto& pub : s.s1.searchProbs) {
        for (auto& block : pub) {
            double sum = 0.0;
            for (int m = 0; m < nSearch; m++) {
                for (int a = 0; a < nMem; a++) {
                    // "%lf" takes nan and inf, which no normalisation can turn into probabilities.
                    if (!scanSpaceDouble(fp, &block[m][a]) || !std::isfinite(block[m][a]))
                        NK_FATAL("Invalid strategy %s\n\n", nameOrEmpty(fileName));
                    sum += block[m][a];
                }
            }
            for (int m = 0; m < nSearch; m++)
                for (int a = 0; a < nMem; a++) block[m][a] = sum > 1e-5 ? block[m][a] / sum : 1.0 / (nSearch * nMem);
        }
    }
}

void SimuParameters::readS2FromFile(FILE* fp, AgentStrategy& s, const char* fileName) {
    for (auto& row : s.s2.placeProbs) {
        for (double& v : row)
            if (!scanSpaceDouble(fp, &v) || !std::isfinite(v))
                NK_FATAL("Invalid strategy %s\n\n", nameOrEmpty(fileName));
        double sum = 0 + row[0] + row[1];
        for (double& v : row) v = sum > 1e-5 ? v / sum : 0.5;
    }
}

void SimuParameters::readS1ForAgentsFromFile(FILE* fp, StrategyType type, const char* fileName, int agIdOffset) {
    AgentStrategy scratch;
    scratch.type = type;
    readS1FromFile(fp, scratch, fileName);
    int count;
    if (!scanSpaceInt(fp, &count)) NK_FATAL("Invalid strategy %s\n\n", nameOrEmpty(fileName));
    for (int i = 0; i < count; i++) {
        int agentId;
        if (!scanSpaceInt(fp, &agentId)) NK_FATAL("Invalid strategy %s\n\n", nameOrEmpty(fileName));
        AgentStrategy& entry = agentStrategies[agentKey(agIdOffset, agentId)];
        entry.s1 = scratch.s1;
        // A table in another layout than the default type is only readable as that type.
        if (type != StrategyType0) entry.type = type;
    }
}

void SimuParameters::readS2ForAgentsFromFile(FILE* fp, const char* fileName, int agIdOffset) {
    AgentStrategy scratch;
    readS2FromFile(fp, scratch, fileName);
    int count;
    if (!scanSpaceInt(fp, &count)) NK_FATAL("Invalid strategy %s\n\n", nameOrEmpty(fileName));
    for (int i = 0; i < count; i++) {
        int agentId;
        if (!scanSpaceInt(fp, &agentId)) NK_FATAL("Invalid strategy %s\n\n", nameOrEmpty(fileName));
        agentStrategies[agentKey(agIdOffset, agentId)].s2 = scratch.s2;
    }
}

void SimuParameters::readNNStrategyFromFile(FILE* fp, AgentStrategy& s) {
    char popFileName[1000];
    read_word(fp, popFileName, sizeof popFileName);  // at end of file: "", which fails to load
    int index = -1;
    if (!scanSpaceInt(fp, &index)) index = -1;

    // Each activator serves one fetch and the records own the networks, so the previous
    // activator is of no further use.
    delete netActivator;
    netActivator = new NEAT::NetworkActivator(true);
    NeuralNet& nn = s.nn;
    try {
        netActivator->loadPopulation(popFileName);
        nn.net = NEATNetworkPtr(netActivator->fetchFastNetwork(index));
        nn.i0 = nn.net->getNodeIndex("INPUT0");
        nn.i1 = nn.net->getNodeIndex("INPUT1");
        nn.i2 = nn.net->getNodeIndex("INPUT2");
        nn.i3 = nn.net->getNodeIndex("INPUT3");
        nn.i4 = nn.net->getNodeIndex("INPUT4");
        nn.i5 = nn.net->getNodeIndex("INPUT5");
        nn.o0 = nn.net->getNodeIndex("OUTPUT0");
        nn.o1 = nn.net->getNodeIndex("OUTPUT1");
        nn.bias = nn.net->getNodeIndex(NEAT::NA_BIAS_NAME);
        nn.depth = nn.net->computeMaxDepth(std::vector<int>{nn.o0, nn.o1});
    } catch (const std::string&) {
        // The genome reader has reported the cause; callers scripting many runs look for this word.
        printf("error");
        fatalExit(0);
    }
    usingNNStrategy = true;

    int type = -1;
    if (read_till_keyword(fp, "type", false) && scanInt(fp, &type) && type >= StrategyType0 && type < StrategyTypeNum)
        s.type = static_cast<StrategyType>(type);
    else
        s.type = groupSize >= 2 ? StrategyType2 : StrategyType0;
}

void SimuParameters::readNNForAgentsFromFile(FILE* fp) {
    AgentStrategy scratch;
    readNNStrategyFromFile(fp, scratch);
    int count;
    if (!scanSpaceInt(fp, &count)) NK_FATAL("Invalid strategy\n\n");
    for (int i = 0; i < count; i++) {
        int agentId;
        if (!scanSpaceInt(fp, &agentId)) NK_FATAL("Invalid strategy\n\n");
        agentStrategies[agentId] = scratch;
    }
}

void SimuParameters::readAgentParamsFromFile(FILE* fp, int agIdOffset) {
    while (read_till_keyword(fp, "agentParamsBegin", false)) {
        int count;
        if (!scanSpaceInt(fp, &count)) NK_FATAL("Invalid number\n\n");
        std::vector<int> agentIds;
        for (int i = 0; i < count; i++) {
            int agentId;
            if (!scanSpaceInt(fp, &agentId)) NK_FATAL("Invalid number\n\n");
            agentIds.push_back(agentId);
        }
        CustomParameters params = generalCustomParams;
        for (;;) {
            if (read_till_keyword(fp, "agentParamsEnd", false)) break;
            if (read_till_keyword(fp, "useAllExploitAttempts", false)) {
                params.exploitSearchConfig.useAllAttempts = readFlagValue(fp, "useAllExploitAttempts");
            } else if (read_till_keyword(fp, "maxExploitTreeDepth", false)) {
                scanInt(fp, &params.exploitSearchConfig.maxTreeDepth);
            } else {
                char word[1004];
                if (!read_word(fp, word, sizeof word))
                    NK_FATAL("End of file inside an agent parameter block: agentParamsEnd missing\n\n");
                NK_FATAL(
                    "Unexpected %s in an agent parameter block: expected useAllExploitAttempts, "
                    "maxExploitTreeDepth or agentParamsEnd\n\n",
                    word);
            }
        }
        for (int agentId : agentIds) agentCustomParams[agentKey(agIdOffset, agentId)] = params;
    }
}

void SimuParameters::print() const {
    printf("%s %s\n", "optionalInfo", optionalInfo.c_str());
    printf("n %d\nk %d\n", static_cast<int>(n), static_cast<int>(k));
    printf("%s %lf\n", "fitnessStretchCoef", fitnessStretchCoef);
    if (landscapeComponents == 1) printf("%s %d\n", "landscapeComponents", landscapeComponents);
    printf("nruns %d\nmaxtotalsteps %d\n", static_cast<int>(nRuns), static_cast<int>(maxTotalSteps));
    printf("%s %d\n", "initialPublicMemSize", static_cast<int>(initialPublicMemSize));
    printf("%s %d\n", "initialMemSize", static_cast<int>(initialPrivateMemSize));
    printf("%s %d\n", "rememberChecked", rememberChecked);
    printf("%s %d %s\n", "rememberedSteps", static_cast<int>(rememberedSteps),
           rememberedSteps == 0 ? "(infinite)" : "");
    printf("%s %d\n", "flockingRadius", flockingRadius);
    printf("%s %f\n", "flockingIntensity", flockingIntensity);
    printf("%s %f\n", "flockingIntensityEnd", flockingIntensityEnd);
    printf("%s %f\n", "flockingIntensityDecay", flockingIntensityDecay);
    printf("%s %d\n", "uniformFlocking", uniformFlocking);
    printf("%s %d\n", "maxVisitsPerStep", maxVisitsPerStep);
    printf("%s %d\n", "revisitOnFailure", revisitOnFailure);
    printf("%s %d\n", "fitnessQuantizationLevels", fitnessQuantizationLevels);
    printf("%s %d\n", "alwaysUpdateSourceMem", alwaysUpdateSourceMem);
    printf("%s %d\n", "waitingEnabled", waitingEnabled);
    printf("%s %d\n", "alwaysUseUpToDateFitness", alwaysUseUpToDateFitness);
    printf("%s %f\n", "maxDropPerStep", maxDropPerStep);
    printf("%s %d\n", "revisitWhileWaiting", revisitWhileWaiting);
    printf("maxMemSize %d\n", static_cast<int>(maxMemSize));
    printf("%s %u\n", "exploit", generalCustomParams.exploitSearchConfig.maxSteps);
    printf("%s %u %u %f %f\n", "explore", exploreSearchConfig.maxSteps, exploreSearchConfig.maxAttempts,
           exploreSearchConfig.rangeLow, exploreSearchConfig.rangeHigh);
    if (exploreSearchConfig2.maxSteps != 0)
        printf("%s %u %u %f %f\n", "explore2", exploreSearchConfig2.maxSteps, exploreSearchConfig2.maxAttempts,
               exploreSearchConfig2.rangeLow, exploreSearchConfig2.rangeHigh);
    printf("%s %d\n", "deterministicActions", deterministicActions);
    printf("%s %d\n", "chooseActionEveryStep", chooseActionEveryStep);
    printf("landscapeseed %d\nchangeseed %d\nstartseed %d\nsearchseed %d\n", landscapeseed, changeseed, startseed,
           searchseed);
    printf("varylandscape %d\nvarychange %d\nvarystart %d\nvarysearch %d\n", varylandscape, varychange, varystart,
           varysearch);
    printf("\nnpoints %lu\nncontexts %lu\n", nPoints, nContexts);
}
