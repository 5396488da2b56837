// A bounded memory of points kept in order of fitness, best first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "constants.h"
#include "inline.h"
#include "orderheap.h"
#include "pointtable.h"
#include "stepclock.h"

class Landscape;

struct Visit {
    unsigned int step;
    VisitType type;
    Visit(unsigned int s, VisitType t) : step(s), type(t) {}
};

// The visits of one memory entry, newest first. The entry holds its newest visit (the one
// readers look at); the older ones are chained in its memory's visit pool
// (Memory::visitsOf lists them all).
class VisitHistory {
public:
    bool empty() const { return sizeAndType == 0; }
    size_t size() const { return sizeAndType >> 2; }
    Visit front() const { return Visit(newestStep, (VisitType)(sizeAndType & 3)); }

private:
    friend class Memory;
    unsigned int newestStep = 0;
    uint32_t older = 0;        // pool index + 1 of the next older visit, 0 for none
    uint32_t sizeAndType = 0;  // number of visits << 2 | type of the newest
};

struct PointInfo {
    double fitness;
    // Order of the latest accepted write; breaks fitness ties (earlier write first).
    uint64_t seq = 0;
    Point point;
    VisitHistory visits;

    PointInfo(const Point& p, double f) : fitness(f), point(p) {}
    void print() const;
};

struct SimplePointInfo {
    Point point;
    double fitness;
    VisitType visitType;
    SimplePointInfo(const Point& p, double f, VisitType t) : point(p), fitness(f), visitType(t) {}
};

// The entries in order: fitness descending, earlier write first among equals.
typedef std::vector<const PointInfo*> PointInfoList;

// Entries live by value in a pool of slots and are found by point through a hash index.
// The order is kept by a heap with the best entry on top and, once the memory has been
// full, one with the last entry on top for eviction (OrderHeap). So a write costs O(1) hash
// work plus O(log n) heap work, the best entry is read in O(1), and the full order, which
// only listings need, is sorted when asked for.
class Memory {
public:
    unsigned int maxMemSize;
    unsigned int numPoints;
    std::vector<SimplePointInfo> queuedPoints;
    const StepClock& clock;
    unsigned int lastUpdateStep;

    Memory(unsigned int maxMemSize, const StepClock& clock);
    Memory(const Memory&) = delete;
    Memory& operator=(const Memory&) = delete;

    bool addPoint(const Point& point, double fitness, VisitType type);
    bool addPoint(const SimplePointInfo& info) { return addPoint(info.point, info.fitness, info.visitType); }
    void queueAddPoint(const Point& point, double fitness, VisitType type) {
        queuedPoints.emplace_back(point, fitness, type);
    }
    bool hasQueuedPoints() const { return !queuedPoints.empty(); }
    void addQueuedPoints();
    void populate(unsigned int numPoints, unsigned long numPossiblePoints, unsigned short* initMemRandomState,
                  Landscape& landscape);

    // Sorted on the first call after a write; valid until the next write.
    const PointInfoList& getPoints() const;
    unsigned int getNumPoints() const { return numPoints; }
    unsigned int getLastUpdateStep() const { return lastUpdateStep; }
    // Entries keep their address while they are held.
    const PointInfo& getBestPoint() const { return entries[best.top().slot]; }
    // Every visit of an entry of this memory, newest first.
    std::vector<Visit> visitsOf(const PointInfo& info) const;
    void print(int count) const;

private:
    // An older visit in the pool; a free record links the next free one the same way.
    struct PooledVisit {
        unsigned int step;
        uint32_t olderAndType;  // (pool index + 1 of the next older visit) << 2 | type
    };

    std::deque<PointInfo> entries;  // by slot (not "slots": a Qt keyword); a deque keeps addresses
    std::vector<uint32_t> freeSlots;
    PointTable<uint32_t> index;  // point -> slot
    OrderHeap best{false};
    OrderHeap worst{true};  // empty until the memory is first full
    bool worstKept = false;
    std::deque<PooledVisit> visitPool;
    uint32_t freeVisits = 0;  // pool index + 1 of the first free record, 0 for none
    uint64_t nextSeq = 0;
    mutable PointInfoList ordered;
    mutable bool orderedStale = false;

    uint32_t takeSlot(const Point& point);
    void releaseSlot(uint32_t slot);
    void recordVisit(VisitHistory& visits, const Visit& visit);
    bool evictBelow(double fitness);
};
