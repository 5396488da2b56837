// Reading, checking and printing the simulation settings.
#include <climits>
#include <cmath>

#include "NetworkActivator.h"
#include "configdump.h"
#include "configmessages.h"
#include "configreader.h"
#include "keywords.h"
#include "params.h"
#include "util.h"

namespace {

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

// The strategy an agent (or, with key nAgents + i, compared strategy i) decides with.
const AgentStrategy& strategyOf(const SimuParameters& p, int key) {
    auto it = p.agentStrategies.find(key);
    return it != p.agentStrategies.end() ? it->second : p.generalStrategy;
}

// A block for specific agents replaces one table; the other one stays the general strategy's,
// so that "placeProbsSpecificAgents" alone changes only where points go.
void completeAgentTables(SimuParameters& p) {
    if (p.usingNNStrategy) return;
    for (auto& entry : p.agentStrategies) {
        if (tableIsEmpty(entry.second.s1.searchProbs)) entry.second.s1 = p.generalStrategy.s1;
        if (tableIsEmpty(entry.second.s2.placeProbs)) entry.second.s2 = p.generalStrategy.s2;
    }
}

// Whether an agent deciding by this table can ever choose exploit, whose neighbour scan
// always evaluates points.
bool mayExploit(const AgentStrategy& s, bool deterministic) {
    const StrategyTypeInfo& info = strategyType(s.type);
    const int nMem = info.searchMemories;
    for (const auto& pub : s.s1.searchProbs) {
        for (const auto& block : pub) {
            int chosen = 0;
            for (int a = 0; a < info.searchActions; a++) {
                const double w = block[a / nMem][a % nMem];
                if (!deterministic && searchTypeOf(info, a) == SearchTypeExploit && w > 0) return true;
                if (w > block[chosen / nMem][chosen % nMem] + 1e-5) chosen = a;
            }
            if (deterministic && searchTypeOf(info, chosen) == SearchTypeExploit) return true;
        }
    }
    return false;
}

void checkInitialPoints(const SimuParameters& p, const std::string& file) {
    auto filled = [&](unsigned int size) { return static_cast<unsigned long long>(std::min(size, p.maxMemSize)); };
    const unsigned long long nGroups = p.groupSize > 1 ? static_cast<unsigned long long>(p.nAgents / p.groupSize) : 0;
    const unsigned long long points = filled(p.initialPublicMemSize) + nGroups * filled(p.initialGroupsMemSize) +
                                      static_cast<unsigned long long>(p.nAgents) * filled(p.initialPrivateMemSize);
    if (points > kMaxInitialPoints)
        NK_FATAL(Config,
                 "%s: the initial memories would hold %llu points, above the limit of %llu (initialMemSize %u for each "
                 "of %d agents, initialPublicMemSize %u, initialGroupsMemSize %u)\n",
                 file.c_str(), points, kMaxInitialPoints, p.initialPrivateMemSize, p.nAgents, p.initialPublicMemSize,
                 p.initialGroupsMemSize);
}

// A run with an evaluation budget ends only when fitness group 0 has spent it.
void checkEvaluationBudget(const SimuParameters& p, const std::string& file) {
    if (p.maxTotalEvals <= 0) return;
    const long long budget = p.maxTotalEvals;
    const int first = p.firstFitnessAgent[0], last = p.lastFitnessAgent[0];
    if (first > last)
        NK_FATAL(Config, "%s: maxTotalEvals %lld needs an agent in fitness group 0, which is empty\n", file.c_str(),
                 budget);
    // Group 0 evaluates points when an agent exploits, explores with attempts or re-evaluates
    // its start point; a network may choose anything.
    if (p.exploreSearchConfig.maxAttempts == 0 && !p.alwaysUseUpToDateFitness && !p.alwaysUpdateSourceMem &&
        !p.usingNNStrategy) {
        bool spends = false;
        for (int id = first; id <= last && !spends; id++)
            spends = mayExploit(strategyOf(p, id), p.deterministicActions);
        if (!spends)
            NK_FATAL(
                Config,
                "%s: maxTotalEvals %lld is never reached: no agent of fitness group 0 evaluates a point (explore has "
                "0 attempts, their search tables never choose exploit, and alwaysUseUpToDateFitness and "
                "alwaysUpdateSourceMem are 0)\n",
                file.c_str(), budget);
    }
    // Groups take turns by evaluations spent; an empty group never spends any and keeps the turn.
    if (p.limitedEvalsFor2Groups)
        for (int g = 0; g < p.nFitnessGroups; g++)
            if (p.firstFitnessAgent[g] > p.lastFitnessAgent[g])
                NK_FATAL(Config,
                         "%s: maxTotalEvals %lld with limitedEvals 1 needs agents in every fitness group; group %d is "
                         "empty\n",
                         file.c_str(), budget, g);
}

void checkGroups(const SimuParameters& p, const std::string& file) {
    if (p.groupSize > 1 && p.nAgents % p.groupSize != 0)
        NK_FATAL(Config, "%s: nAgents %d is not a multiple of groupSize %d\n", file.c_str(), p.nAgents, p.groupSize);
    // A network's decision reads the best point of the group memory in the very first step.
    if (p.groupSize > 1 && p.initialGroupsMemSize == 0 && p.usingNNStrategy)
        NK_FATAL(Config,
                 "%s: initialGroupsMemSize must be above 0 with groups and a network strategy, which reads the group "
                 "memory\n",
                 file.c_str());
    // Empty ranges (first above last) are allowed: the default group and a wrapped ring.
    for (int g = 0; g < p.nFitnessGroups; g++) {
        const int first = p.firstFitnessAgent[g], last = p.lastFitnessAgent[g];
        if (first <= last && (first < 0 || last > p.nAgents - 1))
            NK_FATAL(Config, "%s: fitness group %d (agents %d to %d) reaches outside the agents 0 to %d\n",
                     file.c_str(), g, first, last, p.nAgents - 1);
    }
}

// The scoring window counts the steps after maxTotalSteps - lastStepsUsedForFitness, and the
// report divides by lastStepsUsedForFitness x nRuns in 32 bits.
void checkScoringWindow(SimuParameters& p, const std::string& file) {
    // The difference is unsigned: a window longer than the run wraps it, and no step is scored.
    // Short runs that leave the window at its default of 25 do this; they run as written.
    if (p.lastStepsUsedForFitness > p.maxTotalSteps)
        addWarning(p.warnings, file + ": lastStepsUsedForFitness " + std::to_string(p.lastStepsUsedForFitness) +
                                   " is more than maxTotalSteps " + std::to_string(p.maxTotalSteps) +
                                   ": no step is scored, and every score is 0");
    if (static_cast<unsigned long long>(p.lastStepsUsedForFitness) * p.nRuns > 4294967295ULL)
        NK_FATAL(Config,
                 "%s: lastStepsUsedForFitness %u times nRuns %u is above 4294967295, which the report divides by\n",
                 file.c_str(), p.lastStepsUsedForFitness, p.nRuns);
}

// Every decision asks the strategy's tables, or, with a network strategy, its network.
void checkStrategies(const SimuParameters& p, const std::string& file) {
    auto check = [&](int key, const char* who, int id) {
        const AgentStrategy& s = strategyOf(p, key);
        if (p.usingNNStrategy && !s.nn.net)
            NK_FATAL(Config, "%s: %s %d has no network, but a network strategy is used\n", file.c_str(), who, id);
        if (!p.usingNNStrategy && tableIsEmpty(s.s1.searchProbs))
            NK_FATAL(Config, "%s: %s %d has no search probability table (searchProbs)\n", file.c_str(), who, id);
        if (!p.usingNNStrategy && tableIsEmpty(s.s2.placeProbs))
            NK_FATAL(Config, "%s: %s %d has no place probability table (placeProbs)\n", file.c_str(), who, id);
    };
    for (int id = 0; id < p.nAgents; id++) check(id, "agent", id);
    // A compared strategy without an entry of its own would silently be the general one.
    for (int i = 0; i < p.nExtraStrategies; i++) check(p.nAgents + i, "compared strategy", i + 1);
}

}  // namespace

SimuParameters::SimuParameters(const std::vector<std::string>& simuCfgFileNames, const std::vector<std::string>& names,
                               int nRunsOverride, double evalsPerStepLimit_, const ConfigTexts& texts)
    : evalsPerStepLimit(evalsPerStepLimit_), comparedStrategyNames(names) {
    readFromFile(simuCfgFileNames, nRunsOverride, texts);
}

void SimuParameters::readFromFile(const std::vector<std::string>& simuCfgFileNames, int nRunsOverride,
                                  const ConfigTexts& texts) {
    // Genome reading needs the NEAT globals; every configuration read starts them afresh.
    neatGlobals = std::make_unique<NEAT::Globals>("");
    neatGlobals->setParameterValue("UseActGaussian", 1.0);
    warnings.clear();

    ConfigReader reader(*this, simuCfgFileNames, nRunsOverride, texts);
    reader.readSection(Section::Landscape);
    reader.readSection(Section::AgentsAndRuns);
    reader.readSection(Section::FitnessGroups);
    reader.readSection(Section::Memories);
    reader.readSection(Section::Crowding);
    reader.readSection(Section::SearchSettings);
    reader.readSection(Section::SearchPhases);
    reader.openOtherFiles();
    reader.readSection(Section::Strategies);
    reader.readSection(Section::ActionsAndSeeds);
    reader.readSection(Section::AgentParams);
    reader.readComparedStrategies();
    reader.finish();

    completeAgentTables(*this);
    const std::string& file = simuCfgFileNames[0];
    checkInitialPoints(*this, file);
    checkScoringWindow(*this, file);
    checkGroups(*this, file);
    checkEvaluationBudget(*this, file);
    checkStrategies(*this, file);
}

void SimuParameters::print() const { fputs(parameterListing(*this).c_str(), stdout); }
