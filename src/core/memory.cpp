// Fitness-ordered point memories: immediate and queued writes, random initial filling.
#include "memory.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "landscape.h"

namespace {

// The seq of a slot that holds no entry, or of an entry taken out during its rewrite: no
// key carries it, so every key of the slot reads as stale.
constexpr uint64_t kNoSeq = std::numeric_limits<uint64_t>::max();
// Pool indices are stored + 1 in 30 bits beside a 2-bit type.
constexpr size_t kMaxPooledVisits = ((size_t)1 << 30) - 2;

// Fitness descending, earlier write first among equals.
template <class Key>
bool before(const Key& a, const Key& b) {
    return a.fitness != b.fitness ? a.fitness > b.fitness : a.seq < b.seq;
}

// Heap orders: "less" puts the best entry on top of `best` and the last on top of `worst`.
template <class Key>
bool worseThan(const Key& a, const Key& b) {
    return before(b, a);
}

template <class Key>
bool betterThan(const Key& a, const Key& b) {
    return before(a, b);
}

}  // namespace

void PointInfo::print() const {
    point.print(false);
    printf(" fitn: %.6f\n", fitness);
}

Memory::Memory(unsigned int maxMemSize, const unsigned int& curStep)
    : maxMemSize(maxMemSize), numPoints(0), curStep(curStep), lastUpdateStep(curStep) {
    // Neither is a point of any landscape (points are at least -1).
    index.set_empty_key(std::numeric_limits<int32_t>::min());
    index.set_deleted_key(std::numeric_limits<int32_t>::min() + 1);
    // Unbounded memories hold hundreds of thousands of points: a fuller table saves memory
    // at the cost of slightly longer probes.
    index.max_load_factor(0.8f);
}

bool Memory::addPoint(const Point& point, double fitness, VisitType type) {
    uint32_t slot = 0;
    auto found = index.find(point.values);
    const bool held = found != index.end();
    if (held) {
        if (type == VisitTypeInit) return false;
        // Take the entry out with its history; it comes back at the place its new fitness earns.
        slot = found->second;
        slots[slot].seq = kNoSeq;
        numPoints--;
    }

    if (numPoints >= maxMemSize) {
        // The new entry would go after every entry of higher or equal fitness, so it lands
        // at the end exactly when the last entry is at least as good.
        const OrderKey* last = lastEntry();
        if (!last || last->fitness >= fitness) {
            if (held) {
                index.erase(found);
                releaseSlot(slot);
                dropStaleKeys();
            }
            return true;
        }
        const uint32_t evicted = last->slot;
        index.erase(slots[evicted].point.values);
        releaseSlot(evicted);
        numPoints--;
    }

    if (!held) slot = takeSlot(point);
    PointInfo& entry = slots[slot];
    entry.fitness = fitness;
    // The newest write goes behind all entries of equal fitness.
    entry.seq = nextSeq++;
    recordVisit(entry.visits, Visit(curStep, type));
    pushKey(entry, slot);
    numPoints++;
    lastUpdateStep = curStep;
    dropStaleKeys();
    return true;
}

uint32_t Memory::takeSlot(const Point& point) {
    uint32_t slot;
    if (freeSlots.empty()) {
        slot = (uint32_t)slots.size();
        slots.emplace_back(point, 0.0);
    } else {
        slot = freeSlots.back();
        freeSlots.pop_back();
        slots[slot] = PointInfo(point, 0.0);
    }
    index[point.values] = slot;
    return slot;
}

// Frees the slot and its older visits; the index entry is the caller's.
void Memory::releaseSlot(uint32_t slot) {
    PointInfo& entry = slots[slot];
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
            if (visitPool.size() >= kMaxPooledVisits) throw std::length_error("Memory: too many visits");
            visitPool.push_back({});
            r = (uint32_t)visitPool.size();
        }
        visitPool[r - 1] = {visits.newestStep, visits.older << 2 | (visits.sizeAndType & 3)};
        visits.older = r;
    }
    visits.newestStep = visit.step;
    visits.sizeAndType = (uint32_t)(visits.size() + 1) << 2 | (uint32_t)visit.type;
}

void Memory::pushKey(const PointInfo& entry, uint32_t slot) {
    const OrderKey key{entry.fitness, entry.seq, slot};
    best.push_back(key);
    std::push_heap(best.begin(), best.end(), worseThan<OrderKey>);
    if (worstKept) {
        worst.push_back(key);
        std::push_heap(worst.begin(), worst.end(), betterThan<OrderKey>);
    }
    orderedStale = true;
}

// The last entry's key, null when the memory is empty. The heap of last entries is built
// the first time a full memory needs it; a memory never full never pays for it.
const Memory::OrderKey* Memory::lastEntry() {
    if (!worstKept) {
        worstKept = true;
        for (const OrderKey& key : best)
            if (isLive(key)) worst.push_back(key);
        std::make_heap(worst.begin(), worst.end(), betterThan<OrderKey>);
    }
    while (!worst.empty() && !isLive(worst.front())) {
        std::pop_heap(worst.begin(), worst.end(), betterThan<OrderKey>);
        worst.pop_back();
    }
    return worst.empty() ? nullptr : &worst.front();
}

// Keeps a live key on top of the best heap, and each heap at most a quarter above the live
// keys (a rebuild costs O(n) once per n/4 stale keys).
void Memory::dropStaleKeys() {
    orderedStale = true;
    while (!best.empty() && !isLive(best.front())) {
        std::pop_heap(best.begin(), best.end(), worseThan<OrderKey>);
        best.pop_back();
    }
    auto rebuild = [this](std::vector<OrderKey>& heap, bool (*less)(const OrderKey&, const OrderKey&)) {
        if (heap.size() <= (size_t)numPoints + numPoints / 4 + 16) return;
        heap.erase(std::remove_if(heap.begin(), heap.end(), [this](const OrderKey& k) { return !isLive(k); }),
                   heap.end());
        std::make_heap(heap.begin(), heap.end(), less);
    };
    rebuild(best, worseThan<OrderKey>);
    if (worstKept) rebuild(worst, betterThan<OrderKey>);
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
        for (const PointInfo& entry : slots)
            if (entry.seq != kNoSeq) ordered.push_back(&entry);
        std::sort(ordered.begin(), ordered.end(),
                  [](const PointInfo* a, const PointInfo* b) { return before(*a, *b); });
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
