// Fitness-ordered point memories: immediate and queued writes, random initial filling.
#include "memory.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "landscape.h"
#include "util.h"

namespace {

// The seq of a slot that holds no entry.
constexpr uint64_t kNoSeq = std::numeric_limits<uint64_t>::max();
// Pool indices are stored + 1 in 30 bits beside a 2-bit type.
constexpr size_t kMaxPooledVisits = ((size_t)1 << 30) - 2;

// Fitness descending, earlier write first among equals.
bool before(const PointInfo* a, const PointInfo* b) {
    return a->fitness != b->fitness ? a->fitness > b->fitness : a->seq < b->seq;
}

}  // namespace

void PointInfo::print() const {
    point.print(false);
    printf(" fitn: %.6f\n", fitness);
}

Memory::Memory(unsigned int maxMemSize, const StepClock& clock)
    : maxMemSize(maxMemSize), numPoints(0), clock(clock), lastUpdateStep(clock.now()) {}

bool Memory::addPoint(const Point& point, double fitness, VisitType type) {
    const uint32_t* found = index.find(point.values);
    const bool held = found != nullptr;
    uint32_t slot;
    if (held) {
        if (type == VisitTypeInit) return false;
        // A rewrite: the entry leaves its place, which frees room for it, and goes to the
        // place its new fitness earns, behind all entries of equal fitness (its new seq).
        slot = *found;
    } else {
        if (numPoints >= maxMemSize && !evictBelow(fitness)) return true;  // discarded
        slot = takeSlot(point);
        numPoints++;
    }
    PointInfo& entry = entries[slot];
    entry.fitness = fitness;
    entry.seq = nextSeq++;
    recordVisit(entry.visits, Visit(clock.now(), type));
    const OrderHeap::Key key{fitness, slot};
    if (held) {
        best.update(key, entry.seq);
        if (worstKept) worst.update(key, entry.seq);
    } else {
        best.push(key, entry.seq);
        if (worstKept) worst.push(key, entry.seq);
    }
    lastUpdateStep = clock.now();
    orderedStale = true;
    return true;
}

// In a full memory a new entry would go after every entry of higher or equal fitness, so
// it is kept only when it is better than the last entry, which then leaves. The heap of
// last entries is built the first time a full memory needs it; a memory never full never
// pays for it.
bool Memory::evictBelow(double fitness) {
    if (numPoints == 0) return false;  // a capacity of 0
    if (!worstKept) {
        worstKept = true;
        worst.assign(best);
    }
    const OrderHeap::Key last = worst.top();
    if (last.fitness >= fitness) return false;
    best.erase(last.slot);
    worst.erase(last.slot);
    index.erase(entries[last.slot].point.values);
    releaseSlot(last.slot);
    numPoints--;
    return true;
}

uint32_t Memory::takeSlot(const Point& point) {
    uint32_t slot;
    if (freeSlots.empty()) {
        slot = (uint32_t)entries.size();
        entries.emplace_back(point, 0.0);
    } else {
        slot = freeSlots.back();
        freeSlots.pop_back();
        entries[slot] = PointInfo(point, 0.0);
    }
    index[point.values] = slot;
    return slot;
}

// Frees the slot and its older visits; the index entry is the caller's.
void Memory::releaseSlot(uint32_t slot) {
    PointInfo& entry = entries[slot];
    for (uint32_t r = entry.visits.older; r != 0;) {
        PooledVisit& v = visitPool[r - 1];
        const uint32_t older = v.olderAndType >> 2;
        v.olderAndType = freeVisits << 2;
        freeVisits = r;
        r = older;
    }
    entry.visits = VisitHistory();
    entry.seq = kNoSeq;
    freeSlots.push_back(slot);
}

void Memory::recordVisit(VisitHistory& visits, const Visit& visit) {
    if (!visits.empty()) {
        // The newest visit so far moves to the pool, in a free record if there is one.
        uint32_t r = freeVisits;
        if (r != 0) {
            freeVisits = visitPool[r - 1].olderAndType >> 2;
        } else {
            if (visitPool.size() >= kMaxPooledVisits)
                NK_FATAL(Internal, "Memory: more than %zu visits recorded\n", (size_t)kMaxPooledVisits);
            visitPool.push_back({});
            r = (uint32_t)visitPool.size();
        }
        visitPool[r - 1] = {visits.newestStep, visits.older << 2 | (visits.sizeAndType & 3)};
        visits.older = r;
    }
    visits.newestStep = visit.step;
    visits.sizeAndType = (uint32_t)(visits.size() + 1) << 2 | (uint32_t)visit.type;
}

void Memory::addQueuedPoints() {
    for (const SimplePointInfo& info : queuedPoints) addPoint(info);
    queuedPoints.clear();
}

void Memory::populate(unsigned int numPoints, unsigned long numPossiblePoints, unsigned short* initMemRandomState,
                      Landscape& landscape) {
    // A duplicate draw is refused, not replaced: the number of draws is fixed.
    for (unsigned int i = 0; i < numPoints && i < maxMemSize; i++) {
        const double r = rng48::erand48(initMemRandomState);
        const Point point((long)(r * numPossiblePoints));
        const double fitness = landscape.getFitnessValue(point);
        addPoint(point, fitness, VisitTypeInit);
    }
}

const PointInfoList& Memory::getPoints() const {
    if (orderedStale) {
        ordered.clear();
        for (const PointInfo& entry : entries)
            if (entry.seq != kNoSeq) ordered.push_back(&entry);
        std::sort(ordered.begin(), ordered.end(), before);
        orderedStale = false;
    }
    return ordered;
}

std::vector<Visit> Memory::visitsOf(const PointInfo& info) const {
    std::vector<Visit> out;
    if (info.visits.empty()) return out;
    out.push_back(info.visits.front());
    for (uint32_t r = info.visits.older; r != 0; r = visitPool[r - 1].olderAndType >> 2)
        out.emplace_back(visitPool[r - 1].step, (VisitType)(visitPool[r - 1].olderAndType & 3));
    return out;
}

void Memory::print(int count) const {
    int printed = 0;
    for (const PointInfo* info : getPoints()) {
        if (count > 0 && printed >= count) break;
        printf("      ");
        info->print();
        printed++;
    }
}
