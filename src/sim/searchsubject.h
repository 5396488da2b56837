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

    int id() const { return id_; }
    // Public, private or group memory (null without groups).
    Memory* memory(MemType type) const { return memory_[type]; }
    const AgentStrategy& strategy() const { return strategy_; }
    // The compared strategies (0 or 1), tried alongside.
    const AgentStrategy& strategyOther(int i) const { return strategyOthers_[i]; }
    SearchPhase& phase() { return phase_; }
    const SearchPhase& phase() const { return phase_; }
    // The distinct points tried this step, by the agent's own strategy and by the others.
    const std::vector<Point>& searchPoints() const { return searchPoints_; }
    const std::vector<Point>& searchPointsOthers(int i) const { return searchPointsOthers_[i]; }

    void addSearchPoint(const Point& p);
    void addSearchPointOthers(const Point& p, int i);
    void clearSearchPoints() { searchPoints_.clear(); }
    void clearSearchPointsOthers(int i) { searchPointsOthers_[i].clear(); }
    // Tests give a compared strategy the tables they check.
    void setStrategyOther(int i, const AgentStrategy& s) { strategyOthers_[i] = s; }
    // What network decisions see besides fitness: the progress through the phase and the
    // position in the group. The caller adds the fitness inputs.
    strategy::NetworkState networkContext(int groupSize) const;

private:
    int id_;
    // Indexed by MemType.
    std::vector<Memory*> memory_;
    AgentStrategy strategy_;
    AgentStrategy strategyOthers_[2];
    SearchPhase phase_;
    std::vector<Point> searchPoints_;
    std::vector<Point> searchPointsOthers_[2];
    // Distinct-point indexes beside the lists, for lists too long to search.
    PointTable<uint8_t> searchPointSet;
    PointTable<uint8_t> searchPointSetOthers[2];
};
