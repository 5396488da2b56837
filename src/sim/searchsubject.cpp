// The part of an agent that its search methods read and write: its memories, strategies,
// phase and the distinct points it tried.
#include "searchsubject.h"

#include <algorithm>

namespace {

// A step's list is short (the neighbours or candidates tried), and searching it beats
// hashing; only a look-ahead makes it long. From that length on the set mirrors the list,
// made afresh when the list reaches it, or whenever the two differ in size.
constexpr size_t kSearchedListLength = 32;

void addDistinct(std::vector<Point>& points, PointTable<uint8_t>& seen, const Point& p) {
    if (points.size() < kSearchedListLength) {
        if (std::find(points.begin(), points.end(), p) == points.end()) points.push_back(p);
        return;
    }
    if (points.size() == kSearchedListLength || seen.size() != points.size()) {
        seen.clear();
        for (const Point& q : points) seen[q.values] = 1;
    }
    uint8_t& held = seen[p.values];
    if (!held) {
        held = 1;
        points.push_back(p);
    }
}

}  // namespace

SearchSubject::SearchSubject(int id, const SimuParameters& params, Memory* publicMemory, Memory* privateMemory,
                             Memory* groupMemory)
    : id_(id), memory_{publicMemory, privateMemory, groupMemory}, phase_(kPhaseSteps, params.waitingEnabled) {
    auto own = params.agentStrategies.find(id);
    strategy_ = own != params.agentStrategies.end() ? own->second : params.generalStrategy;
    for (int i = 0; i < params.nExtraStrategies && i < 2; i++) {
        auto other = params.agentStrategies.find(params.nAgents + i);
        if (other != params.agentStrategies.end()) strategyOthers_[i] = other->second;
    }
}

void SearchSubject::addSearchPoint(const Point& p) { addDistinct(searchPoints_, searchPointSet, p); }

void SearchSubject::addSearchPointOthers(const Point& p, int i) {
    addDistinct(searchPointsOthers_[i], searchPointSetOthers[i], p);
}

strategy::NetworkState SearchSubject::networkContext(int groupSize) const {
    strategy::NetworkState state;
    state.progress = strategy::phaseProgressInput(phase_.inPhaseSteps(), phase_.numSteps());
    state.groupPosition = strategy::groupPositionInput(id_, groupSize);
    return state;
}
