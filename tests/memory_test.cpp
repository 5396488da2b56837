// Point memory: ordering, ties, duplicates, capacity, queued writes and random filling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "landscape.h"
#include "memory.h"

namespace {

std::vector<long> pointsOf(const Memory& m) {
    std::vector<long> v;
    for (const PointInfo* info : m.getPoints()) v.push_back(info->point.values);
    return v;
}

std::vector<double> fitnessesOf(const Memory& m) {
    std::vector<double> v;
    for (const PointInfo* info : m.getPoints()) v.push_back(info->fitness);
    return v;
}

const PointInfo* find(const Memory& m, long value) {
    for (const PointInfo* info : m.getPoints())
        if (info->point.values == value) return info;
    return nullptr;
}

// The memory as a plain list with linear scans, written from the rules of a write.
struct ListMemory {
    struct Entry {
        long point;
        double fitness;
        int visits;
    };
    unsigned int maxMemSize;
    std::list<Entry> entries;

    bool add(long point, double fitness, VisitType type) {
        Entry moved{point, fitness, 0};
        bool held = false;
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (it->point != point) continue;
            if (type == VisitTypeInit) return false;
            moved = *it;
            held = true;
            entries.erase(it);
            break;
        }
        auto pos = entries.begin();
        while (pos != entries.end() && !(pos->fitness < fitness)) ++pos;
        if (entries.size() >= maxMemSize && pos == entries.end()) return true;
        if (entries.size() == maxMemSize) {
            // The place may be the evicted entry itself; the new entry then goes last.
            const bool placeIsLast = std::next(pos) == entries.end();
            entries.pop_back();
            if (placeIsLast) pos = entries.end();
        }
        moved.fitness = fitness;
        moved.visits = held ? moved.visits + 1 : 1;
        entries.insert(pos, moved);
        return true;
    }
};

}  // namespace

TEST(MemoryTest, WritesAreKeptBestFirstWithEarlierWritesFirstAmongEquals) {
    unsigned int step = 3;
    Memory m(10, step);
    EXPECT_EQ(m.getNumPoints(), 0u);
    EXPECT_EQ(m.getLastUpdateStep(), 3u);
    EXPECT_TRUE(m.addPoint(Point(1), 0.5, VisitTypeStep));
    EXPECT_TRUE(m.addPoint(Point(2), 0.7, VisitTypeCheck));
    EXPECT_TRUE(m.addPoint(Point(3), 0.5, VisitTypeStep));
    EXPECT_TRUE(m.addPoint(Point(4), 0.6, VisitTypeStep));
    step = 5;
    EXPECT_TRUE(m.addPoint(Point(5), 0.5, VisitTypeRevisit));
    EXPECT_EQ(pointsOf(m), (std::vector<long>{2, 4, 1, 3, 5}));
    EXPECT_EQ(m.getNumPoints(), 5u);
    EXPECT_EQ(m.getLastUpdateStep(), 5u);
    EXPECT_EQ(m.getBestPoint().point, Point(2));
    const PointInfo* five = find(m, 5);
    ASSERT_EQ(five->visits.size(), 1u);
    EXPECT_EQ(five->visits.front().step, 5u);
    EXPECT_EQ(five->visits.front().type, VisitTypeRevisit);
}

TEST(MemoryTest, InitWriteOfAHeldPointIsRefusedAndChangesNothing) {
    unsigned int step = 1;
    Memory m(10, step);
    m.addPoint(Point(1), 0.5, VisitTypeInit);
    m.addPoint(Point(2), 0.4, VisitTypeInit);
    step = 2;
    EXPECT_FALSE(m.addPoint(Point(1), 0.9, VisitTypeInit));
    EXPECT_FALSE(m.addPoint(Point(2), 0.1, VisitTypeInit));
    EXPECT_EQ(pointsOf(m), (std::vector<long>{1, 2}));
    EXPECT_EQ(fitnessesOf(m), (std::vector<double>{0.5, 0.4}));
    EXPECT_EQ(find(m, 1)->visits.size(), 1u);
    EXPECT_EQ(m.getLastUpdateStep(), 1u);
}

TEST(MemoryTest, RewriteWithLowerFitnessMovesBehindEqualEntries) {
    unsigned int step = 1;
    Memory m(10, step);
    m.addPoint(Point(1), 0.9, VisitTypeInit);
    m.addPoint(Point(2), 0.6, VisitTypeInit);
    m.addPoint(Point(3), 0.5, VisitTypeInit);
    step = 7;
    EXPECT_TRUE(m.addPoint(Point(1), 0.6, VisitTypeStep));
    EXPECT_EQ(pointsOf(m), (std::vector<long>{2, 1, 3}));
    EXPECT_EQ(m.getNumPoints(), 3u);
    const PointInfo* one = find(m, 1);
    EXPECT_EQ(one->fitness, 0.6);
    ASSERT_EQ(one->visits.size(), 2u);  // newest first
    EXPECT_EQ(one->visits.front().step, 7u);
    EXPECT_EQ(one->visits.front().type, VisitTypeStep);
    EXPECT_EQ(one->visits.back().step, 1u);
    EXPECT_EQ(one->visits.back().type, VisitTypeInit);

    // A higher fitness moves it up again, past the entry it fell behind.
    EXPECT_TRUE(m.addPoint(Point(1), 0.61, VisitTypeCheck));
    EXPECT_EQ(pointsOf(m), (std::vector<long>{1, 2, 3}));
    EXPECT_EQ(find(m, 1)->visits.size(), 3u);

    // The same fitness again still counts as a new write: behind the other equal entry.
    m.addPoint(Point(2), 0.61, VisitTypeStep);
    m.addPoint(Point(1), 0.61, VisitTypeStep);
    EXPECT_EQ(pointsOf(m), (std::vector<long>{2, 1, 3}));
}

TEST(MemoryTest, FullMemoryDiscardsNoBetterPointsAndEvictsTheLowest) {
    unsigned int step = 0;
    Memory m(3, step);
    m.addPoint(Point(1), 0.9, VisitTypeStep);
    m.addPoint(Point(2), 0.6, VisitTypeStep);
    m.addPoint(Point(3), 0.4, VisitTypeStep);
    step = 2;
    EXPECT_TRUE(m.addPoint(Point(4), 0.4, VisitTypeStep));  // equal to the last: discarded
    EXPECT_TRUE(m.addPoint(Point(5), 0.1, VisitTypeStep));
    EXPECT_EQ(pointsOf(m), (std::vector<long>{1, 2, 3}));
    EXPECT_EQ(m.getLastUpdateStep(), 0u);

    EXPECT_TRUE(m.addPoint(Point(6), 0.5, VisitTypeStep));  // evicts 3
    EXPECT_EQ(pointsOf(m), (std::vector<long>{1, 2, 6}));
    EXPECT_EQ(m.getNumPoints(), 3u);
    EXPECT_EQ(m.getLastUpdateStep(), 2u);
    // The evicted point is gone for good: writing it again is a new entry.
    EXPECT_TRUE(m.addPoint(Point(3), 0.95, VisitTypeInit));
    EXPECT_EQ(pointsOf(m), (std::vector<long>{3, 1, 2}));
    EXPECT_EQ(find(m, 3)->visits.size(), 1u);
}

TEST(MemoryTest, RewriteOfAHeldPointInAFullMemoryKeepsItLast) {
    unsigned int step = 0;
    Memory m(3, step);
    m.addPoint(Point(1), 0.9, VisitTypeStep);
    m.addPoint(Point(2), 0.6, VisitTypeStep);
    m.addPoint(Point(3), 0.4, VisitTypeStep);
    EXPECT_TRUE(m.addPoint(Point(1), 0.2, VisitTypeRevisit));
    EXPECT_EQ(pointsOf(m), (std::vector<long>{2, 3, 1}));
    EXPECT_EQ(m.getNumPoints(), 3u);
    EXPECT_EQ(find(m, 1)->visits.size(), 2u);
}

TEST(MemoryTest, RewriteThatWouldEndAFullMemoryAfterItsLastEntryDestroysIt) {
    // With the held point out, the memory holds one entry less than its capacity only
    // when it was not full; a capacity-1 memory shows the discard of a held point.
    unsigned int step = 0;
    Memory m(1, step);
    m.addPoint(Point(1), 0.5, VisitTypeStep);
    EXPECT_TRUE(m.addPoint(Point(1), 0.3, VisitTypeStep));
    EXPECT_EQ(pointsOf(m), (std::vector<long>{1}));  // its removal freed the place
    EXPECT_EQ(find(m, 1)->fitness, 0.3);
    EXPECT_TRUE(m.addPoint(Point(2), 0.3, VisitTypeStep));  // not better: discarded
    EXPECT_EQ(pointsOf(m), (std::vector<long>{1}));
    EXPECT_TRUE(m.addPoint(Point(2), 0.31, VisitTypeStep));
    EXPECT_EQ(pointsOf(m), (std::vector<long>{2}));
}

TEST(MemoryTest, ZeroCapacityKeepsTheMemoryEmpty) {
    unsigned int step = 0;
    Memory m(0, step);
    EXPECT_TRUE(m.addPoint(Point(1), 0.5, VisitTypeInit));
    EXPECT_TRUE(m.addPoint(Point(1), 0.5, VisitTypeInit));  // not held, so not a duplicate
    EXPECT_EQ(m.getNumPoints(), 0u);
    EXPECT_TRUE(m.getPoints().empty());
}

TEST(MemoryTest, QueuedWritesWaitAndApplyInOrder) {
    unsigned int step = 1;
    Memory m(10, step);
    m.addPoint(Point(1), 0.5, VisitTypeInit);
    m.queueAddPoint(Point(2), 0.8, VisitTypeCheck);
    m.queueAddPoint(Point(1), 0.9, VisitTypeStep);
    m.queueAddPoint(Point(2), 0.3, VisitTypeStep);  // overrides the earlier 0.8
    m.queueAddPoint(Point(3), 0.3, VisitTypeStep);
    EXPECT_TRUE(m.hasQueuedPoints());
    EXPECT_EQ(pointsOf(m), (std::vector<long>{1}));
    step = 2;
    m.addQueuedPoints();
    EXPECT_FALSE(m.hasQueuedPoints());
    EXPECT_EQ(pointsOf(m), (std::vector<long>{1, 2, 3}));
    EXPECT_EQ(fitnessesOf(m), (std::vector<double>{0.9, 0.3, 0.3}));
    const PointInfo* two = find(m, 2);
    ASSERT_EQ(two->visits.size(), 2u);
    EXPECT_EQ(two->visits.front().type, VisitTypeStep);
    EXPECT_EQ(two->visits.back().type, VisitTypeCheck);
    EXPECT_TRUE(m.addPoint(SimplePointInfo(Point(4), 0.95, VisitTypeStep)));
    EXPECT_EQ(m.getBestPoint().point, Point(4));
}

TEST(MemoryTest, PopulateDrawsOncePerPlaceAndRefusesDuplicates) {
    std::vector<std::string> names;
    SimuParameters params(names);
    params.n = 3;  // 8 points: 20 draws must repeat some
    params.k = 1;
    params.landscapeseed = 17;
    unsigned int step = 0;
    Landscape landscape(params, step);
    landscape.initRun(0);

    for (unsigned int capacity : {50u, 5u}) {
        Memory m(capacity, step);
        landscape.finishRun();
        landscape.initRun(1);
        unsigned short st[3] = {4, 4, 4}, ref[3] = {4, 4, 4};
        m.populate(20, 8, st, landscape);
        const unsigned int draws = std::min(20u, capacity);

        std::vector<long> distinct;
        for (unsigned int i = 0; i < draws; i++) {
            const long v = (long)(::erand48(ref) * 8);
            if (std::find(distinct.begin(), distinct.end(), v) == distinct.end()) distinct.push_back(v);
        }
        EXPECT_EQ(st[0], ref[0]);
        EXPECT_EQ(st[1], ref[1]);
        EXPECT_EQ(st[2], ref[2]);
        EXPECT_EQ(landscape.curTimeStamp, 1 + (int)draws);  // every draw is evaluated
        std::vector<long> held = pointsOf(m);
        std::sort(held.begin(), held.end());
        std::sort(distinct.begin(), distinct.end());
        EXPECT_EQ(held, distinct);
        EXPECT_EQ(m.getNumPoints(), (unsigned int)distinct.size());
        for (const PointInfo* info : m.getPoints()) {
            EXPECT_EQ(info->fitness, landscape.getBaseFitness(info->point));
            ASSERT_EQ(info->visits.size(), 1u);
            EXPECT_EQ(info->visits.front().type, VisitTypeInit);
        }
        const std::vector<double> f = fitnessesOf(m);
        EXPECT_TRUE(std::is_sorted(f.rbegin(), f.rend()));
    }
}

TEST(MemoryTest, PrintListsEntriesInOrder) {
    unsigned int step = 0;
    Memory m(10, step);
    m.addPoint(Point(5), 0.25, VisitTypeStep);
    m.addPoint(Point(12), 0.5, VisitTypeStep);
    testing::internal::CaptureStdout();
    m.print(0);
    m.print(1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "        12 fitn: 0.500000\n         5 fitn: 0.250000\n        12 fitn: 0.500000\n");
}

TEST(MemoryTest, RandomWritesMatchAPlainListMemory) {
    for (unsigned int capacity : {1u, 4u, 12u, 1000u}) {
        unsigned int step = 0;
        Memory m(capacity, step);
        ListMemory ref{capacity, {}};
        unsigned short st[3] = {(unsigned short)capacity, 1, 2};
        for (int i = 0; i < 3000; i++) {
            step = (unsigned int)i / 10;
            const long point = ::nrand48(st) % 40;
            const double fitness = (double)(::nrand48(st) % 8) / 8;  // coarse: many ties
            const VisitType type = (VisitType)(::nrand48(st) % 4);
            ASSERT_EQ(m.addPoint(Point(point), fitness, type), ref.add(point, fitness, type));
            ASSERT_EQ(m.getNumPoints(), (unsigned int)ref.entries.size());
            auto it = ref.entries.begin();
            for (const PointInfo* info : m.getPoints()) {
                ASSERT_EQ(info->point.values, it->point) << "capacity " << capacity << " write " << i;
                ASSERT_EQ(info->fitness, it->fitness);
                ASSERT_EQ((int)info->visits.size(), it->visits);
                ++it;
            }
        }
    }
}

TEST(MemoryTest, UnboundedMemoryTakesManyWritesInOrder) {
    unsigned int step = 0;
    Memory m(2147483647u, step);
    const long range = 1L << 20;
    // Per point: fitness and order of its latest write, number of writes.
    std::vector<double> lastFitness(range, -1.0);
    std::vector<int> lastOrder(range, -1), writes(range, 0);
    unsigned short st[3] = {1, 2, 3};
    const int total = 250000;  // about 222,000 distinct points, the rest rewrites
    for (int i = 0; i < total; i++) {
        const long point = ::nrand48(st) % range;
        const double fitness = (double)(::nrand48(st) % 1000) / 1000;
        ASSERT_TRUE(m.addPoint(Point(point), fitness, VisitTypeStep));
        lastFitness[point] = fitness;
        lastOrder[point] = i;
        writes[point]++;
    }
    const unsigned int distinct = (unsigned int)std::count_if(writes.begin(), writes.end(), [](int w) { return w > 0; });
    EXPECT_GT(distinct, 200000u);
    ASSERT_EQ(m.getNumPoints(), distinct);
    ASSERT_EQ(m.getPoints().size(), (size_t)distinct);
    const PointInfo* prev = nullptr;
    for (const PointInfo* info : m.getPoints()) {
        const long v = info->point.values;
        ASSERT_EQ(info->fitness, lastFitness[v]);
        ASSERT_EQ((int)info->visits.size(), writes[v]);
        if (prev) {
            ASSERT_GE(prev->fitness, info->fitness);
            if (prev->fitness == info->fitness) {
                ASSERT_LT(lastOrder[prev->point.values], lastOrder[v]);
            }
        }
        prev = info;
    }
}
