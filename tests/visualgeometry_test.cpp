// The views' geometry without a display: the terrain's Gray-coded grid and maxima, the flat
// polar walls, the sphere's vertices, cells and click rule, dot placement, and which dot
// groups and legend entries each switch combination shows.
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

// Gray code of a number, the textbook way (the grid decodes in the other direction).
unsigned long gray(unsigned long v) { return v ^ (v >> 1); }

// The position in the Gray sequence of `bits` bits at which `code` appears, by search.
unsigned long grayPosition(unsigned long code, int bits) {
    for (unsigned long v = 0; v < (1UL << bits); v++)
        if (gray(v) == code) return v;
    return ~0UL;
}

int bitsApart(long a, long b) { return __builtin_popcountl((unsigned long)(a ^ b)); }

// ---- Terrain grid ----------------------------------------------------------------------

TEST(TerrainGridTest, GrayDecodingRunsAParityFromTheTopBit) {
    EXPECT_EQ(grayDecode(0b000, 3), 0u);
    EXPECT_EQ(grayDecode(0b001, 3), 1u);
    EXPECT_EQ(grayDecode(0b011, 3), 2u);
    EXPECT_EQ(grayDecode(0b010, 3), 3u);
    EXPECT_EQ(grayDecode(0b110, 3), 4u);
    EXPECT_EQ(grayDecode(0b100, 3), 7u);
    for (unsigned long v = 0; v < 1024; v++) ASSERT_EQ(grayDecode(gray(v), 10), v);
}

TEST(TerrainGridTest, FourBitsMakeAFourByFourGridWithGrayCodedRowsAndColumns) {
    TerrainGridMap map(4);
    EXPECT_EQ(map.gridResX, 4u);
    EXPECT_EQ(map.gridResY, 4u);
    EXPECT_EQ(map.numGridPoints, 16u);
    // Columns 0..3 show low bits 00, 01, 11, 10; rows likewise for the high bits.
    const unsigned long pointAtIndex[16] = {0, 1, 3, 2, 4, 5, 7, 6, 12, 13, 15, 14, 8, 9, 11, 10};
    for (unsigned long g = 0; g < 16; g++) {
        EXPECT_EQ(map.pointAt(g), pointAtIndex[g]) << "grid index " << g;
        EXPECT_EQ(map.gridIndex(pointAtIndex[g]), g) << "point " << pointAtIndex[g];
    }
    unsigned row, col;
    map.gridRowColumn(3, row, col);  // grid index 2
    EXPECT_EQ(row, 0u);
    EXPECT_EQ(col, 2u);
    map.gridRowColumn(9, row, col);  // high bits 10 -> row 3, low bits 01 -> column 1
    EXPECT_EQ(row, 3u);
    EXPECT_EQ(col, 1u);
}

TEST(TerrainGridTest, FiveBitsMakeFourColumnsOfEightRowsAndEveryPointHasItsOwnVertex) {
    TerrainGridMap map(5);
    EXPECT_EQ(map.numDimsX, 2);
    EXPECT_EQ(map.numDimsY, 3);
    EXPECT_EQ(map.gridResX, 4u);
    EXPECT_EQ(map.gridResY, 8u);
    std::set<unsigned long> used;
    for (unsigned long p = 0; p < 32; p++) {
        const unsigned long col = grayPosition(p & 3, 2), row = grayPosition(p >> 2, 3);
        EXPECT_EQ(map.gridIndex(p), row * 4 + col) << "point " << p;
        used.insert(map.gridIndex(p));
    }
    EXPECT_EQ(used.size(), 32u);
}

TEST(TerrainGridTest, GridNeighboursAreOneBitApartAndFlippingABitFlipsTheIndexByItsMask) {
    for (int n = 1; n <= 12; n++) {
        TerrainGridMap map(n);
        ASSERT_EQ(map.numGridPoints, 1UL << n);
        for (unsigned long g = 0; g < map.numGridPoints; g++) {
            const unsigned long col = g % map.gridResX, row = g / map.gridResX;
            if (col + 1 < map.gridResX) {
                ASSERT_EQ(bitsApart(map.pointAt(g), map.pointAt(g + 1)), 1);
            }
            if (row + 1 < map.gridResY) {
                ASSERT_EQ(bitsApart(map.pointAt(g), map.pointAt(g + map.gridResX)), 1);
            }
        }
        for (unsigned long p = 0; p < map.numGridPoints; p++)
            for (int b = 0; b < n; b++)
                ASSERT_EQ(map.gridIndex(p ^ (1UL << b)), map.gridIndex(p) ^ map.neighborMask(b)) << n << " " << p;
    }
}

TEST(TerrainGridTest, CoordinatesAreWrittenInPlaceAndPointsLookedUpInIncreasingOrder) {
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
    EXPECT_EQ(s.maxPoint, 4u);
    EXPECT_DOUBLE_EQ(s.max, 0.8);
    EXPECT_EQ(s.minPoint, 0u);
    EXPECT_DOUBLE_EQ(s.min, 0.0);
    EXPECT_NEAR(s.avg, (0 + 0.2 + 0.4 + 0.6 + 0.8) * 3 / 16 + 0.0 / 16, 1e-12);
    for (unsigned long p = 0; p < 16; p++) {
        const unsigned long g = map.gridIndex(p);
        EXPECT_FLOAT_EQ(pts[3 * g], (float)(grayPosition(p & 3, 2) * 0.25));
        EXPECT_FLOAT_EQ(pts[3 * g + 1], (float)(grayPosition(p >> 2, 2) * 0.25));
        EXPECT_FLOAT_EQ(pts[3 * g + 2], (float)((p % 5) / 5.0 / 7));
        EXPECT_FLOAT_EQ(fit[g], (float)((p % 5) / 5.0));
        EXPECT_EQ(nd[g], p);
    }
    // A later update rewrites heights and scalars only.
    order.clear();
    auto g2 = [&](const Point& p) {
        order.push_back(p.values);
        return 1.0 - (p.values % 5) / 5.0;
    };
    computeTerrainCoords(map, g2, 0.25, 1.0 / 7, false, pts.data(), fit.data(), nd.data());
    EXPECT_EQ(order.size(), 16u);
    const unsigned long g7 = map.gridIndex(7);
    EXPECT_FLOAT_EQ(pts[3 * g7], (float)(grayPosition(3, 2) * 0.25));
    EXPECT_FLOAT_EQ(pts[3 * g7 + 2], (float)((1.0 - 2 / 5.0) / 7));
    EXPECT_FLOAT_EQ(fit[g7], 0.6f);
}

// Local maxima by brute force over point numbers, for comparison.
std::vector<Point> bruteLocalMaxima(const std::vector<float>& byPoint, int n) {
    std::vector<Point> out;
    for (long p = 0; p < (1L << n); p++) {
        bool isMax = true;
        for (int b = 0; b < n; b++)
            if (byPoint[p ^ (1L << b)] > byPoint[p]) isMax = false;
        if (isMax) out.push_back(Point(p));
    }
    return out;
}

TEST(TerrainMaximaTest, LocalMaximaMatchABruteForceSearch) {
    const int n = 7;
    TerrainGridMap map(n);
    std::vector<float> byPoint(1 << n), byGrid(1 << n);
    unsigned short s[3] = {1, 2, 3};
    for (long p = 0; p < (1L << n); p++) {
        byPoint[p] = (float)erand48(s);
        byGrid[map.gridIndex(p)] = byPoint[p];
    }
    Point global;
    std::vector<Point> local;
    findMaxima(map, byGrid.data(), global, local);
    EXPECT_EQ(local, bruteLocalMaxima(byPoint, n));
    long best = 0;
    for (long p = 1; p < (1L << n); p++)
        if (byPoint[p] > byPoint[best]) best = p;
    EXPECT_EQ(global.values, best);
    // Rebuilt, not appended to, on every call.
    findMaxima(map, byGrid.data(), global, local);
    EXPECT_EQ(local.size(), bruteLocalMaxima(byPoint, n).size());
}

TEST(TerrainMaximaTest, TiedMaximaGiveTheLowerPointAsGlobalAndBothAsLocal) {
    TerrainGridMap map(4);
    std::vector<float> byGrid(16);
    // Fitness falls with the distance to the nearer of 3 and 12 (four bits apart), so every
    // other point has a fitter neighbour.
    for (long p = 0; p < 16; p++) byGrid[map.gridIndex(p)] = 0.9f - 0.1f * std::min(bitsApart(p, 3), bitsApart(p, 12));
    Point global;
    std::vector<Point> local;
    findMaxima(map, byGrid.data(), global, local);
    EXPECT_EQ(global.values, 3);
    ASSERT_EQ(local.size(), 2u);
    EXPECT_EQ(local[0].values, 3);
    EXPECT_EQ(local[1].values, 12);
    // A flat landscape: every point is a (plateau) local maximum, point 0 the global one.
    std::vector<float> flat(16, 0.5f);
    findMaxima(map, flat.data(), global, local);
    EXPECT_EQ(global.values, 0);
    EXPECT_EQ(local.size(), 16u);
}

TEST(TerrainArcsTest, ArcsGoOnlyToNeighboursThatAreNotNextToTheVertex) {
    TerrainGridMap map4(4);
    // Point 0 in the corner: 1 (column 1) and 4 (row 1) are adjacent; 2 (column 3) and
    // 8 (row 3) are three vertices away.
    std::vector<ArcTarget> arcs = nonAdjacentNeighbors(map4, 0);
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_EQ(arcs[0].point, 2u);
    EXPECT_EQ(arcs[0].gridDist, 3);
    EXPECT_EQ(arcs[0].gridIndex, 3u);
    EXPECT_EQ(arcs[1].point, 8u);
    EXPECT_EQ(arcs[1].gridDist, 3);

    const int n = 7;
    TerrainGridMap map(n);
    for (unsigned long p = 0; p < map.numGridPoints; p++) {
        std::set<unsigned long> far;
        for (const ArcTarget& a : nonAdjacentNeighbors(map, p)) {
            EXPECT_EQ(bitsApart((long)a.point, (long)p), 1);
            far.insert(a.point);
        }
        EXPECT_LE(far.size(), (size_t)(n - 2));
        for (int b = 0; b < n; b++) {
            const unsigned long q = p ^ (1UL << b);
            const long gp = (long)map.gridIndex(p), gq = (long)map.gridIndex(q), w = map.gridResX;
            const long dist = std::labs(gp % w - gq % w) + std::labs(gp / w - gq / w);
            EXPECT_EQ(far.count(q) == 1, dist >= 2) << p << " -> " << q;
        }
    }
}

TEST(TerrainDotTest, ADotKeepsItsOffsetAcrossUpdatesAndTypesAreSpreadApart) {
    const float vertex[3] = {0.25f, 0.5f, 0.1f};
    double a[3], b[3], c[3];
    terrainDotPosition(17, DotTypePublic, vertex, a);
    terrainDotPosition(99, DotTypePrivate, vertex, c);  // something else in between
    terrainDotPosition(17, DotTypePublic, vertex, b);
    for (int i = 0; i < 3; i++) EXPECT_EQ(a[i], b[i]);
    terrainDotPosition(17, DotTypeHistory, vertex, c);
    EXPECT_TRUE(a[0] != c[0] || a[1] != c[1]);
    for (const double* d : {a, c}) {
        EXPECT_LE(std::fabs(d[0] - vertex[0]), 0.0015 + 1e-9);
        EXPECT_LE(std::fabs(d[1] - vertex[1]), 0.0015 + 1e-9);
        EXPECT_GE(d[2] - vertex[2], 0.003 - 1e-7);
        EXPECT_LE(d[2] - vertex[2], 0.004 + 1e-7);
    }
}

// ---- Flat polar walls ----------------------------------------------------------------

TEST(PolarLayoutTest, ThreeBitsWithEndCapsMakeATwelveBySixGridAlongTheBitFlipPaths) {
    EXPECT_EQ(polarPathPoints(3, 0), (std::vector<long>{0, 1, 3, 7}));
    EXPECT_EQ(polarPathPoints(3, 1), (std::vector<long>{0, 2, 6, 7}));
    EXPECT_EQ(polarPathPoints(3, 2), (std::vector<long>{0, 4, 5, 7}));

    PolarLayout layout(3, PolarShapeRectangular, true, 0.2);
    EXPECT_EQ(layout.gridResX, 12u);
    EXPECT_EQ(layout.gridResY, 6u);
    ASSERT_EQ(layout.numGridPoints, 72);
    std::vector<float> pts(3 * 72, -9.0f), sc(72, -9.0f);
    std::vector<long> order;
    layout.compute(
        [&](const Point& p) {
            order.push_back(p.values);
            return p.values / 8.0;
        },
        pts.data(), sc.data());
    EXPECT_EQ(order, (std::vector<long>{0, 1, 3, 7, 0, 2, 6, 7, 0, 4, 5, 7}));

    auto vertexAt = [&](int row, int col) { return &pts[3 * (row * 12 + col)]; };
    // Path 1, two flips out (point 6): grid row 1 + 2, columns 4..7.
    const float third = 1.0f / 3, right = (float)(1.0 / 3 + 0.2 / 3), y = 2.0f / 3, z = (float)(0.75 / 7);
    const float expect[4][3] = {{third, y, 0}, {third, y, z}, {right, y, z}, {right, y, 0}};
    const float expectScalar[4] = {0, 0.75f, 0.75f, 0};
    for (int c = 0; c < 4; c++) {
        for (int k = 0; k < 3; k++) EXPECT_NEAR(vertexAt(3, 4 + c)[k], expect[c][k], 1e-6) << c << " " << k;
        EXPECT_FLOAT_EQ(sc[3 * 12 + 4 + c], expectScalar[c]);
    }
    // End caps close every wall down to the floor at y = 0 and y = 1.
    for (int c = 0; c < 4; c++) {
        EXPECT_NEAR(vertexAt(0, 4 + c)[0], c < 2 ? third : right, 1e-6);
        EXPECT_EQ(vertexAt(0, 4 + c)[1], 0.0f);
        EXPECT_EQ(vertexAt(0, 4 + c)[2], 0.0f);
        EXPECT_EQ(vertexAt(5, 4 + c)[1], 1.0f);
        EXPECT_EQ(vertexAt(5, 4 + c)[2], 0.0f);
        EXPECT_EQ(sc[5 * 12 + 4 + c], 0.0f);
    }
    for (float v : pts) EXPECT_NE(v, -9.0f);
}

TEST(PolarLayoutTest, FirstAndLastRowsShowPointZeroAndTheAllOnesPoint) {
    const int n = 5;
    for (PolarShape shape : {PolarShapeRectangular, PolarShapeCircular, PolarShapeTwisted}) {
        PolarLayout layout(n, shape, false, shape == PolarShapeRectangular ? 0.2 : 0.0);
        std::vector<float> pts(3 * layout.numGridPoints), sc(layout.numGridPoints);
        layout.compute([](const Point& p) { return p.values == 0    ? 0.25
                                                   : p.values == 31 ? 0.75
                                                                    : 0.5; }, pts.data(),
                       sc.data());
        for (int i = 0; i < n; i++) {
            EXPECT_FLOAT_EQ(sc[0 * layout.gridResX + 4 * i + 1], 0.25f);
            EXPECT_FLOAT_EQ(sc[n * layout.gridResX + 4 * i + 2], 0.75f);
        }
    }
}

TEST(PolarLayoutTest, CircularWallsHaveNoThicknessAndMeetAtBothEndsAndTwistedOnesAreSheared) {
    const int n = 4;
    PolarLayout circ(n, PolarShapeCircular, false, 0.0), twist(n, PolarShapeTwisted, false, 0.0);
    std::vector<float> pc(3 * circ.numGridPoints), sc(circ.numGridPoints);
    std::vector<float> pt(3 * twist.numGridPoints), st(twist.numGridPoints);
    auto f = [](const Point& p) { return p.values / 16.0; };
    circ.compute(f, pc.data(), sc.data());
    twist.compute(f, pt.data(), st.data());
    const double c = 0.5 * (n - 1) / n;
    for (int j = 0; j <= n; j++) {
        for (int i = 0; i < n; i++) {
            const float* v = &pc[3 * (j * circ.gridResX + 4 * i)];
            for (int k = 1; k < 4; k++) EXPECT_EQ(v[3 * k], v[0]);  // left and right coincide
            const double t = 2.0 * j / n - 1;
            EXPECT_NEAR(v[0], (1 - t * t) * (i * 0.25 - c) + c, 1e-6);
            if (j == 0 || j == n) {
                EXPECT_NEAR(v[0], c, 1e-6);
            }
            if (j == n / 2) {
                EXPECT_NEAR(v[0], i * 0.25, 1e-6);  // halfway: spread furthest
            }
            EXPECT_NEAR(pt[3 * (j * twist.gridResX + 4 * i)], v[0] + 0.1 * j, 1e-6);
        }
    }
}

// ---- Sphere ----------------------------------------------------------------------------

// Each undirected edge of the cells, with how many cells share it.
std::map<std::pair<int, int>, int> cellEdges(const SphereLayout& s) {
    std::map<std::pair<int, int>, int> edges;
    for (const Quad& q : s.cells())
        for (int k = 0; k < 4; k++) {
            const int a = q[k], b = q[(k + 1) % 4];
            edges[{std::min(a, b), std::max(a, b)}]++;
        }
    return edges;
}

TEST(SphereLayoutTest, FourBitsGiveFourteenVerticesAndTwelveDiamondsOfHammingNeighbours) {
    SphereLayout s(4);
    EXPECT_EQ(s.numGridPoints, 14);
    EXPECT_EQ(s.northPoleIndex(), 12);
    EXPECT_EQ(s.southPoleIndex(), 13);
    EXPECT_EQ(s.cells().size(), 12u);
    for (long np : {0L, 5L, 15L}) {
        std::vector<long> pts;
        std::vector<double> pos;
        std::vector<float> sc(14);
        s.computeVertices(
            np, [](const Point&) { return 0.5; }, 0.2, 0.03, pts, pos, sc.data());
        EXPECT_EQ(pts[12], np);
        EXPECT_EQ(pts[13], 15 ^ np);
        EXPECT_EQ(std::set<long>(pts.begin(), pts.end()).size(), 14u);
        for (int r = 0; r <= 2; r++)
            for (int i = 0; i < 4; i++) EXPECT_EQ(bitsApart(pts[r * 4 + i], np), r + 1);
        for (const Quad& q : s.cells())
            for (int k = 0; k < 4; k++) EXPECT_EQ(bitsApart(pts[q[k]], pts[q[(k + 1) % 4]]), 1);
    }
}

TEST(SphereLayoutTest, CellsCloseTheSurfaceForEveryNumberOfBits) {
    for (int n = 3; n <= 12; n++) {
        SphereLayout s(n);
        EXPECT_EQ((int)s.cells().size(), n * (n - 1)) << n;
        // A closed surface: every edge between exactly two cells, and V - E + F = 2.
        const auto edges = cellEdges(s);
        for (const auto& e : edges) EXPECT_EQ(e.second, 2) << n << ": " << e.first.first << "-" << e.first.second;
        EXPECT_EQ(s.numGridPoints - (int)edges.size() + (int)s.cells().size(), 2) << n;
        std::vector<long> pts;
        std::vector<double> pos;
        std::vector<float> sc(s.numGridPoints);
        s.computeVertices(
            0, [](const Point&) { return 0.0; }, 0.2, 0.03, pts, pos, sc.data());
        for (const auto& e : edges) EXPECT_EQ(bitsApart(pts[e.first.first], pts[e.first.second]), 1);
    }
    // Two bits: a single diamond through all four points; one bit: no cell.
    SphereLayout two(2);
    ASSERT_EQ(two.cells().size(), 1u);
    EXPECT_EQ(std::set<int>(two.cells()[0].begin(), two.cells()[0].end()).size(), 4u);
    EXPECT_TRUE(SphereLayout(1).cells().empty());
}

TEST(SphereLayoutTest, VerticesLieOnTheirRingsAtARadiusThatGrowsWithFitness) {
    const int n = 6;
    SphereLayout s(n);
    std::vector<long> pts, order;
    std::vector<double> pos;
    std::vector<float> sc(s.numGridPoints);
    s.computeVertices(
        9,
        [&](const Point& p) {
            order.push_back(p.values);
            return p.values / 64.0;
        },
        0.2, 0.03, pts, pos, sc.data());
    // North pole, south pole, then meridian by meridian.
    ASSERT_EQ((int)order.size(), s.numGridPoints);
    EXPECT_EQ(order[0], 9);
    EXPECT_EQ(order[1], 63 ^ 9);
    EXPECT_EQ(order[2], 9 ^ 1);
    EXPECT_EQ(order[3], 9 ^ 1 ^ 2);
    for (int v = 0; v < s.numGridPoints; v++) {
        const double* p = &pos[3 * v];
        const double radius = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        EXPECT_NEAR(radius, 0.2 + 0.03 * pts[v] / 64.0, 1e-12);
        EXPECT_FLOAT_EQ(sc[v], (float)(pts[v] / 64.0));
        const int ring = v < n * (n - 1) ? v / n : v == s.northPoleIndex() ? -1 : n - 1;
        EXPECT_NEAR(std::acos(p[2] / radius), (ring + 1) * M_PI / n, 1e-9) << v;
    }
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
    EXPECT_EQ(s.vertexAtPosition(0, 0, 0.25), s.northPoleIndex());
    EXPECT_EQ(s.vertexAtPosition(0, 0, -0.25), s.southPoleIndex());
    EXPECT_EQ(at(0.009, 1.0), s.northPoleIndex());
    EXPECT_EQ(at(M_PI - 0.009, 2.0), s.southPoleIndex());
    // Still nearer the pole than ring 0 (at pi/10): the rounded ring is -1, which names the pole.
    EXPECT_EQ(at(0.1, 0.5), s.northPoleIndex());
    EXPECT_EQ(at(M_PI - 0.1, 0.5), s.southPoleIndex());
    // Ring 0 sits at pi/10, meridian i at azimuth -2 pi i / 10 (ring 1 is turned by half a step).
    EXPECT_EQ(at(M_PI / 10, -2 * M_PI * 3 / 10 + 0.05), 3);
    EXPECT_EQ(at(2 * M_PI / 10, -(2 * M_PI * 9 + M_PI) / 10), 10 + 9);
    // Just short of a full turn rounds to meridian 0, not to a meridian N.
    EXPECT_EQ(at(M_PI / 10, 0.2), 0);
}

TEST(SphereDotTest, AVertexPointSitsOnItsVertexAndOtherPointsInsideTheNearestCell) {
    const int n = 6;
    SphereLayout s(n);
    std::vector<long> pts;
    std::vector<double> pos;
    std::vector<float> sc(s.numGridPoints);
    s.computeVertices(
        0, [](const Point& p) { return (p.values % 7) / 7.0; }, 0.2, 0.03, pts, pos, sc.data());
    std::set<long> vertexPoints(pts.begin(), pts.end());
    double out[3];
    s.dotPosition(Point(pts[7]), DotTypePublic, pts, pos, pts[s.northPoleIndex()], out);
    for (int k = 0; k < 3; k++) EXPECT_EQ(out[k], pos[3 * 7 + k]);

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

        // The spot lies in one of the cell's two triangles (c0 c1 c2 or c0 c2 c3), and stays there.
        s.dotPosition(Point(p), DotTypeHistory, pts, pos, selected, out);
        double again[3];
        s.dotPosition(Point(p), DotTypeHistory, pts, pos, selected, again);
        for (int k = 0; k < 3; k++) EXPECT_EQ(out[k], again[k]);
        auto inTriangle = [&](int a, int b, int c) {
            // Solve out - A = u (B - A) + v (C - A) in the least-squares sense and check u, v.
            const double* A = &pos[3 * a];
            const double* B = &pos[3 * b];
            const double* C = &pos[3 * c];
            double e1[3], e2[3], w[3];
            for (int k = 0; k < 3; k++) {
                e1[k] = B[k] - A[k];
                e2[k] = C[k] - A[k];
                w[k] = out[k] - A[k];
            }
            auto dot = [](const double* x, const double* y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; };
            const double a11 = dot(e1, e1), a12 = dot(e1, e2), a22 = dot(e2, e2), b1 = dot(w, e1), b2 = dot(w, e2);
            const double det = a11 * a22 - a12 * a12;
            const double u = (b1 * a22 - b2 * a12) / det, v = (a11 * b2 - a12 * b1) / det;
            return u >= -1e-9 && v >= -1e-9 && u + v <= 1 + 1e-9;
        };
        EXPECT_TRUE(inTriangle(q[0], q[1], q[2]) || inTriangle(q[0], q[2], q[3])) << "point " << p;
    }
}

TEST(SphereDotTest, ACapIsNeverChosenForAPointTwoBitsFromTheSelection) {
    const int n = 6;
    SphereLayout s(n);
    std::vector<long> pts;
    std::vector<double> pos;
    std::vector<float> sc(s.numGridPoints);
    s.computeVertices(
        0, [](const Point&) { return 0.5; }, 0.2, 0.03, pts, pos, sc.data());
    // Bits 0 and 2: not a vertex; nearest to the north cap around the pole (point 0).
    Quad withCap, noCap;
    ASSERT_TRUE(s.nearestCell(Point(5), pts, pts[s.southPoleIndex()], withCap));
    EXPECT_EQ(withCap[0], s.northPoleIndex());
    ASSERT_TRUE(s.nearestCell(Point(5), pts, 0, noCap));
    for (int v : noCap) EXPECT_NE(v, s.northPoleIndex());
}

TEST(SphereDotTest, PushingOutwardLiftsByAmountOverTheRadiusToThePowerOnePointFour) {
    const double in[3] = {0.3, 0.0, 0.4};  // length 0.5
    double out[3];
    SphereLayout::pushPointOutward(in, 0.003, out);
    const double scale = 1 + 0.003 / std::pow(0.5, 1.4);
    EXPECT_DOUBLE_EQ(out[0], 0.3 * scale);
    EXPECT_DOUBLE_EQ(out[2], 0.4 * scale);
}

// ---- Dots ------------------------------------------------------------------------------

void smallSetup(SimuParameters& p) { smallSimulationSetup(p, 8, 4); }

struct RunningSim {
    std::vector<std::string> names;
    Simulation sim;
    explicit RunningSim(int steps, int extraStrategies = 0)
        : sim(names, [&](SimuParameters& p) {
              smallSetup(p);
              p.nExtraStrategies = extraStrategies;
          }) {
        sim.visualizationOn = true;
        sim.params.runExternally = false;
        sim.initRun();
        for (int i = 0; i < steps; i++) {
            sim.executeOneStep();
            sim.updateFitnessValues();
        }
    }
    ~RunningSim() { sim.finishRun(); }
};

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

TEST(DotPlanTest, TheRecentStepsFilterKeepsPointsVisitedWithinTheLastSteps) {
    EXPECT_FALSE(isRecentPoint(PointInfo(Point(3), 0.5), 10, 3));  // never visited
    unsigned int step = 6;
    Memory m(10, step);
    m.addPoint(Point(3), 0.5, VisitTypeInit);
    const PointInfo& info = m.getBestPoint();
    EXPECT_FALSE(isRecentPoint(info, 10, 3));
    step = 7;
    m.addPoint(Point(3), 0.5, VisitTypeStep);  // the newest visit counts
    EXPECT_TRUE(isRecentPoint(info, 10, 3));
    EXPECT_FALSE(isRecentPoint(info, 11, 3));
    // Fewer steps made than the limit: every visited point passes (signed comparison).
    step = 0;
    m.addPoint(Point(4), 0.4, VisitTypeInit);
    EXPECT_TRUE(isRecentPoint(*m.getPoints()[1], 2, 200));
}

TEST(DotPlanTest, LegendAndGroupsFollowEverySwitchCombination) {
    RunningSim r(6);
    const Simulation& sim = r.sim;
    const Point globalMax(17);
    const std::vector<Point> localMax = {Point(1), Point(17), Point(200)};
    const unsigned int step = sim.getCurrentStep();
    const Agent& chosen = *sim.getAgents()[sim.getChosenAgent()];
    for (int mask = 0; mask < 128; mask++) {
        for (int only1 = 0; only1 < 2; only1++) {
            for (int maxima = 0; maxima < 2; maxima++) {
                DotSwitches sw;
                sw.memoryDotsOn[MemTypePublic] = mask & 1;
                sw.memoryDotsOn[MemTypePrivate] = mask & 2;
                sw.agentHistoryDotsOn = mask & 4;
                sw.agentConsideredDotsOn = mask & 8;
                sw.agentConsideredDotsOthersOn = mask & 16;
                sw.globalMaxOn = mask & 32;
                sw.localMaxOn = mask & 64;
                sw.only1Agent = only1;
                const DotPlan plan = planDots(sim, sw, maxima, globalMax, localMax);

                std::vector<DotType> legend, groups;
                if (sw.memoryDotsOn[MemTypePublic]) {
                    legend.push_back(DotTypePublic);
                    if (!recentPoints(*sim.getPublicMemory(), step, 200).empty()) groups.push_back(DotTypePublic);
                }
                if (sw.memoryDotsOn[MemTypePrivate]) {
                    legend.push_back(DotTypePrivate);
                    groups.push_back(DotTypePrivate);  // every agent remembers visited points here
                }
                if (sw.agentHistoryDotsOn) {
                    legend.push_back(DotTypeHistory);
                    groups.push_back(DotTypeHistory);
                }
                if (sw.agentConsideredDotsOn) {
                    legend.push_back(DotTypeConsidered1);
                    groups.push_back(DotTypeConsidered1);
                }
                if (maxima && sw.globalMaxOn) {
                    legend.push_back(DotTypeGlobalMax);
                    groups.push_back(DotTypeGlobalMax);
                }
                if (maxima && sw.localMaxOn) {
                    legend.push_back(DotTypeLocalMax);
                    groups.push_back(DotTypeLocalMax);
                }
                EXPECT_EQ(plan.legend, legend) << "mask " << mask;
                std::vector<DotType> got;
                for (const DotGroupPlan& g : plan.groups) got.push_back(g.type);
                EXPECT_EQ(got, groups) << "mask " << mask;
                EXPECT_EQ(sw.anyShown(), mask != 0);
                if (mask == 0) {
                    EXPECT_TRUE(plan.groups.empty() && plan.legend.empty());
                }
            }
        }
    }
    // The contents of the groups.
    DotSwitches all;
    all.memoryDotsOn[MemTypePublic] = all.memoryDotsOn[MemTypePrivate] = true;
    all.agentConsideredDotsOn = all.globalMaxOn = all.localMaxOn = true;
    all.agentHistoryDotsOn = true;
    const DotPlan plan = planDots(sim, all, true, globalMax, localMax);
    EXPECT_EQ(asSet(plan.groups[0].points), recentPoints(*sim.getPublicMemory(), step, 200));
    EXPECT_EQ(asSet(plan.groups[1].points), recentPoints(chosen.getMemory(MemTypePrivate), step, 200));
    EXPECT_EQ(plan.groups[2].points, chosen.getPointHistory());
    EXPECT_EQ(plan.groups[3].points, chosen.getSearchPoints());
    EXPECT_EQ(plan.groups[4].points, std::vector<Point>{globalMax});
    EXPECT_EQ(plan.groups[5].points, localMax);
}

TEST(DotPlanTest, PrivateDotsOfOneAgentOrOfAllAgentsInOneGroup) {
    RunningSim r(4);
    r.sim.setChosenAgent(2);
    DotSwitches sw;
    sw.memoryDotsOn[MemTypePrivate] = true;
    const unsigned int step = r.sim.getCurrentStep();
    DotPlan one = planDots(r.sim, sw, false, Point(), {});
    ASSERT_EQ(one.groups.size(), 1u);
    EXPECT_EQ(asSet(one.groups[0].points), recentPoints(r.sim.getAgents()[2]->getMemory(MemTypePrivate), step, 200));
    sw.only1Agent = false;
    DotPlan all = planDots(r.sim, sw, false, Point(), {});
    ASSERT_EQ(all.groups.size(), 1u);
    ASSERT_EQ(all.legend.size(), 1u);
    std::multiset<long> expect;
    for (const auto& a : r.sim.getAgents())
        for (long p : recentPoints(a->getMemory(MemTypePrivate), step, 200)) expect.insert(p);
    EXPECT_EQ(asSet(all.groups[0].points), expect);
    // A point whose newest visit is too old gets no dot: with a window of 0 steps only the
    // points visited in the last step remain.
    sw.numRecentSteps = 0;
    DotPlan recent = planDots(r.sim, sw, false, Point(), {});
    std::multiset<long> expectRecent;
    for (const auto& a : r.sim.getAgents())
        for (long p : recentPoints(a->getMemory(MemTypePrivate), step, 0)) expectRecent.insert(p);
    EXPECT_LT(expectRecent.size(), expect.size());
    EXPECT_EQ(recent.groups.empty() ? std::multiset<long>() : asSet(recent.groups[0].points), expectRecent);
    EXPECT_EQ(recent.legend.size(), 1u);  // named even when no dot is left
}

TEST(DotPlanTest, HistoryShowsOnlyTheLastRecentSteps) {
    RunningSim r(12);
    const std::vector<Point>& h = r.sim.getAgents()[0]->getPointHistory();
    ASSERT_GT(h.size(), 3u);
    DotSwitches sw;
    sw.agentHistoryDotsOn = true;
    sw.numRecentSteps = 3;
    DotPlan plan = planDots(r.sim, sw, false, Point(), {});
    ASSERT_EQ(plan.groups.size(), 1u);
    EXPECT_EQ(plan.groups[0].points, std::vector<Point>(h.end() - 3, h.end()));
    sw.numRecentSteps = 200;
    plan = planDots(r.sim, sw, false, Point(), {});
    EXPECT_EQ(plan.groups[0].points, h);
}

TEST(DotPlanTest, ConsideredPointsOfTwoOtherStrategiesMakeThreeGroups) {
    RunningSim r(0, 2);
    DotSwitches sw;
    sw.agentConsideredDotsOn = true;
    DotPlan own = planDots(r.sim, sw, true, Point(), {});
    EXPECT_EQ(own.legend, (std::vector<DotType>{DotTypeConsidered1}));
    sw.agentConsideredDotsOthersOn = true;
    DotPlan others = planDots(r.sim, sw, true, Point(), {});
    EXPECT_EQ(others.legend, (std::vector<DotType>{DotTypeConsidered1, DotTypeConsidered2, DotTypeConsidered3}));
    EXPECT_EQ(others.groups.size(), 3u);  // also when nothing was considered yet
}

TEST(DotPlanTest, MaximaShowOnlyWhereTheViewComputesThemAndNoPointIsDropped) {
    RunningSim r(1);
    DotSwitches sw;
    sw.globalMaxOn = sw.localMaxOn = true;
    EXPECT_TRUE(planDots(r.sim, sw, false, Point(3), {Point(3)}).groups.empty());
    DotPlan plan = planDots(r.sim, sw, true, Point(), {Point(3), Point(-1), Point(256)});
    ASSERT_EQ(plan.groups.size(), 2u);
    EXPECT_TRUE(plan.groups[0].points.empty());  // -1: not computed yet
    EXPECT_EQ(plan.groups[1].points, std::vector<Point>{Point(3)});
}

}  // namespace
