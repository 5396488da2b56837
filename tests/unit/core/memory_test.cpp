// Point memory: random writes against a plain list (order, ties, duplicates, capacity) and
// random filling.
#include "memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "landscape.h"

namespace {

std::vector<long> pointsOf(const Memory& m) {
    std::vector<long> v;
    for (const PointInfo* info : m.getPoints()) v.push_back(info->point.values);
    return v;
}

// The memory as a plain list with linear scans, written from the rules of a write.
struct ListMemory {
    struct Entry {
        long point;
        double fitness;
        std::vector<std::pair<unsigned int, int>> visits;  // (step, type), newest first
    };
    unsigned int maxMemSize;
    std::list<Entry> entries;

    bool add(long point, double fitness, VisitType type, unsigned int step) {
        Entry moved{point, fitness, {}};
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (it->point != point) continue;
            if (type == VisitTypeInit) return false;
            moved = *it;
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
        moved.visits.insert(moved.visits.begin(), {step, (int)type});
        entries.insert(pos, moved);
        return true;
    }
};

}  // namespace

TEST(MemoryTest, PopulateDrawsOncePerPlaceAndRefusesDuplicates) {
    std::vector<std::string> names;
    SimuParameters params(names);
    params.n = 3;  // 8 points: 20 draws must repeat some
    params.k = 1;
    params.landscapeseed = 17;
    const StepClock clock;
    Landscape landscape(params, clock);
    for (unsigned int capacity : {50u, 5u}) {
        landscape.initRun(0);
        Memory m(capacity, clock);
        unsigned short st[3] = {4, 4, 4}, ref[3] = {4, 4, 4};
        m.populate(20, 8, st, landscape);
        const unsigned int draws = std::min(20u, capacity);
        std::vector<long> distinct;
        for (unsigned int i = 0; i < draws; i++) {
            const long v = (long)(::erand48(ref) * 8);
            if (std::find(distinct.begin(), distinct.end(), v) == distinct.end()) distinct.push_back(v);
        }
        EXPECT_TRUE(st[0] == ref[0] && st[1] == ref[1] && st[2] == ref[2]) << "capacity " << capacity;
        EXPECT_EQ(landscape.curTimeStamp, 1 + (int)draws);  // every draw is evaluated
        std::vector<long> held = pointsOf(m);
        std::sort(held.begin(), held.end());
        std::sort(distinct.begin(), distinct.end());
        EXPECT_EQ(held, distinct);
        for (const PointInfo* info : m.getPoints()) EXPECT_EQ(info->fitness, landscape.getBaseFitness(info->point));
        landscape.finishRun();
    }
}

TEST(MemoryTest, RandomWritesMatchAPlainListMemory) {
    // Few points and coarse fitness values give many rewrites and ties; the last case is
    // an unbounded memory holding thousands of points.
    const struct {
        unsigned int capacity;
        long points;
        int writes;
    } cases[] = {{1, 40, 2000}, {4, 40, 2000}, {12, 40, 2000}, {2147483647u, 5000, 8000}};
    for (const auto& c : cases) {
        StepClock clock;
        Memory m(c.capacity, clock);
        ListMemory ref{c.capacity, {}};
        unsigned short st[3] = {(unsigned short)c.capacity, 1, 2};
        for (int i = 0; i < c.writes; i++) {
            const unsigned int step = (unsigned int)i / 10;
            clock.set(step);
            const long point = ::nrand48(st) % c.points;
            const double fitness = (double)(::nrand48(st) % 8) / 8;
            const VisitType type = (VisitType)(::nrand48(st) % 4);
            ASSERT_EQ(m.addPoint(Point(point), fitness, type), ref.add(point, fitness, type, step));
            ASSERT_EQ(m.getNumPoints(), (unsigned int)ref.entries.size());
            if (!ref.entries.empty()) {
                ASSERT_EQ(m.getBestPoint().point.values, ref.entries.front().point);
            }
            if (i % 50 != 49 && c.points > 40) continue;  // the large case is compared now and then
            auto it = ref.entries.begin();
            for (const PointInfo* info : m.getPoints()) {
                ASSERT_EQ(info->point.values, it->point) << "capacity " << c.capacity << " write " << i;
                ASSERT_EQ(info->fitness, it->fitness);
                ASSERT_EQ(info->visits.size(), it->visits.size());
                std::vector<std::pair<unsigned int, int>> visits;
                for (const Visit& v : m.visitsOf(*info)) visits.emplace_back(v.step, (int)v.type);
                ASSERT_EQ(visits, it->visits);
                ++it;
            }
        }
    }
}
