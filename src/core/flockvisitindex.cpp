// Visits by point: a chain of records per visited point and a bitmap of visited points.
#include "flockvisitindex.h"

#include <algorithm>

FlockVisitIndex::FlockVisitIndex(unsigned int n) {
    if (n <= kMaxBitmapN) bitmap.assign(((size_t)1 << n) / 64 + 1, 0);
    heads.set_empty_key(-2);  // never a point
}

void FlockVisitIndex::add(uint32_t point, int timeStamp, unsigned int realTimeStep) {
    if (!bitmap.empty()) bitmap[point >> 6] |= (uint64_t)1 << (point & 63);
    auto inserted = heads.insert({(int32_t)point, (int)records.size()});
    int older = -1;
    if (!inserted.second) {
        older = inserted.first->second;
        inserted.first->second = (int)records.size();
    }
    records.push_back({timeStamp, realTimeStep, older});
}

void FlockVisitIndex::clear() {
    if (records.empty()) return;
    std::fill(bitmap.begin(), bitmap.end(), 0);
    heads.clear_no_resize();
    records.clear();
}
