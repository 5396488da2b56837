// Visits by point: a chain of records per visited point and a bitmap of visited points.
#include "flockvisitindex.h"

#include <algorithm>

FlockVisitIndex::FlockVisitIndex(unsigned int n) {
    if (n <= kMaxBitmapN) bitmap.assign(((size_t)1 << n) / 64 + 1, 0);
}

void FlockVisitIndex::add(uint32_t point, int timeStamp, unsigned int realTimeStep) {
    if (!bitmap.empty()) bitmap[point >> 6] |= (uint64_t)1 << (point & 63);
    int& head = heads[(int32_t)point];
    records.push_back({timeStamp, realTimeStep, head - 1});
    head = (int)records.size();
}

void FlockVisitIndex::clear() {
    if (records.empty()) return;
    std::fill(bitmap.begin(), bitmap.end(), 0);
    heads.clear();
    records.clear();
}
