// The strategy-type table.
#include "strategytypes.h"

namespace {

constexpr MemType Pub = MemTypePublic, Priv = MemTypePrivate, Group = MemTypeGroup, Best = MemTypeBest;

}  // namespace

// Types 4 to 6 exist for network strategies; type 1 for tables only.
const StrategyTypeInfo kStrategyTypes[StrategyTypeNum] = {
    // search types, memories, actions, place actions; S1 and S2 memories; network layout;
    // decides every step, new point each decision, both memories
    {2, 2, 4, 2, {Pub, Priv, Pub, Pub}, {Pub, Priv, Pub, Pub}, {true, 2, false, false}, false, false, false},
    {2, 3, 6, 2, {Pub, Best, Priv, Pub}, {Pub, Priv, Pub, Pub}, {false, 0, false, false}, false, false, false},
    {2, 3, 6, 3, {Pub, Group, Priv, Pub}, {Pub, Group, Priv, Pub}, {true, 3, false, false}, false, false, false},
    {3, 2, 5, 2, {Pub, Priv, Pub, Pub}, {Pub, Priv, Pub, Pub}, {true, 2, false, false}, false, false, true},
    {2, 2, 4, 2, {Pub, Pub, Pub, Pub}, {Pub, Pub, Pub, Pub}, {true, 2, true, false}, true, true, false},
    {2, 2, 4, 2, {Pub, Pub, Pub, Pub}, {Pub, Pub, Pub, Pub}, {true, 2, true, true}, true, true, false},
    {2, 2, 4, 2, {Pub, Pub, Pub, Pub}, {Pub, Pub, Pub, Pub}, {true, 2, false, true}, false, true, false},
};

// Groups share a group memory, which only type 2's network reads.
StrategyType defaultNetworkType(bool inGroups) { return inGroups ? StrategyType2 : StrategyType0; }
