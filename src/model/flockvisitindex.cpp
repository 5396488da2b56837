// Visits by point: a chain of records per visited point, and bitmaps of the visited points
// and of the points that have one within the crowding radius.
#include "flockvisitindex.h"

#include <new>

namespace {

uint64_t* zeroedBits(unsigned int n) {
    uint64_t* bits = static_cast<uint64_t*>(std::calloc(((size_t)1 << n) / 64 + 1, sizeof(uint64_t)));
    if (!bits) throw std::bad_alloc();
    return bits;
}

}  // namespace

FlockVisitIndex::FlockVisitIndex(unsigned int n) {
    if (n > kMaxBitmapN) return;
    visited.reset(zeroedBits(n));
    near.reset(zeroedBits(n));
}

void FlockVisitIndex::setBall(const std::vector<uint32_t>& masks) {
    if (!near) return;
    heads.forEach([this](int32_t point, int) { clearBall((uint32_t)point); });
    ball = masks;
    heads.forEach([this](int32_t point, int) { markBall((uint32_t)point); });
}

void FlockVisitIndex::add(uint32_t point, int timeStamp, unsigned int realTimeStep) {
    int& head = heads[(int32_t)point];
    if (head == 0 && visited) {
        visited[point >> 6] |= (uint64_t)1 << (point & 63);
        markBall(point);
    }
    records.push_back({timeStamp, realTimeStep, head - 1});
    head = (int)records.size();
}

void FlockVisitIndex::clear() {
    if (records.empty()) return;
    // Only the words of the visited points and their balls: clearing the whole bitmaps
    // would touch every page.
    if (visited)
        heads.forEach([this](int32_t point, int) {
            visited[(uint32_t)point >> 6] = 0;
            clearBall((uint32_t)point);
        });
    heads.clear();
    records.clear();
}

void FlockVisitIndex::markBall(uint32_t point) {
    for (uint32_t mask : ball) {
        const uint32_t q = point ^ mask;
        near[q >> 6] |= (uint64_t)1 << (q & 63);
    }
}

void FlockVisitIndex::clearBall(uint32_t point) {
    for (uint32_t mask : ball) near[(point ^ mask) >> 6] = 0;
}
