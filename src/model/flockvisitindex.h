// The recorded visits of a run by visited point, newest first.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "pointtable.h"

// Lets the crowding penalty look up the few points within the radius of a point instead
// of scanning every visit in their bins. Bitmaps over all points answer "never visited"
// and "nothing within the radius visited" without touching the map, for N <= kMaxBitmapN
// (2 MiB each at N = 24).
class FlockVisitIndex {
public:
    static constexpr unsigned int kMaxBitmapN = 24;

    struct Record {
        int timeStamp;
        unsigned int realTimeStep;
        int older;  // the same point's previous visit, -1 for none
    };

    explicit FlockVisitIndex(unsigned int n);

    // Loci masks of the points within the crowding radius (the point's own, 0, included);
    // empty when the radius holds too many points: anyNear then always answers true.
    void setBall(const std::vector<uint32_t>& masks);
    // `point` holds loci bits only.
    void add(uint32_t point, int timeStamp, unsigned int realTimeStep);
    void clear();

    // The newest visit of `point`, -1 when it has none.
    int newest(uint32_t point) const {
        if (visited && !isSet(visited.get(), point)) return -1;
        const int* head = heads.find((int32_t)point);
        return head ? *head - 1 : -1;
    }
    const Record& record(int i) const { return records[i]; }
    // False when no point within the radius of `point` has a visit (most points, in
    // most runs); true otherwise, or when that is not kept.
    bool anyNear(uint32_t point) const { return !near || ball.empty() || isSet(near.get(), point); }

private:
    struct Free {
        void operator()(uint64_t* p) const { std::free(p); }
    };
    typedef std::unique_ptr<uint64_t[], Free> Bitmap;
    // Bit p: point p has a visit / a point within the radius of p has one. Null above
    // kMaxBitmapN. Zeroed by calloc and cleared word by word at the visited points, so a
    // run touches only the words it uses.
    Bitmap visited;
    Bitmap near;
    std::vector<uint32_t> ball;
    PointTable<int> heads;  // newest record + 1
    std::vector<Record> records;

    static bool isSet(const uint64_t* bits, uint32_t p) { return (bits[p >> 6] >> (p & 63)) & 1; }
    // Sets (or clears the words of) the near bits of the points within the radius of `point`.
    void markBall(uint32_t point);
    void clearBall(uint32_t point);
};
