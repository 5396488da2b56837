// The views' geometry without a display, checked by brute force and by the properties the
// views rely on: the terrain's Gray-coded grid and maxima, the flat polar walls, the sphere's
// cells and click rule, dot placement, and which dot groups each switch shows.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "agent.h"
#include "simulation.h"
#include "small_setup.h"
#include "visualgeometry.h"

using namespace visgeom;

namespace {

// The position in the Gray sequence of `bits` bits at which `code` appears, by search.
unsigned long grayPosition(unsigned long code, int bits) {
    for (unsigned long v = 0; v < (1UL << bits); v++)
        if ((v ^ (v >> 1)) == code) return v;
    return ~0UL;
}

int bitsApart(long a, long b) { return __builtin_popcountl((unsigned long)(a ^ b)); }

// ---- Terrain grid ----------------------------------------------------------------------

TEST(TerrainGridTest, ColumnsAndRowsAreGrayPositionsOfTheLowAndHighBitsAndNeighboursOneBitApart) {
    for (int n = 1; n <= 11; n++) {
        TerrainGridMap map(n);
        const int low = n / 2;
        ASSERT_TRUE(map.gridResX == 1u << low && map.gridResY == 1u << (n - low));
        for (unsigned long p = 0; p < map.numGridPoints; p++) {
            const unsigned long col = grayPosition(p & ((1UL << low) - 1), low), row = grayPosition(p >> low, n - low);
            ASSERT_EQ(map.gridIndex(p), row * map.gridResX + col) << n << " " << p;
            ASSERT_EQ(map.pointAt(map.gridIndex(p)), p);
            for (int b = 0; b < n; b++)
                ASSERT_EQ(map.gridIndex(p ^ (1UL << b)), map.gridIndex(p) ^ map.neighborMask(b)) << n << " " << p;
            const unsigned long g = map.gridIndex(p);
            if (g % map.gridResX + 1 < map.gridResX) {
                ASSERT_EQ(bitsApart(map.pointAt(g), map.pointAt(g + 1)), 1);
            }
        }
    }
}

TEST(TerrainGridTest, CoordinatesComeFromTheGridAndTheFitnessInPointOrder) {
    TerrainGridMap map(4);
    std::vector<float> pts(3 * 16, -1.0f), fit(16, -1.0f);
    std::vector<unsigned long> nd(16, 99);
    std::vector<long> order;
    // Ties: fitness p mod 5 / 5 is highest (0.8) at 4, 9, 14 and lowest (0) at 0, 5, 10, 15.
    auto f = [&](const Point& p) {
        order.push_back(p.values);
        return (p.values % 5) / 5.0;
    };
    FitnessSummary s = computeTerrainCoords(map, f, 0.25, 1.0 / 7, true, pts.data(), fit.data(), nd.data());
    for (long p = 0; p < 16; p++) ASSERT_EQ(order[p], p);
    EXPECT_TRUE(s.maxPoint == 4u && s.minPoint == 0u && s.max == 0.8 && s.min == 0.0);
    EXPECT_NEAR(s.avg, (0 + 0.2 + 0.4 + 0.6 + 0.8) * 3 / 16, 1e-12);
    for (unsigned long p = 0; p < 16; p++) {
        const unsigned long g = map.gridIndex(p);
        EXPECT_FLOAT_EQ(pts[3 * g], (float)(grayPosition(p & 3, 2) * 0.25));
        EXPECT_FLOAT_EQ(pts[3 * g + 1], (float)(grayPosition(p >> 2, 2) * 0.25));
        EXPECT_FLOAT_EQ(pts[3 * g + 2], (float)((p % 5) / 5.0 / 7));
        EXPECT_TRUE(fit[g] == (float)((p % 5) / 5.0) && nd[g] == p);
    }
}

TEST(TerrainMaximaTest, MaximaMatchABruteForceSearchAndPlateauPointsCount) {
    const int n = 7;
    TerrainGridMap map(n);
    std::vector<float> byPoint(1 << n), byGrid(1 << n);
    unsigned short s[3] = {1, 2, 3};
    for (int round = 0; round < 2; round++) {
        // Random fitness, then a landscape of four levels full of plateaus.
        for (long p = 0; p < (1L << n); p++) {
            byPoint[p] = round == 0 ? (float)erand48(s) : (float)(nrand48(s) % 4);
            byGrid[map.gridIndex(p)] = byPoint[p];
        }
        std::vector<Point> expected;
        long best = 0;
        for (long p = 0; p < (1L << n); p++) {
            bool isMax = true;
            for (int b = 0; b < n; b++)
                if (byPoint[p ^ (1L << b)] > byPoint[p]) isMax = false;
            if (isMax) expected.push_back(Point(p));
            if (byPoint[p] > byPoint[best]) best = p;
        }
        Point global;
        std::vector<Point> local = {Point(3)};
        findMaxima(map, byGrid.data(), global, local);
        EXPECT_EQ(local, expected);
        EXPECT_EQ(global.values, best);  // the lowest of tied points
    }
}

TEST(TerrainArcsTest, ArcsGoToTheNeighboursThatAreNotNextToTheVertex) {
    const int n = 7;
    TerrainGridMap map(n);
    for (unsigned long p = 0; p < map.numGridPoints; p++) {
        std::set<unsigned long> far;
        for (const ArcTarget& a : nonAdjacentNeighbors(map, p)) far.insert(a.point);
        for (int b = 0; b < n; b++) {
            const unsigned long q = p ^ (1UL << b);
            const long gp = (long)map.gridIndex(p), gq = (long)map.gridIndex(q), w = map.gridResX;
            const long dist = std::labs(gp % w - gq % w) + std::labs(gp / w - gq / w);
            EXPECT_EQ(far.count(q) == 1, dist >= 2) << p << " -> " << q;
        }
    }
}

TEST(TerrainDotTest, ADotKeepsItsOffsetAcrossUpdatesAndStaysJustAboveItsVertex) {
    const float vertex[3] = {0.25f, 0.5f, 0.1f};
    double a[3], b[3], c[3];
    terrainDotPosition(17, DotTypePublic, vertex, a);
    terrainDotPosition(99, DotTypePrivate, vertex, c);  // something else in between
    terrainDotPosition(17, DotTypePublic, vertex, b);
    EXPECT_TRUE(a[0] == b[0] && a[1] == b[1] && a[2] == b[2]);
    EXPECT_TRUE(std::fabs(a[0] - vertex[0]) <= 0.0015 && std::fabs(a[1] - vertex[1]) <= 0.0015);
    EXPECT_TRUE(a[2] - vertex[2] >= 0.003 - 1e-7 && a[2] - vertex[2] <= 0.004 + 1e-7);
}

// ---- Flat polar walls ----------------------------------------------------------------

TEST(PolarLayoutTest, WallsFollowTheBitFlipPathsFromPointZeroToTheAllOnesPoint) {
    EXPECT_EQ(polarPathPoints(3, 0), (std::vector<long>{0, 1, 3, 7}));
    EXPECT_EQ(polarPathPoints(3, 2), (std::vector<long>{0, 4, 5, 7}));
    const int n = 4;
    PolarLayout rect(n, PolarShapeRectangular, true, 0.2), circ(n, PolarShapeCircular, false, 0.0),
        twist(n, PolarShapeTwisted, false, 0.0);
    EXPECT_TRUE(rect.gridResX == 16u && rect.gridResY == 7u && circ.gridResY == 5u);
    auto f = [](const Point& p) { return p.values / 16.0; };
    std::vector<float> pr(3 * rect.numGridPoints), sr(rect.numGridPoints), pc(3 * circ.numGridPoints),
        sc(circ.numGridPoints), pt(3 * twist.numGridPoints), st(twist.numGridPoints);
    rect.compute(f, pr.data(), sr.data());
    circ.compute(f, pc.data(), sc.data());
    twist.compute(f, pt.data(), st.data());
    const double c = 0.5 * (n - 1) / n;
    for (int i = 0; i < n; i++) {
        // The top of each wall shows its path's fitness; end caps close it to the floor.
        for (int j = 0; j <= n; j++) EXPECT_FLOAT_EQ(sr[(1 + j) * 16 + 4 * i + 1], polarPathPoints(n, i)[j] / 16.0f);
        EXPECT_TRUE(pr[3 * (4 * i + 1) + 2] == 0.0f && pr[3 * (6 * 16 + 4 * i + 1) + 2] == 0.0f);
        for (int j = 0; j <= n; j++) {
            // Circular walls have no thickness and meet at both ends; twisted ones are sheared.
            const float* v = &pc[3 * (j * circ.gridResX + 4 * i)];
            for (int k = 1; k < 4; k++) EXPECT_EQ(v[3 * k], v[0]);
            // At both ends at the centre, halfway spread furthest.
            EXPECT_NEAR(v[0], j == 0 || j == n ? c : j == n / 2 ? i * 0.25 : v[0], 1e-6);
            EXPECT_NEAR(pt[3 * (j * twist.gridResX + 4 * i)], v[0] + 0.1 * j, 1e-6);
        }
    }
}

// ---- Sphere ----------------------------------------------------------------------------

TEST(SphereLayoutTest, CellsCloseTheSurfaceAndJoinHammingNeighbours) {
    for (int n = 3; n <= 12; n++) {
        SphereLayout s(n);
        EXPECT_EQ((int)s.cells().size(), n * (n - 1)) << n;
        // A closed surface: every edge between exactly two cells, and V - E + F = 2.
        std::map<std::pair<int, int>, int> edges;
        for (const Quad& q : s.cells())
            for (int k = 0; k < 4; k++) edges[{std::min(q[k], q[(k + 1) % 4]), std::max(q[k], q[(k + 1) % 4])}]++;
        for (const auto& e : edges) EXPECT_EQ(e.second, 2) << n;
        EXPECT_EQ(s.numGridPoints - (int)edges.size() + (int)s.cells().size(), 2) << n;
        // Ring r holds points r + 1 bits from the pole, the south pole its complement; the
        // radius grows with fitness and the polar angle with the ring.
        std::vector<long> pts;
        std::vector<double> pos;
        std::vector<float> sc(s.numGridPoints);
        const long np = 5 % (1L << n), all = (1L << n) - 1;
        s.computeVertices(
            np, [](const Point& p) { return p.values / 4096.0; }, 0.2, 0.03, pts, pos, sc.data());
        EXPECT_TRUE(pts[s.northPoleIndex()] == np && pts[s.southPoleIndex()] == (all ^ np));
        EXPECT_EQ((int)std::set<long>(pts.begin(), pts.end()).size(), s.numGridPoints);
        for (const auto& e : edges) EXPECT_EQ(bitsApart(pts[e.first.first], pts[e.first.second]), 1);
        for (int v = 0; v < n * (n - 1); v++) {
            const double* p = &pos[3 * v];
            const double radius = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            EXPECT_EQ(bitsApart(pts[v], np), v / n + 1);
            EXPECT_NEAR(radius, 0.2 + 0.03 * pts[v] / 4096.0, 1e-12);
            EXPECT_NEAR(std::acos(p[2] / radius), (v / n + 1) * M_PI / n, 1e-9) << v;
        }
    }
    EXPECT_EQ(SphereLayout(2).cells().size(), 1u);  // a single diamond through all four points
    EXPECT_TRUE(SphereLayout(1).cells().empty());
}

TEST(SphereLayoutTest, AClickSelectsTheNearestVertexAndThePolesNearTheTopAndBottom) {
    for (int n = 3; n <= 12; n++) {
        SphereLayout s(n);
        for (int v = 0; v < s.numGridPoints; v++) {
            const double* d = s.direction(v);
            EXPECT_EQ(s.vertexAtPosition(0.3 * d[0], 0.3 * d[1], 0.3 * d[2]), v) << n << " " << v;
        }
    }
    SphereLayout s(10);
    auto at = [&](double polar, double azimuth) {
        return s.vertexAtPosition(std::sin(polar) * std::cos(azimuth), std::sin(polar) * std::sin(azimuth),
                                  std::cos(polar));
    };
    // Nearer the pole than ring 0 (at pi/10) names the pole; meridian i lies at azimuth
    // -2 pi i / 10, ring 1 turned by half a step; just short of a full turn is meridian 0.
    EXPECT_EQ(at(0.1, 0.5), s.northPoleIndex());
    EXPECT_EQ(at(M_PI - 0.1, 0.5), s.southPoleIndex());
    EXPECT_EQ(at(M_PI / 10, -2 * M_PI * 3 / 10 + 0.05), 3);
    EXPECT_EQ(at(2 * M_PI / 10, -(2 * M_PI * 9 + M_PI) / 10), 10 + 9);
    EXPECT_EQ(at(M_PI / 10, 0.2), 0);
}

TEST(SphereDotTest, APointSitsOnItsVertexOrInsideTheNearestCellWithoutCapsNextToTheSelection) {
    const int n = 6;
    SphereLayout s(n);
    std::vector<long> pts;
    std::vector<double> pos;
    std::vector<float> sc(s.numGridPoints);
    s.computeVertices(
        0, [](const Point& p) { return (p.values % 7) / 7.0; }, 0.2, 0.03, pts, pos, sc.data());
    const std::set<long> vertexPoints(pts.begin(), pts.end());
    double out[3];
    s.dotPosition(Point(pts[7]), DotTypePublic, pts, pos, pts[s.northPoleIndex()], out);
    EXPECT_TRUE(out[0] == pos[21] && out[1] == pos[22] && out[2] == pos[23]);
    // Selected vertex far from every test point, so that no cap is refused.
    const long selected = pts[s.southPoleIndex()];
    for (long p = 0; p < 64; p++) {
        if (vertexPoints.count(p)) continue;
        Quad q;
        ASSERT_TRUE(s.nearestCell(Point(p), pts, selected, q)) << p;
        double best = 1e10, got = 0;
        for (const Quad& c : s.cells()) {
            double d = 0;
            for (int v : c) d += bitsApart(p, pts[v]) / (double)n;
            best = std::min(best, d);
        }
        for (int v : q) got += bitsApart(p, pts[v]) / (double)n;
        EXPECT_NEAR(got, best, 1e-9) << "point " << p;
        // The spot stays the same on every update.
        double again[3];
        s.dotPosition(Point(p), DotTypeHistory, pts, pos, selected, out);
        s.dotPosition(Point(p), DotTypeHistory, pts, pos, selected, again);
        EXPECT_TRUE(out[0] == again[0] && out[1] == again[1] && out[2] == again[2]);
    }
    // Bits 0 and 2: not a vertex, nearest to the north cap around the pole (point 0), which
    // is refused while point 0 is the selection.
    Quad withCap, noCap;
    ASSERT_TRUE(s.nearestCell(Point(5), pts, selected, withCap));
    EXPECT_EQ(withCap[0], s.northPoleIndex());
    ASSERT_TRUE(s.nearestCell(Point(5), pts, 0, noCap));
    for (int v : noCap) EXPECT_NE(v, s.northPoleIndex());
}

// ---- Dots ------------------------------------------------------------------------------

struct RunningSim {
    std::vector<std::string> names;
    Simulation sim;
    explicit RunningSim(int steps, int extraStrategies = 0)
        : sim(
              names,
              [&](SimuParameters& p) {
                  smallSimulationSetup(p, 8, 4);
                  p.nExtraStrategies = extraStrategies;
                  for (int i = 0; i < extraStrategies; i++) p.agentStrategies[p.nAgents + i] = p.generalStrategy;
              },
              SimulationMode::Visual) {
        sim.initRun();
        for (int i = 0; i < steps; i++) {
            sim.executeOneStep();
            sim.updateFitnessValues();
        }
    }
    ~RunningSim() { sim.finishRun(); }
};

// The points of a memory whose newest visit lies within the last `recent` steps.
std::multiset<long> recentPoints(const Memory& m, unsigned int step, int recent) {
    std::multiset<long> out;
    for (const PointInfo* pi : m.getPoints())
        if (!pi->visits.empty() && (long)pi->visits.front().step + recent >= (long)step) out.insert(pi->point.values);
    return out;
}

std::multiset<long> asSet(const std::vector<Point>& v) {
    std::multiset<long> out;
    for (const Point& p : v) out.insert(p.values);
    return out;
}

TEST(DotPlanTest, GroupsAndLegendOfTheSwitchesInTheirFixedOrder) {
    RunningSim r(6, 2);
    const Simulation& sim = r.sim;
    const unsigned int step = sim.getCurrentStep();
    const Agent& chosen = *sim.getAgents()[sim.getChosenAgent()];
    DotSwitches all;
    all.memoryDotsOn[MemTypePublic] = all.memoryDotsOn[MemTypePrivate] = true;
    all.agentHistoryDotsOn = all.agentConsideredDotsOn = all.agentConsideredDotsOthersOn = true;
    all.globalMaxOn = all.localMaxOn = true;
    // "No point" (-1, maxima not computed yet) and points outside the landscape get no dot.
    const std::vector<Point> localMax = {Point(1), Point(-1), Point(256), Point(200)};
    DotPlan plan = planDots(sim, all, true, Point(17), localMax);
    const std::vector<DotType> legend = {DotTypePublic,      DotTypePrivate,     DotTypeHistory,   DotTypeConsidered1,
                                         DotTypeConsidered2, DotTypeConsidered3, DotTypeGlobalMax, DotTypeLocalMax};
    EXPECT_EQ(plan.legend, legend);
    ASSERT_EQ(plan.groups.size(), legend.size());
    EXPECT_EQ(asSet(plan.groups[0].points), recentPoints(*sim.getPublicMemory(), step, 200));
    EXPECT_EQ(asSet(plan.groups[1].points), recentPoints(chosen.getMemory(MemTypePrivate), step, 200));
    EXPECT_EQ(plan.groups[2].points, chosen.getPointHistory());
    EXPECT_EQ(plan.groups[3].points, chosen.getSearchPoints());
    EXPECT_EQ(plan.groups[6].points, std::vector<Point>{Point(17)});
    EXPECT_EQ(plan.groups[7].points, (std::vector<Point>{Point(1), Point(200)}));
    // Maxima only where the view computes them; the others' considered points only with "Others".
    all.agentConsideredDotsOthersOn = false;
    plan = planDots(sim, all, false, Point(17), localMax);
    EXPECT_EQ(plan.legend, std::vector<DotType>(legend.begin(), legend.begin() + 4));
    EXPECT_TRUE(!DotSwitches().anyShown() && all.anyShown());
}

TEST(DotPlanTest, RecentStepsLimitThePrivateDotsOfOneOrAllAgentsAndTheHistory) {
    RunningSim r(12);
    r.sim.setChosenAgent(2);
    const unsigned int step = r.sim.getCurrentStep();
    DotSwitches sw;
    sw.memoryDotsOn[MemTypePrivate] = sw.agentHistoryDotsOn = true;
    for (int recent : {200, 1}) {
        for (bool one : {true, false}) {
            sw.numRecentSteps = recent;
            sw.only1Agent = one;
            std::multiset<long> expected;
            for (const auto& a : r.sim.getAgents())
                if (!one || a->getId() == 2)
                    for (long p : recentPoints(a->getMemory(MemTypePrivate), step, recent)) expected.insert(p);
            const DotPlan plan = planDots(r.sim, sw, false, Point(), {});
            ASSERT_EQ(plan.legend.size(), 2u);  // named even when no dot is left
            const bool privateDots = plan.groups.size() == 2;
            EXPECT_EQ(privateDots ? asSet(plan.groups[0].points) : std::multiset<long>(), expected);
            const std::vector<Point>& h = r.sim.getAgents()[2]->getPointHistory();
            EXPECT_EQ(plan.groups.back().points,
                      std::vector<Point>(h.end() - std::min<size_t>(h.size(), recent), h.end()));
        }
    }
}

}  // namespace
