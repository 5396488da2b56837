// Fitness cache: hash map for few points, direct array for many.
#include "fitnesscache.h"

#include <sys/mman.h>

#include <new>
#include <utility>

FitnessCache::FitnessCache(unsigned int n)
    : numPoints(n <= kMaxDirectN ? (uint32_t)1 << n : 0), switchSize(n <= kMaxDirectN ? numPoints / 8 : 0) {}

FitnessCache::~FitnessCache() { unmapArray(); }

FlockCacheItem& FitnessCache::mapSlot(int32_t point) {
    if (switchSize > 0 && map.size() >= switchSize && (uint32_t)point < numPoints) {
        mapArray();
        return slot(point);
    }
    return map[point];
}

const FlockCacheItem* FitnessCache::find(int32_t point) const {
    if (array && (uint32_t)point < numPoints)
        return array[(uint32_t)point].timeStamp ? &array[(uint32_t)point] : nullptr;
    return map.find(point);
}

// Moves the map's items into a fresh array. Anonymous pages read as zero until written,
// so only the pages holding evaluated points take memory.
void FitnessCache::mapArray() {
    const size_t bytes = (size_t)numPoints * sizeof(FlockCacheItem);
    void* mem = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) throw std::bad_alloc();
    // Random look-ups over many megabytes: large pages spare most TLB misses.
    madvise(mem, bytes, MADV_HUGEPAGE);
    array = static_cast<FlockCacheItem*>(mem);
    PointTable<FlockCacheItem> rest;
    map.forEach([&](int32_t point, const FlockCacheItem& item) {
        if ((uint32_t)point < numPoints) {
            array[(uint32_t)point] = item;
            arrayCount++;
        } else {
            rest[point] = item;  // not a point of the landscape: stays in a map
        }
    });
    std::swap(map, rest);
}

void FitnessCache::unmapArray() {
    if (!array) return;
    munmap(array, (size_t)numPoints * sizeof(FlockCacheItem));
    array = nullptr;
    arrayCount = 0;
}

void FitnessCache::clear() {
    map.clear();
    if (!array) return;
    // A fresh mapping is all zeros and gives the touched pages back.
    unmapArray();
    mapArray();
}
