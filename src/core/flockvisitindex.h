// The recorded visits of a run by visited point, newest first.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "pointtable.h"

// Lets the crowding penalty look up the few points within the radius of a point instead
// of scanning every visit in their bins. A bitmap over all points answers "never visited"
// without touching the map, for N <= kMaxBitmapN (2 MiB at N = 24).
class FlockVisitIndex {
public:
    static constexpr unsigned int kMaxBitmapN = 24;

    struct Record {
        int timeStamp;
        unsigned int realTimeStep;
        int older;  // the same point's previous visit, -1 for none
    };

    explicit FlockVisitIndex(unsigned int n);

    // `point` holds loci bits only.
    void add(uint32_t point, int timeStamp, unsigned int realTimeStep);
    void clear();

    // The newest visit of `point`, -1 when it has none.
    int newest(uint32_t point) const {
        if (bitmap && !((bitmap[point >> 6] >> (point & 63)) & 1)) return -1;
        const int* head = heads.find((int32_t)point);
        return head ? *head - 1 : -1;
    }
    const Record& record(int i) const { return records[i]; }

private:
    struct Free {
        void operator()(uint64_t* p) const { std::free(p); }
    };
    // Bit p: point p has a visit; null above kMaxBitmapN. Zeroed by calloc, whose fresh
    // pages take memory only once a bit on them is set.
    std::unique_ptr<uint64_t[], Free> bitmap;
    PointTable<int> heads;  // newest record + 1
    std::vector<Record> records;
};
