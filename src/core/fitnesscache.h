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
    // Visits applied under decaying crowding. A whole number, so 32 bits hold it exactly
    // and the item stays 16 bytes.
    unsigned int visitCount = 0;
};

// A hash map while the run has evaluated few points; a direct array indexed by point once
// the map holds an eighth of all 2^N points, where the array costs no more memory than the
// map's next growth and every look-up is a single access. The array needs 2^N * 16 bytes of
// address space, so it is used only for N <= kMaxDirectN (256 MiB at N = 24); larger
// landscapes always use the map.
class FitnessCache {
public:
    static constexpr unsigned int kMaxDirectN = 24;

    explicit FitnessCache(unsigned int n);
    ~FitnessCache();
    FitnessCache(const FitnessCache&) = delete;
    FitnessCache& operator=(const FitnessCache&) = delete;

    // The item of `point`; a point the run has not evaluated gets an all-zero item, which
    // the caller fills. The reference stays valid until the next call.
    FlockCacheItem& slot(int32_t point) {
        if (array && (uint32_t)point < numPoints) {
            FlockCacheItem& item = array[(uint32_t)point];
            if (item.timeStamp == 0) arrayCount++;
            return item;
        }
        return mapSlot(point);
    }
    // Null for a point the run has not evaluated.
    const FlockCacheItem* find(int32_t point) const;
    size_t size() const { return map.size() + arrayCount; }
    bool isDirect() const { return array != nullptr; }
    // Forgets every item. A cache that became an array stays one: the next run of the
    // same landscape evaluates about as many points.
    void clear();

private:
    uint32_t numPoints;
    size_t switchSize;  // map size at which the array takes over; 0: never
    PointTable<FlockCacheItem> map;
    FlockCacheItem* array = nullptr;
    size_t arrayCount = 0;

    FlockCacheItem& mapSlot(int32_t point);
    void mapArray();
    void unmapArray();
};
