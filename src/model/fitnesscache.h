// The crowded fitness of every point a run has evaluated, with its time stamp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pointtable.h"

struct FlockCacheItem {
    double fitness = 0.0;
    // Stamp of the evaluation that produced `fitness`; 0 marks a point the run has not
    // evaluated (every evaluation takes a stamp of at least 1).
    int timeStamp = 0;
    // Visits applied under decaying crowding. A whole number, so 32 bits hold it exactly.
    unsigned int visitCount = 0;
};

// A hash map while the run has evaluated few points; direct arrays indexed by point once
// the map holds 3/16 of all 2^N points, when its next growth would take about as much
// memory as the arrays (12 bytes a point: stamps and fitness values apart, so that the
// look-up that tells a new point from a cached one reads 4 bytes; visit counts get a
// third array only under decaying crowding). The arrays need 2^N * 12 (or 16) bytes of
// address space, so they are used only for N <= kMaxDirectN (192 or 256 MiB at N = 24);
// larger landscapes always use the map.
class FitnessCache {
public:
    static constexpr unsigned int kMaxDirectN = 24;

    // A point's item, located once per evaluation, then read and written.
    class Entry {
    public:
        // All zeros for a point the run has not evaluated.
        FlockCacheItem read() const {
            if (mapItem) return *mapItem;
            FlockCacheItem item;
            item.timeStamp = cache->stamps[point];
            if (item.timeStamp == 0) return item;
            item.fitness = cache->fitness[point];
            if (cache->visitCounts) item.visitCount = cache->visitCounts[point];
            return item;
        }
        // `item.timeStamp` must not be 0.
        void write(const FlockCacheItem& item) {
            if (mapItem)
                *mapItem = item;
            else
                cache->writeArrays(point, item);
        }

    private:
        friend class FitnessCache;
        FitnessCache* cache;
        FlockCacheItem* mapItem;  // null: the item lives in the arrays
        uint32_t point;
    };

    explicit FitnessCache(unsigned int n);
    ~FitnessCache();
    FitnessCache(const FitnessCache&) = delete;
    FitnessCache& operator=(const FitnessCache&) = delete;

    // The entry of `point`. A map entry is inserted (all zeros) when absent; it stays
    // valid until the next call of locate.
    Entry locate(int32_t point) {
        Entry e;
        e.cache = this;
        e.point = (uint32_t)point;
        e.mapItem = stamps && (uint32_t)point < numPoints ? nullptr : mapItem(point);
        return e;
    }
    // The item of `point`, all zeros when the run has not evaluated it.
    FlockCacheItem get(int32_t point) const;
    size_t size() const { return map.size() + arrayCount; }
    bool isDirect() const { return stamps != nullptr; }
    // Forgets every item. A cache that went over to arrays stays with them: the next run
    // of the same landscape evaluates about as many points.
    void clear();

private:
    uint32_t numPoints;
    size_t switchSize;  // map size at which the arrays take over; 0: never
    PointTable<FlockCacheItem> map;
    int* stamps = nullptr;
    double* fitness = nullptr;
    unsigned int* visitCounts = nullptr;  // made on the first non-zero count
    size_t arrayCount = 0;

    FlockCacheItem* mapItem(int32_t point);
    void writeArrays(uint32_t point, const FlockCacheItem& item) {
        if (stamps[point] == 0) arrayCount++;
        stamps[point] = item.timeStamp;
        fitness[point] = item.fitness;
        if (visitCounts || item.visitCount) writeVisitCount(point, item.visitCount);
    }
    void writeVisitCount(uint32_t point, unsigned int count);
    void mapArrays();
    void unmapArrays();
};
