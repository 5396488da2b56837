// Visits by point: a chain of records per visited point and a bitmap of visited points.
#include "flockvisitindex.h"

#include <new>

FlockVisitIndex::FlockVisitIndex(unsigned int n) {
    if (n > kMaxBitmapN) return;
    bitmap.reset(static_cast<uint64_t*>(std::calloc(((size_t)1 << n) / 64 + 1, sizeof(uint64_t))));
    if (!bitmap) throw std::bad_alloc();
}

void FlockVisitIndex::add(uint32_t point, int timeStamp, unsigned int realTimeStep) {
    if (bitmap) bitmap[point >> 6] |= (uint64_t)1 << (point & 63);
    int& head = heads[(int32_t)point];
    records.push_back({timeStamp, realTimeStep, head - 1});
    head = (int)records.size();
}

void FlockVisitIndex::clear() {
    if (records.empty()) return;
    // Only the visited points' bits: clearing the whole bitmap would touch every page.
    if (bitmap) heads.forEach([this](int32_t point, int) { bitmap[(uint32_t)point >> 6] = 0; });
    heads.clear();
    records.clear();
}
