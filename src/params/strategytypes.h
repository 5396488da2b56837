// The strategy types as one table: what a type's decisions choose among, the memory each
// choice names, what its network reads, and how an agent of the type keeps to a decision.
// The records, the reader, the decisions and the agent all read their type's facts here.
#pragma once

#include "constants.h"

// A network's inputs, in order: its fitness slots (search: public, private and group best;
// place: the point's fitness, then zeros), the phase progress and the group position where the
// type reads them, then two slots coding the action.
struct NetworkLayout {
    bool exists;  // false: the type decides by tables only
    int fitnessSlots;
    bool progress;
    bool groupPosition;
};

struct StrategyTypeInfo {
    int searchTypes;     // search types (exploit, explore, recombination) its search actions use
    int searchMemories;  // memory choices of each search type (S1)
    int searchActions;   // search actions (S1); recombination, where there is one, has one action
    int placeActions;    // place actions (S2)
    // The memory each S1 memory choice names (MemTypeBest: the better of public and private),
    // and the memory each place action names.
    MemType searchMemory[4];
    MemType placeMemory[4];
    NetworkLayout network;
    bool decidesEveryStep;      // with a network strategy, decides anew in every step
    bool newPointEachDecision;  // each decision's search starts from a new point of its memory
    bool searchesBothMemories;  // every search draws from the public and the private memory
};

// One row per type, in type order (inline below: decisions read it in every step).
extern const StrategyTypeInfo kStrategyTypes[StrategyTypeNum];

// The row of type `t`, which must be a strategy type.
inline const StrategyTypeInfo& strategyType(StrategyType t) { return kStrategyTypes[t]; }
// Whether `number` names a strategy type.
inline bool isStrategyType(long double number) { return number >= StrategyType0 && number < StrategyTypeNum; }
// The same for a stored type, without a conversion: the decisions ask it every step.
inline bool isStrategyType(StrategyType t) { return t >= StrategyType0 && t < StrategyTypeNum; }
// The type of a network strategy that names none (or no valid one).
StrategyType defaultNetworkType(bool inGroups);
// The search type of search action `action`: actions come in blocks of `searchMemories`, one
// block per search type, so an action below `searchMemories` exploits.
inline SearchType searchTypeOf(const StrategyTypeInfo& info, int action) {
    return static_cast<SearchType>(action / info.searchMemories);
}
