// Fitness cache: hash map for few points, direct arrays for many.
#include "fitnesscache.h"

#include <sys/mman.h>

#include <new>
#include <utility>

namespace {

// Anonymous pages read as zero until written, so only the pages holding evaluated points
// take memory. Random look-ups over megabytes: large pages spare most TLB misses and page
// faults.
template <class T>
T* mapZeroed(size_t count) {
    void* mem = mmap(nullptr, count * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) throw std::bad_alloc();
    madvise(mem, count * sizeof(T), MADV_HUGEPAGE);
    return static_cast<T*>(mem);
}

template <class T>
void unmap(T*& array, size_t count) {
    if (array) munmap(array, count * sizeof(T));
    array = nullptr;
}

}  // namespace

FitnessCache::FitnessCache(unsigned int n)
    : numPoints(n <= kMaxDirectN ? (uint32_t)1 << n : 0), switchSize(n <= kMaxDirectN ? numPoints / 16 * 3 : 0) {}

FitnessCache::~FitnessCache() { unmapArrays(); }

FlockCacheItem* FitnessCache::mapItem(int32_t point) {
    if (switchSize > 0 && map.size() >= switchSize && (uint32_t)point < numPoints) {
        mapArrays();
        return nullptr;
    }
    return &map[point];
}

FlockCacheItem FitnessCache::get(int32_t point) const {
    if (stamps && (uint32_t)point < numPoints) {
        Entry e;
        e.cache = const_cast<FitnessCache*>(this);
        e.mapItem = nullptr;
        e.point = (uint32_t)point;
        return e.read();
    }
    const FlockCacheItem* item = map.find(point);
    return item ? *item : FlockCacheItem();
}

void FitnessCache::writeVisitCount(uint32_t point, unsigned int count) {
    if (!visitCounts) visitCounts = mapZeroed<unsigned int>(numPoints);
    visitCounts[point] = count;
}

// Moves the map's items into fresh arrays; items of values outside the landscape's
// points stay in the map.
void FitnessCache::mapArrays() {
    stamps = mapZeroed<int>(numPoints);
    fitness = mapZeroed<double>(numPoints);
    PointTable<FlockCacheItem> rest;
    map.forEach([&](int32_t point, const FlockCacheItem& item) {
        if ((uint32_t)point < numPoints)
            writeArrays((uint32_t)point, item);
        else
            rest[point] = item;
    });
    std::swap(map, rest);
}

void FitnessCache::unmapArrays() {
    unmap(stamps, numPoints);
    unmap(fitness, numPoints);
    unmap(visitCounts, numPoints);
    arrayCount = 0;
}

void FitnessCache::clear() {
    map.clear();
    if (!stamps) return;
    // Fresh mappings are all zeros and give the touched pages back.
    unmapArrays();
    mapArrays();
}
