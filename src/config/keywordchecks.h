// The checks and settings that follow a keyword's values, each named by its row of the
// keyword table (KeywordEntry::check).
#pragma once

#include <string>

#include "configfile.h"
#include "configmessages.h"
#include "params.h"
#include "readprogress.h"

struct KeywordEntry;

// What a check sees once the keyword's values are read.
struct KeywordCheck {
    SimuParameters& p;
    ConfigMessages& messages;
    const ConfigFile& file;  // the main file, standing after the values
    const KeywordEntry& entry;
    bool matched;                   // the keyword was found (not a missing required one)
    const std::string& firstValue;  // its first value as read; "" without one
    int nRunsOverride;              // --num-runs, 0 when not given
    const ReadProgress& progress;   // the keywords read so far, with their lines

    // "file:line: " of the keyword, where the check's messages start.
    std::string where() const { return ConfigMessages::where(file, file.lastKeywordLine()); }
};

// After k: N and K within what a point holds; the landscape's sizes.
void checkLandscapeSize(const KeywordCheck& c);
// After nRuns: --num-runs in its place, and the range of the runs in effect.
void applyRunOverride(const KeywordCheck& c);
// After subsetOfAgentsFitness: 1 makes two fitness groups.
void startSubsetGroups(const KeywordCheck& c);
// After lastAgentFitness: group 1 is the rest of the ring of agents.
void completeSubsetGroups(const KeywordCheck& c);
// After nFitnessGroups: no more groups than the record holds.
void checkGroupCount(const KeywordCheck& c);
// After maxMemSize: 0 means unbounded.
void unboundMemory(const KeywordCheck& c);
// After explore and explore2: a whole jump distance within the range.
void checkExploreRange(const KeywordCheck& c);
// After landscapePerRun, once the seeding is known: a word for each seed whose bits beyond the
// low 16 are dropped (every seed but those a run is seeded from with runSeeding 1).
void warnAboutSeeds(const KeywordCheck& c);
