// Geometry of the landscape views, free of VTK: the terrain's Gray-coded grid and maxima,
// the flat polar wall layouts, the sphere's vertices, cells and click rule, dot placement
// and the choice of dot groups and legend entries.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "constants.h"
#include "inline.h"
#include "viewtypes.h"

class Simulation;
struct PointInfo;

namespace visgeom {

// ---- Terrain grid ------------------------------------------------------------------

// The terrain holds one vertex per point; beyond this many bits it would not fit in memory.
constexpr int kMaxTerrainDims = 22;

// Reflected binary Gray code of `bits` bits decoded to plain binary, from the top bit down.
unsigned long grayDecode(unsigned long code, int bits);

// Maps N-bit points to the vertices of a 2^(N/2) x 2^(N - N/2) grid: the low N/2 bits,
// Gray-decoded, give the column, the high bits the row. Grid neighbours are Hamming neighbours.
class TerrainGridMap {
public:
    explicit TerrainGridMap(int numDims);

    int numDims;
    int numDimsX;  // bits of the column
    int numDimsY;  // bits of the row
    unsigned gridResX;
    unsigned gridResY;
    unsigned long numGridPoints;

    unsigned long gridIndex(unsigned long point) const {
        return ((unsigned long)decodeY[point >> numDimsX] << numDimsX) | decodeX[point & maskX];
    }
    void gridRowColumn(unsigned long point, unsigned& row, unsigned& col) const {
        const unsigned long g = gridIndex(point);
        row = (unsigned)(g >> numDimsX);
        col = (unsigned)(g & maskX);
    }
    // The point shown at a grid index (the inverse of gridIndex).
    unsigned long pointAt(unsigned long gridIndex) const;
    // Flipping bit `bit` of a point flips the grid index by this mask: a Gray code's decoded
    // bits at and below a flipped bit all change.
    unsigned long neighborMask(int bit) const { return neighborMasks[bit]; }

private:
    unsigned long maskX;
    // Decoding tables for the two halves; a half has at most 16 bits.
    std::vector<uint32_t> decodeX, decodeY;
    std::vector<unsigned long> neighborMasks;
};

struct FitnessSummary {
    double min = 2.0;
    unsigned long minPoint = 0;
    double max = -1.0;
    unsigned long maxPoint = 0;
    double avg = 0.0;
};

// Writes the height (and with `writeXY` the x and y) of every vertex, its fitness scalar and,
// with `writeXY`, the point it shows, straight into the given arrays (3 floats per vertex in
// `pointData`). Points are looked up in increasing order: each look-up stamps the
// landscape's cache, so the order is part of its state. Extremes keep the lowest point on ties.
template <class FitnessFn>
FitnessSummary computeTerrainCoords(const TerrainGridMap& map, FitnessFn fitness, double scaleFactor,
                                    double scaleZFactor, bool writeXY, float* pointData, float* fitnessData,
                                    unsigned long* nDimCoords) {
    FitnessSummary s;
    double sum = 0.0;
    const unsigned long maskX = ((unsigned long)1 << map.numDimsX) - 1;
    for (unsigned long p = 0; p < map.numGridPoints; p++) {
        const unsigned long g = map.gridIndex(p);
        const double f = fitness(Point((long)p));
        float* v = pointData + 3 * g;
        if (writeXY) {
            v[0] = (float)((double)(g & maskX) * scaleFactor);
            v[1] = (float)((double)(g >> map.numDimsX) * scaleFactor);
            nDimCoords[g] = p;
        }
        v[2] = (float)(f * scaleZFactor);
        fitnessData[g] = (float)f;
        if (f < s.min) {
            s.min = f;
            s.minPoint = p;
        }
        if (f > s.max) {
            s.max = f;
            s.maxPoint = p;
        }
        sum += f;
    }
    s.avg = map.numGridPoints ? sum / (double)map.numGridPoints : 0.0;
    return s;
}

// Global maximum (lowest point on ties) and every point none of whose Hamming neighbours is
// strictly fitter, in increasing point order; `fitnessByGridIndex` holds each vertex's fitness.
void findMaxima(const TerrainGridMap& map, const float* fitnessByGridIndex, Point& globalMax,
                std::vector<Point>& localMax);

// A Hamming neighbour of the selected point that is not next to it on the grid.
struct ArcTarget {
    unsigned long point;
    unsigned long gridIndex;
    int gridDist;  // rows plus columns between the two vertices, at least 2
};
std::vector<ArcTarget> nonAdjacentNeighbors(const TerrainGridMap& map, unsigned long selectedPoint);

// Where a terrain dot goes: just above its vertex, shifted by an offset that is the same for
// every update of one point and type and differs between types. Uses the C library's
// srand/rand, which no simulation stream shares.
void terrainDotPosition(unsigned long gridIndex, int dotType, const float* vertex, double out[3]);

// ---- Flat polar walls ----------------------------------------------------------------

enum PolarShape { PolarShapeRectangular = 0, PolarShapeCircular, PolarShapeTwisted };

// Path i starts at point 0 and flips bits i, i+1, ... (mod N), one per row: N + 1 points.
std::vector<long> polarPathPoints(int numDims, int path);

// Vertex layout of the flat polar views: four vertex columns per path (a wall: left side,
// top, right side, floor), one row per distance from point 0, plus closing rows with end caps.
class PolarLayout {
public:
    PolarLayout(int numDims, PolarShape shape, bool haveEndCaps, double wallThickness);

    int numDims;
    PolarShape shape;
    bool haveEndCaps;
    double wallThickness;
    unsigned gridResX;
    unsigned gridResY;
    int numGridPoints;
    double scaleFactor;
    double scaleZFactor;

    // x of the left side of path i's wall at row j (j = distance from point 0).
    double leftX(int path, int row) const;

    // Writes every vertex (3 floats) and scalar; the look-ups go path by path, row by row.
    template <class FitnessFn>
    void compute(FitnessFn fitness, float* pointData, float* scalars) const {
        const int e = haveEndCaps ? 1 : 0;
        const double sf = scaleFactor;
        for (int i = 0; i < numDims; i++) {
            long p = 0;
            for (int j = 0; j <= numDims; j++) {
                const double f = fitness(Point(p));
                p ^= 1L << ((i + j) % numDims);
                const double y = j * sf;
                const double xL = leftX(i, j);
                const double xR = xL + sf * wallThickness;
                const double z = f * scaleZFactor;
                const size_t base = (size_t)(e + j) * gridResX + 4 * (size_t)i;
                set(pointData, scalars, base + 0, xL, y, 0.0, 0.0);
                set(pointData, scalars, base + 1, xL, y, z, f);
                set(pointData, scalars, base + 2, xR, y, z, f);
                set(pointData, scalars, base + 3, xR, y, 0.0, 0.0);
            }
            if (haveEndCaps) {
                const size_t last = (size_t)(gridResY - 1) * gridResX + 4 * (size_t)i;
                const double x0 = leftX(i, 0), xN = leftX(i, numDims);
                for (int c = 0; c < 4; c++) {
                    const double bx0 = c < 2 ? x0 : x0 + sf * wallThickness;
                    const double bxN = c < 2 ? xN : xN + sf * wallThickness;
                    set(pointData, scalars, 4 * (size_t)i + c, bx0, 0.0, 0.0, 0.0);
                    set(pointData, scalars, last + c, bxN, 1.0, 0.0, 0.0);
                }
            }
        }
    }

private:
    static void set(float* pts, float* sc, size_t idx, double x, double y, double z, double s) {
        pts[3 * idx] = (float)x;
        pts[3 * idx + 1] = (float)y;
        pts[3 * idx + 2] = (float)z;
        sc[idx] = (float)s;
    }
};

// ---- Sphere ----------------------------------------------------------------------------

typedef std::array<int, 4> Quad;

// The spherical view's mesh: ring r (0 ... N-2) and meridian i hold vertex r N + i, the
// north pole is vertex N(N-1), the south pole N(N-1)+1. Ring r lies at Hamming distance r+1
// from the north pole; meridian i flips bits i, i+1, ... in turn.
class SphereLayout {
public:
    explicit SphereLayout(int numDims);

    int numDims;
    int numGridPoints;

    int northPoleIndex() const { return numDims * (numDims - 1); }
    int southPoleIndex() const { return numDims * (numDims - 1) + 1; }
    // Meridians are taken modulo N.
    int vertexIndex(int ring, int meridian) const {
        return ring * numDims + ((meridian % numDims) + numDims) % numDims;
    }
    // Unit vector from the centre to a vertex.
    const double* direction(int index) const { return &directions[3 * (size_t)index]; }
    // Diamond cells whose four edges join Hamming neighbours; they depend only on N.
    const std::vector<Quad>& cells() const { return cellList; }

    // Points and positions of all vertices around `northPole`, radius base + scaleZ x fitness.
    // Looks up the north pole, the south pole, then meridian by meridian.
    template <class FitnessFn>
    void computeVertices(long northPole, FitnessFn fitness, double baseRadius, double scaleZFactor,
                         std::vector<long>& points, std::vector<double>& positions, float* scalars) const {
        points.assign(numGridPoints, 0);
        positions.assign(3 * (size_t)numGridPoints, 0.0);
        const long all = (long)((1UL << numDims) - 1);
        auto put = [&](int idx, long p) {
            const double f = fitness(Point(p));
            const double r = baseRadius + scaleZFactor * f;
            points[idx] = p;
            for (int c = 0; c < 3; c++) positions[3 * (size_t)idx + c] = r * directions[3 * (size_t)idx + c];
            scalars[idx] = (float)f;
        };
        put(northPoleIndex(), northPole);
        put(southPoleIndex(), all ^ northPole);
        for (int i = 0; i < numDims; i++) {
            long p = northPole;
            for (int r = 0; r <= numDims - 2; r++) {
                p ^= 1L << ((i + r) % numDims);
                put(r * numDims + i, p);
            }
        }
    }

    // The vertex nearest to a picked position (rounded ring and meridian; the poles within
    // 0.01 radians). A ring rounded beyond the rings names the pole on that side.
    int vertexAtPosition(double px, double py, double pz) const;

    // Where a dot for `point` goes: on its vertex if it has one, otherwise at a spot inside
    // the cell whose corners are nearest in Hamming distance, the same spot on every call.
    // `selectedPoint` is the point of the selected vertex (caps are refused for points two
    // bits from it). Uses the C library's srand/rand.
    void dotPosition(const Point& point, int dotType, const std::vector<long>& points,
                     const std::vector<double>& positions, long selectedPoint, double out[3]) const;
    // The corners, in the order tested, of the cell chosen for a point off the vertices;
    // false when every point is a vertex (N below 4).
    bool nearestCell(const Point& point, const std::vector<long>& points, long selectedPoint, Quad& corners) const;

    // out = in x (1 + amount / |in|^1.4): lifts a position just off the surface.
    static void pushPointOutward(const double* in, double amount, double* out);

private:
    std::vector<double> directions;
    std::vector<Quad> cellList;
    // Cells in the order the dot placement tests them, with their corner order and cap flag.
    struct Candidate {
        Quad corners;
        bool cap;
    };
    std::vector<Candidate> candidates;
    std::vector<int> ringOf;

    bool validRing(int r) const { return r >= 0 && r <= numDims - 2; }
};

// ---- Dots ------------------------------------------------------------------------------

// The dot switches of a view.
struct DotSwitches {
    bool memoryDotsOn[MemTypeNum] = {false, false, false, false};
    bool agentHistoryDotsOn = false;
    bool agentConsideredDotsOn = false;
    bool agentConsideredDotsOthersOn = false;
    bool only1Agent = true;
    bool globalMaxOn = false;
    bool localMaxOn = false;
    int numRecentSteps = 200;

    // Any switch that shows something (the 1-agent switch only narrows the private dots).
    bool anyShown() const;
};

// One group of dots with one look; `type` indexes the look table and is also the type each
// dot is placed with.
struct DotGroupPlan {
    DotType type;
    std::vector<Point> points;
};

struct DotPlan {
    std::vector<DotGroupPlan> groups;  // in drawing order
    std::vector<DotType> legend;       // looks named in the legend, in order
};

// A remembered point gets a dot when its newest visit is at most `numRecentSteps` old.
bool isRecentPoint(const PointInfo& info, unsigned int curStep, int numRecentSteps);

// Which dots the switches show for the simulation's current state, and the legend.
// Maxima are shown only when `maximaShown` (the terrain view).
DotPlan planDots(const Simulation& sim, const DotSwitches& sw, bool maximaShown, const Point& globalMax,
                 const std::vector<Point>& localMax);

}  // namespace visgeom
