// The keyword table of the main configuration file: one row per keyword, in reading order.
//
// The rule every range here follows: a value is refused only when the model calls it an
// error, when the model cannot run it (a crash, a hang, a division by zero, a read outside a
// table), or when it is plainly a slip (a negative count, text for a number, trailing
// characters). A value the model runs in a defined way is accepted as written, with a
// warning (`usual`) where it is unusual. docs/keywords.md states the same rule for users.
#include <utility>

#include "inline.h"
#include "keywordchecks.h"
#include "keywords.h"
#include "params.h"

namespace {

// Bounds far beyond any sensible study. They exist so that a slip (an extra digit) is reported
// when the file is read instead of exhausting memory, the stack or int arithmetic in the run.
constexpr double kMaxAgents = 1000000;
constexpr double kMaxRuns = 1000000;
constexpr double kMaxAttempts = 1000000;  // candidates per step
constexpr double kMaxTreeDepth = 1000;    // recursion depth of the look-ahead
constexpr double kMaxRadius = 1000000;
constexpr double kMaxLevels = 1000000;
constexpr double kMaxStretch = 1000;  // with the levels above, fitness x levels fits an int
constexpr double kMaxIntensity = 1000;

#define NK_FIELD(member) [](SimuParameters& p, int) -> FieldRef { return &p.member; }

ValueRule flag(const char* label, FieldFn field) { return {label, ValueType::Flag, 0, 1, 1, field}; }
ValueRule whole(const char* label, double min, double max, FieldFn field) {
    return {label, ValueType::Whole, min, max, 1, field};
}
ValueRule real(const char* label, double min, double max, FieldFn field, int count = 1) {
    return {label, ValueType::Real, min, max, count, field};
}
// A rule whose values outside [lo, hi] run as written but are worth a word to the user.
ValueRule usual(ValueRule rule, double lo, double hi, const char* what) {
    rule.usualMin = lo;
    rule.usualMax = hi;
    rule.unusual = what;
    return rule;
}
// A value whose range the keyword's own check reports (ValueRule::rangeCheckedLater).
ValueRule checkedLater(ValueRule rule) {
    rule.rangeCheckedLater = true;
    return rule;
}
ValueRule seed(FieldFn field) { return whole("seed", kIntMin, kIntMax, field); }
ValueRule weights(int count) { return real("weight", 0, kNoLimit, nullptr, count); }
ValueRule agentList() { return {"agents", ValueType::AgentList, 0, kMaxAgents - 1, 1, nullptr}; }

std::vector<ValueRule> exploreValues(FieldFn steps, FieldFn attempts, FieldFn low, FieldFn high) {
    return {whole("steps", 0, kUIntMax, steps), whole("attempts", 0, kMaxAttempts, attempts),
            checkedLater(real("low", 0, 1, low)), checkedLater(real("high", 0, 1, high))};
}

std::vector<ValueRule> networkValues() {
    return {{"file", ValueType::Word, 0, 0, 1, nullptr},
            whole("index", 0, kIntMax, nullptr),
            whole("type?", kIntMin, kIntMax, nullptr)};
}

const char* const kTables = "!NNStrategy&!NNStrategySpecificAgents";
// A table's weights come in one block per pair of memory levels (public, private: low or high).
constexpr int kLevelBlocks = 4;

using S = Section;
using P = Presence;
using K = KeywordKind;

// An entry read by the generic value reader; blocks name their kind.
KeywordEntry makeEntry(const char* name, Section section, Presence presence, std::vector<ValueRule> values,
                       std::string meaning, const char* condition = "", KeywordKind kind = K::Values) {
    return {name, section, presence, condition, kind, std::move(values), std::move(meaning), {}};
}

// The keyword sequence, part by part, in reading order.
std::vector<KeywordEntry> landscapeAndRuns() {
    return {
        makeEntry("optionalInfo", S::Landscape, P::Optional, {},
                  "a marker that the file describes itself; the keyword stands alone (no value is read after it)", "",
                  K::NoValue)
            .listed({1, nullptr, false, nullptr, [](const SimuParameters& p) { return " " + p.optionalInfo; }}),
        makeEntry("n", S::Landscape, P::Required, {checkedLater(whole("N", 1, Point::kMaxN, NK_FIELD(n)))},
                  "bits per landscape point (N); the landscape has 2^N points")
            .listed({2}),
        makeEntry("k", S::Landscape, P::Required, {checkedLater(whole("K", 0, Point::kMaxN - 1, NK_FIELD(k)))},
                  "loci after its own that each locus's fitness component depends on (K); below N")
            .checkedBy(checkLandscapeSize)
            .listed({3}),
        makeEntry("fitnessStretchCoef", S::Landscape, P::Optional,
                  {usual(real("stretch", -kMaxStretch, kMaxStretch, NK_FIELD(fitnessStretchCoef)), 0, kMaxStretch,
                         "a negative stretch turns the landscape upside down (its lowest points are the fittest)")},
                  "fitness = 0.5 + (mean component - 0.5) x stretch; above 1 spreads fitness beyond 0..1")
            .listed({4}),
        makeEntry("landscapeComponents", S::Landscape, P::Optional,
                  {whole("mode", 0, 1, NK_FIELD(landscapeComponents))},
                  "0: seeded components (not independent: far fewer local optima than the NK model); 1: independent "
                  "components")
            .listed({5, nullptr, false, [](const SimuParameters& p) { return p.landscapeComponents == 1; }}),
        makeEntry("nAgents", S::AgentsAndRuns, P::Required, {whole("agents", 0, kMaxAgents, NK_FIELD(nAgents))},
                  "number of agents"),
        makeEntry("groupSize", S::AgentsAndRuns, P::Optional, {whole("size", 0, kMaxAgents, NK_FIELD(groupSize))},
                  "agents per group; above 1 each group shares a group memory, and it must divide nAgents"),
        makeEntry("nRuns", S::AgentsAndRuns, P::Required, {checkedLater(whole("runs", 1, kMaxRuns, NK_FIELD(nRuns)))},
                  "independent runs on the same landscape (the random streams continue); --num-runs replaces it")
            .checkedBy(applyRunOverride)
            .listed({6, "nruns"}),
        makeEntry("maxTotalSteps", S::AgentsAndRuns, P::Required,
                  {whole("steps", 1, kUIntMax, NK_FIELD(maxTotalSteps))},
                  "steps per run; with maxTotalEvals the scoring window still ends at this step")
            .listed({7, "maxtotalsteps"}),
        makeEntry("lastStepsUsedForFitness", S::AgentsAndRuns, P::Optional,
                  {whole("steps", 1, kUIntMax, NK_FIELD(lastStepsUsedForFitness))},
                  "only the last this many steps of a run are scored (at most maxTotalSteps)"),
        makeEntry("maxTotalEvals", S::AgentsAndRuns, P::Optional,
                  {whole("evals", 0, 9223372036854775807.0, NK_FIELD(maxTotalEvals))},
                  "above 0: a run ends when fitness group 0 has used this many evaluations"),
    };
}

std::vector<KeywordEntry> fitnessGroups() {
    const FieldFn noField = [](SimuParameters&, int) -> FieldRef { return {}; };
    return {
        makeEntry("subsetOfAgentsFitness", S::FitnessGroups, P::Optional, {flag("subset", noField)},
                  "1: two fitness groups, the agents firstAgentFitness..lastAgentFitness and the rest of the ring")
            .checkedBy(startSubsetGroups),
        makeEntry("firstAgentFitness", S::FitnessGroups, P::Required,
                  {whole("agent", 0, kMaxAgents - 1, NK_FIELD(firstFitnessAgent[0]))}, "first agent of fitness group 0",
                  "subsetOfAgentsFitness=1"),
        makeEntry("lastAgentFitness", S::FitnessGroups, P::Required,
                  {whole("agent", 0, kMaxAgents - 1, NK_FIELD(lastFitnessAgent[0]))},
                  "last agent of fitness group 0 (inclusive)", "subsetOfAgentsFitness=1")
            .checkedBy(completeSubsetGroups),
        makeEntry("nFitnessGroups", S::FitnessGroups, P::Optional,
                  {usual(checkedLater(whole("groups", 0, kMaxFitnessGroups, NK_FIELD(nFitnessGroups))), 1,
                         kMaxFitnessGroups, "no group is scored: the report has no values")},
                  "number of fitness groups, each scored on its own; without any group keyword one empty group",
                  "!subsetOfAgentsFitness")
            .checkedBy(checkGroupCount),
        makeEntry("agentFitnessGroup", S::FitnessGroups, P::Repeated,
                  {whole("first", 0, kMaxAgents - 1,
                         [](SimuParameters& p, int g) -> FieldRef { return &p.firstFitnessAgent[g]; }),
                   whole("last", -1, kMaxAgents - 1,
                         [](SimuParameters& p, int g) -> FieldRef { return &p.lastFitnessAgent[g]; })},
                  "first and last agent (inclusive) of the next fitness group; once per group", "nFitnessGroups"),
        makeEntry("agentsFitnessUseMax", S::FitnessGroups, P::Optional, {flag("max", NK_FIELD(agentsFitnessUseMax))},
                  "1: a group's run score is its best agent's, not the mean", "subsetOfAgentsFitness|nFitnessGroups"),
    };
}

std::vector<KeywordEntry> memories() {
    return {
        makeEntry("initialMemSize", S::Memories, P::Required,
                  {whole("points", 1, kMaxInitialPoints, NK_FIELD(initialPrivateMemSize))},
                  "random points in each private memory at the start of a run")
            .listed({9}),
        makeEntry("initialPublicMemSize", S::Memories, P::Optional,
                  {whole("points", 1, kMaxInitialPoints, NK_FIELD(initialPublicMemSize))},
                  "random points in the public memory at the start of a run")
            .listed({8}),
        makeEntry("initialGroupsMemSize", S::Memories, P::Optional,
                  {whole("points", 0, kMaxInitialPoints, NK_FIELD(initialGroupsMemSize))},
                  "random points in each group memory at the start of a run; 0 only when no network reads it"),
        makeEntry("maxMemSize", S::Memories, P::Optional, {whole("points", 0, kIntMax, NK_FIELD(maxMemSize))},
                  "capacity of every memory; 0: unbounded")
            .checkedBy(unboundMemory)
            .listed({25}),
        makeEntry("rememberedSteps", S::Memories, P::Optional, {whole("steps", 0, kUIntMax, NK_FIELD(rememberedSteps))},
                  "recorded and printed only")
            .listed(
                {11, nullptr, false, nullptr,
                 [](const SimuParameters& p) { return std::string(p.rememberedSteps == 0 ? " (infinite)" : " "); }}),
        makeEntry("rememberChecked", S::Memories, P::Required, {flag("remember", NK_FIELD(rememberChecked))},
                  "1: every evaluated point is also written to a memory")
            .listed({10}),
    };
}

std::vector<KeywordEntry> crowding() {
    return {
        makeEntry("flockingRadius", S::Crowding, P::Required,
                  {whole("radius", 0, kMaxRadius, NK_FIELD(flockingRadius))},
                  "crowding reaches points within this Hamming distance of a visit (above N acts as N)")
            .listed({12}),
        makeEntry("flockingIntensity", S::Crowding, P::Required,
                  {real("factor", 0, kMaxIntensity, NK_FIELD(flockingIntensity))},
                  "each close visit multiplies a point's fitness by this factor (below 1 lowers, above 1 raises it)")
            .listed({13}),
        makeEntry("flockingIntensityEnd", S::Crowding, P::Optional,
                  {real("factor", 0, kMaxIntensity, NK_FIELD(flockingIntensityEnd))},
                  "the factor reached after flockingIntensityDecay visits")
            .listed({14}),
        makeEntry("flockingIntensityDecay", S::Crowding, P::Optional,
                  {real("visits", 0, kNoLimit, NK_FIELD(flockingIntensityDecay))},
                  "0: constant crowding; above 0: visits over which the factor moves to flockingIntensityEnd")
            .listed({15}),
        makeEntry("uniformFlocking", S::Crowding, P::Optional, {flag("uniform", NK_FIELD(uniformFlocking))},
                  "1: every close visit counts alike; 0: tapered by distance")
            .listed({16}),
        makeEntry("maxVisitsPerStep", S::Crowding, P::Optional,
                  {whole("visits", 0, kIntMax, NK_FIELD(maxVisitsPerStep))},
                  "with decaying crowding: visits of one step that count for a point")
            .listed({17}),
    };
}

std::vector<KeywordEntry> searchSettings() {
    return {
        makeEntry("revisitOnFailure", S::SearchSettings, P::Optional, {flag("revisit", NK_FIELD(revisitOnFailure))},
                  "1: a step without improvement counts as a visit")
            .listed({18}),
        makeEntry("fitnessQuantizationLevels", S::SearchSettings, P::Optional,
                  {whole("levels", 0, kMaxLevels, NK_FIELD(fitnessQuantizationLevels))},
                  "above 0: a step to a point equal at this many levels is a lateral move")
            .listed({19}),
        makeEntry("alwaysUpdateSourceMem", S::SearchSettings, P::Optional,
                  {flag("update", NK_FIELD(alwaysUpdateSourceMem))},
                  "1: a phase's start point is re-evaluated and re-stored in its memory")
            .listed({20}),
        makeEntry("waitingEnabled", S::SearchSettings, P::Optional, {flag("wait", NK_FIELD(waitingEnabled))},
                  "1: after a step without improvement the agent waits for the rest of its phase")
            .listed({21}),
        makeEntry("alwaysUseUpToDateFitness", S::SearchSettings, P::Optional,
                  {flag("refresh", NK_FIELD(alwaysUseUpToDateFitness))},
                  "1: the current point is re-evaluated before each search")
            .listed({22}),
        makeEntry("maxDropPerStep", S::SearchSettings, P::Optional,
                  {real("drop", -kNoLimit, kNoLimit, NK_FIELD(maxDropPerStep))},
                  "with decaying crowding: the most a point's fitness drops in one step; 0 or less: no limit")
            .listed({23}),
        makeEntry("revisitWhileWaiting", S::SearchSettings, P::Optional,
                  {flag("revisit", NK_FIELD(revisitWhileWaiting))}, "1: a waiting agent still visits its point")
            .listed({24}),
        makeEntry("NNFitnessDiscreteSteps", S::SearchSettings, P::Optional,
                  {whole("levels", 0, kMaxLevels, NK_FIELD(NNFitnessDiscreteSteps))},
                  "levels of the fitness inputs of a network; 0: the fitness itself"),
        makeEntry("useAllExploitAttempts", S::SearchSettings, P::Optional,
                  {flag("all", NK_FIELD(generalCustomParams.exploitSearchConfig.useAllAttempts))},
                  "1: exploit tries all N neighbours and takes the best, not the first better one"),
        makeEntry("useAllExploreAttempts", S::SearchSettings, P::Optional,
                  {flag("all", NK_FIELD(exploreSearchConfig.useAllAttempts))},
                  "1: explore tries all its attempts and takes the best"),
        makeEntry("maxExploitTreeDepth", S::SearchSettings, P::Optional,
                  {whole("depth", 0, kMaxTreeDepth, NK_FIELD(generalCustomParams.exploitSearchConfig.maxTreeDepth))},
                  "look-ahead depth of exploit; 1 or less: plain neighbour search (about N^depth points a step)"),
        makeEntry("limitedEvals", S::SearchSettings, P::Optional, {flag("turns", NK_FIELD(limitedEvalsFor2Groups))},
                  "1: fitness groups take turns so that their evaluation counts stay level"),
    };
}

std::vector<KeywordEntry> searchPhases() {
    return {
        makeEntry("exploit", S::SearchPhases, P::Required,
                  {whole("steps", 0, kUIntMax, NK_FIELD(generalCustomParams.exploitSearchConfig.maxSteps))},
                  "exploit phase setting (steps)")
            .listed({26, nullptr, true}),
        makeEntry("explore", S::SearchPhases, P::Required,
                  exploreValues(NK_FIELD(exploreSearchConfig.maxSteps), NK_FIELD(exploreSearchConfig.maxAttempts),
                                NK_FIELD(exploreSearchConfig.rangeLow), NK_FIELD(exploreSearchConfig.rangeHigh)),
                  "explore: steps, candidates per step, and the jump distance range as fractions of N (a whole "
                  "distance must lie in it)")
            .checkedBy(checkExploreRange)
            .listed({27, nullptr, true}),
        makeEntry("explore2", S::SearchPhases, P::Optional,
                  exploreValues(NK_FIELD(exploreSearchConfig2.maxSteps), NK_FIELD(exploreSearchConfig2.maxAttempts),
                                NK_FIELD(exploreSearchConfig2.rangeLow), NK_FIELD(exploreSearchConfig2.rangeHigh)),
                  "a second explore range that the first one approaches over its steps (steps 0: none)")
            .checkedBy(checkExploreRange)
            .listed({28, nullptr, true, [](const SimuParameters& p) { return p.exploreSearchConfig2.maxSteps != 0; }}),
        makeEntry("recombination", S::SearchPhases, P::Optional,
                  {whole("attempts", 0, kMaxAttempts, NK_FIELD(recombSearchConfig.maxAttempts))},
                  "children tried per recombination step"),
    };
}

// A search table block in the layout of type `t`, for all agents or, as a block, for a list.
KeywordEntry searchTable(const char* name, Presence presence, StrategyType t, const char* meaning) {
    const bool list = presence == P::Block;
    std::vector<ValueRule> values = {weights(kLevelBlocks * strategyType(t).searchActions)};
    if (list) values.push_back(agentList());
    KeywordEntry entry =
        makeEntry(name, S::Strategies, presence, std::move(values), meaning, kTables, list ? K::S1List : K::S1Table);
    entry.layout = t;
    return entry;
}

std::vector<KeywordEntry> strategies() {
    std::vector<ValueRule> listedNetwork = networkValues();
    listedNetwork.push_back(agentList());
    const FieldFn secondWeight = [](SimuParameters& p, int i) -> FieldRef {
        return &p.searchProbs2[i / 12][i / 6 % 2][i / 2 % 3][i % 2];
    };
    const FieldFn secondPlace = [](SimuParameters& p, int i) -> FieldRef { return &p.placeProbs2[i / 2][i % 2]; };
    return {
        makeEntry("NNStrategy", S::Strategies, P::Optional, networkValues(),
                  "network strategy of all agents: genome FILE, individual INDEX of its last generation, optional "
                  "\"type T\" (0 to " +
                      std::to_string(StrategyTypeNum - 1) + "; another number gives the default, " +
                      std::to_string(defaultNetworkType(true)) + " with groups, else " +
                      std::to_string(defaultNetworkType(false)) + ")",
                  "", K::Network),
        makeEntry("NNStrategySpecificAgents", S::Strategies, P::Block, listedNetwork,
                  "a network strategy for the listed agents (COUNT, then the agents)", "", K::NetworkList),
        searchTable("searchProbs", P::Optional, StrategyType0,
                    "search table: per (public best >= 0.5, private best >= 0.5) block, weights of exploit/explore "
                    "from public/private"),
        searchTable("searchProbsSpecificAgents", P::Block, StrategyType0, "a search table for the listed agents"),
        searchTable("searchProbsSpecificAgents4x6", P::Block, StrategyType1,
                    "a search table with three source memories (public, the better one, private) for the listed "
                    "agents"),
        makeEntry("placeProbs", S::Strategies, P::Optional, {weights(4)},
                  "place table: for a found point below / at least 0.5, weights of the public and private memory",
                  kTables, K::S2Table),
        makeEntry("placeProbsSpecificAgents", S::Strategies, P::Block, {weights(4), agentList()},
                  "a place table for the listed agents", kTables, K::S2List),
        makeEntry(
            "searchProbs2", S::Strategies, P::Optional,
            {whole("step", 0, kUIntMax, NK_FIELD(secondProbsStep)),
             flag("interpolate", NK_FIELD(secondProbsInterpolate)), real("weight", 0, kNoLimit, secondWeight, 24)},
            "from STEP on placeProbs2 replaces the place table (INTERPOLATE 1: blends in up to STEP); 24 unused "
            "weights",
            kTables, K::SeparateValues),
        makeEntry("placeProbs2", S::Strategies, P::Required, {real("weight", 0, kNoLimit, secondPlace, 4)},
                  "the second place table: weights drawn from as written (not normalised; a row summing to less "
                  "than 1 can stop a run with \"Wrong probability distribution\")",
                  "searchProbs2", K::SeparateValues),
    };
}

std::vector<KeywordEntry> actionsSeedsAndAgents() {
    using A = Section;
    return {
        makeEntry("deterministicActions", A::ActionsAndSeeds, P::Optional,
                  {flag("deterministic", NK_FIELD(deterministicActions))},
                  "1: the most probable action instead of a random draw")
            .listed({29}),
        makeEntry("chooseActionEveryStep", A::ActionsAndSeeds, P::Optional,
                  {flag("every", NK_FIELD(chooseActionEveryStep))},
                  "1: a new search decision every step, not per phase")
            .listed({30}),
        makeEntry("landscapeseed", A::ActionsAndSeeds, P::Required, {seed(NK_FIELD(landscapeseed))},
                  "the landscape (only its low 16 bits count; all 32 with runSeeding 1 and landscapePerRun 1)")
            .listed({31}),
        makeEntry("changeseed", A::ActionsAndSeeds, P::Required, {seed(NK_FIELD(changeseed))},
                  "recorded and printed only")
            .listed({32}),
        makeEntry("startseed", A::ActionsAndSeeds, P::Required, {seed(NK_FIELD(startseed))},
                  "the initial memories (only its low 16 bits count; all 32 with runSeeding 1)")
            .listed({33}),
        makeEntry("searchseed", A::ActionsAndSeeds, P::Required, {seed(NK_FIELD(searchseed))},
                  "every decision and search draw (only its low 16 bits count; all 32 with runSeeding 1)")
            .listed({34}),
        makeEntry("varylandscape", A::ActionsAndSeeds, P::Required, {flag("vary", NK_FIELD(varylandscape))},
                  "recorded and printed only")
            .listed({35}),
        makeEntry("varychange", A::ActionsAndSeeds, P::Required, {flag("vary", NK_FIELD(varychange))},
                  "recorded and printed only")
            .listed({36}),
        makeEntry("varystart", A::ActionsAndSeeds, P::Required, {flag("vary", NK_FIELD(varystart))},
                  "recorded and printed only")
            .listed({37}),
        makeEntry("varysearch", A::ActionsAndSeeds, P::Required, {flag("vary", NK_FIELD(varysearch))},
                  "recorded and printed only")
            .listed({38}),
        makeEntry("runSeeding", A::ActionsAndSeeds, P::Optional, {whole("mode", 0, 1, NK_FIELD(runSeeding))},
                  "0: each run continues the random streams of the run before; 1: run r seeds stream s (0 the "
                  "initial memories from startseed, 1 the search from searchseed, 2 its landscape from landscapeseed) "
                  "with the 48-bit state splitmix64(splitmix64(uint32(seed) << 32 | r) + s) mod 2^48, all bits of "
                  "the seed counting, so that runs can run in threads (--threads) and alone (--only-runs)")
            .writtenWhenSet(),
        makeEntry("landscapePerRun", A::ActionsAndSeeds, P::Optional, {flag("own", NK_FIELD(landscapePerRun))},
                  "1: each run draws a landscape of its own (runSeeding 1: from landscapeseed and its index; 0: "
                  "continuing the landscape stream); 0: all runs share the first")
            .checkedBy(warnAboutSeeds)
            .writtenWhenSet(),
        makeEntry("agentParamsBegin", A::AgentParams, P::Block, {agentList()},
                  "exploit settings for the listed agents: useAllExploitAttempts 0|1, maxExploitTreeDepth D, then "
                  "agentParamsEnd",
                  "", K::AgentParams),
    };
}

std::vector<KeywordEntry> buildTable() {
    std::vector<KeywordEntry> table;
    for (auto part : {landscapeAndRuns, fitnessGroups, memories, crowding, searchSettings, searchPhases, strategies,
                      actionsSeedsAndAgents})
        for (KeywordEntry& entry : part()) table.push_back(std::move(entry));
    return table;
}

}  // namespace

const std::vector<KeywordEntry>& keywordTable() {
    static const std::vector<KeywordEntry> table = buildTable();
    return table;
}
