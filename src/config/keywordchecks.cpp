// The checks and settings that follow a keyword's values.
#include "keywordchecks.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "inline.h"
#include "keywords.h"

namespace {

double realValue(const KeywordCheck& c, size_t index) {
    return *std::get<double*>(c.entry.values[index].field(c.p, 0));
}

}  // namespace

void checkLandscapeSize(const KeywordCheck& c) {
    SimuParameters& p = c.p;
    if (p.n < 1 || p.n > Point::kMaxN || p.k > p.n - 1) {
        char first[80];
        snprintf(first, sizeof first, "n=%u or k=%u out of bounds", p.n, p.k);
        const std::string maxN = std::to_string(Point::kMaxN);
        c.messages.specError(first, c.where() + "n must be from 1 to " + maxN + " (a point holds " + maxN +
                                        " bits) and k from 0 to n - 1; n is " + std::to_string(p.n) + " and k is " +
                                        std::to_string(p.k));
    }
    p.nPoints = 1UL << p.n;
    p.nContexts = 1UL << p.k;
}

void applyRunOverride(const KeywordCheck& c) {
    SimuParameters& p = c.p;
    if (c.nRunsOverride > 0) p.nRuns = static_cast<unsigned int>(c.nRunsOverride);
    const ValueRule& runs = c.entry.values[0];
    if (p.nRuns >= runs.min && p.nRuns <= runs.max) return;
    const std::string text =
        std::string(c.entry.name) + " needs " + describeRange(runs) + ", found \"" + std::to_string(p.nRuns) + "\"";
    if (c.nRunsOverride > 0)
        c.messages.problemText("--num-runs " + std::to_string(c.nRunsOverride) + ": " + text);
    else
        c.messages.problem(c.file, c.file.lastKeywordLine(), text);
}

void startSubsetGroups(const KeywordCheck& c) {
    if (c.matched && c.firstValue == "1") c.p.nFitnessGroups = 2;
}

void completeSubsetGroups(const KeywordCheck& c) {
    SimuParameters& p = c.p;
    if (p.nAgents < 1) {
        c.messages.problem(c.file, c.file.lastKeywordLine(),
                           "subsetOfAgentsFitness 1 needs nAgents above 0, not " + std::to_string(p.nAgents));
        return;
    }
    p.firstFitnessAgent[1] = static_cast<int>((p.lastFitnessAgent[0] + 1LL) % p.nAgents);
    p.lastFitnessAgent[1] =
        static_cast<int>((p.nAgents + static_cast<long long>(p.firstFitnessAgent[0]) - 1) % p.nAgents);
}

void checkGroupCount(const KeywordCheck& c) {
    if (!c.matched) return;
    const int groups = c.p.nFitnessGroups;
    const std::string text =
        std::string(c.entry.name) + " needs " + describeRange(c.entry.values[0]) + ", found " + std::to_string(groups);
    if (groups > kMaxFitnessGroups)
        c.messages.specError(std::string("Max value for ") + c.entry.name + " is " + std::to_string(kMaxFitnessGroups),
                             c.where() + text);
    if (groups < 0) c.messages.problem(c.file, c.file.lastKeywordLine(), text);
}

void unboundMemory(const KeywordCheck& c) {
    if (c.p.maxMemSize == 0) c.p.maxMemSize = INT_MAX;
}

// The explore distance is drawn between ceil(low*n) and floor(high*n). The products are
// rounded to float first, so that 0.28 of 25 (7.000000000000001 in double) is distance 7.
void checkExploreRange(const KeywordCheck& c) {
    if (c.entry.presence == Presence::Optional && !c.matched) return;  // no second range
    const double rangeLow = realValue(c, 2), rangeHigh = realValue(c, 3);
    const unsigned int n = c.p.n;
    const float low = static_cast<float>(rangeLow * n);
    const float high = static_cast<float>(rangeHigh * n);
    if (rangeLow >= 0 && rangeHigh <= 1 && std::ceil(low) <= std::floor(high)) return;
    char first[120], details[200];
    snprintf(first, sizeof first, "range [%f..%f] won't work", low, high);
    snprintf(details, sizeof details,
             "%s needs LOW and HIGH from 0 to 1 with a whole distance between LOW x n and HIGH x n; found %g and "
             "%g with n %u",
             c.entry.name, rangeLow, rangeHigh, n);
    c.messages.specError(first, c.where() + details);
}

void warnAboutSeeds(const KeywordCheck& c) {
    if (c.messages.anyProblem()) return;
    // Runs seeded one by one take all 32 bits of the seeds they start from.
    const bool runSeeded = c.p.runSeeding == kRunSeedingIndependent;
    const struct {
        const char* name;
        int seed;
        bool allBitsCount;
    } seeds[] = {{"landscapeseed", c.p.landscapeseed, runSeeded && c.p.landscapePerRun},
                 {"startseed", c.p.startseed, runSeeded},
                 {"searchseed", c.p.searchseed, runSeeded}};
    for (const auto& s : seeds) {
        const int line = c.progress.lineOf(s.name);
        if (s.allBitsCount || line == 0 || (s.seed >= 0 && s.seed <= 65535)) continue;
        c.messages.warn(ConfigMessages::where(c.file, line) + s.name + " " + std::to_string(s.seed) + " acts as " +
                        std::to_string(s.seed & 0xffff) + ": only the low 16 bits of a seed are used");
    }
}
