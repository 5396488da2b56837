// The part of an agent that its search methods read and write.
#pragma once

#include <cstdint>
#include <vector>

#include "inline.h"
#include "params.h"
#include "pointtable.h"
#include "searchphase.h"
#include "strategy.h"

class Memory;

// What an agent's searches read and write of it: who it is, the strategies it decides with, its
// memories, its phase and the points it tried this step. The agent owns it and lends it to its
// search methods, which need nothing else of the agent.
class SearchSubject {
public:
    SearchSubject(int id, const SimuParameters& params, Memory* publicMemory, Memory* privateMemory,
                  Memory* groupMemory);

    int id;
    // Indexed by MemType: public, private, group (null without groups).
    std::vector<Memory*> memory;
    AgentStrategy strategy;
    AgentStrategy strategyOthers[2];  // the compared strategies, tried alongside
    SearchPhase phase;
    // The distinct points tried this step, by the agent's own strategy and by the others.
    std::vector<Point> searchPoints;
    std::vector<Point> searchPointsOthers[2];

    void addSearchPoint(const Point& p);
    void addSearchPointOthers(const Point& p, int i);
    // What network decisions see besides fitness: the progress through the phase and the
    // position in the group. The caller adds the fitness inputs.
    strategy::NetworkState networkContext(int groupSize) const;

private:
    // Distinct-point indexes beside the lists, for lists too long to search.
    PointTable<uint8_t> searchPointSet;
    PointTable<uint8_t> searchPointSetOthers[2];
};
