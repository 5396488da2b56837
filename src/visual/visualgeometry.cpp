// Geometry of the landscape views, free of VTK (see the header).
#include "visualgeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "agent.h"
#include "memory.h"
#include "simulation.h"

namespace visgeom {

// ---- Terrain grid ------------------------------------------------------------------

unsigned long grayDecode(unsigned long code, int bits) {
    unsigned long out = 0;
    unsigned long parity = 0;
    for (int b = bits - 1; b >= 0; b--) {
        const unsigned long in = (code >> b) & 1UL;
        out |= (in ^ parity) << b;
        parity ^= in;
    }
    return out;
}

TerrainGridMap::TerrainGridMap(int n)
    : numDims(n),
      numDimsX(n / 2),
      numDimsY(n - n / 2),
      gridResX(1u << (n / 2)),
      gridResY(1u << (n - n / 2)),
      numGridPoints((unsigned long)(1u << (n / 2)) * (1u << (n - n / 2))),
      maskX((1UL << (n / 2)) - 1) {
    decodeX.resize(gridResX);
    for (unsigned v = 0; v < gridResX; v++) decodeX[v] = (uint32_t)grayDecode(v, numDimsX);
    decodeY.resize(gridResY);
    for (unsigned v = 0; v < gridResY; v++) decodeY[v] = (uint32_t)grayDecode(v, numDimsY);
    neighborMasks.resize(n);
    for (int b = 0; b < n; b++)
        neighborMasks[b] = b < numDimsX ? (2UL << b) - 1 : ((2UL << (b - numDimsX)) - 1) << numDimsX;
}

unsigned long TerrainGridMap::pointAt(unsigned long g) const {
    const unsigned long row = g >> numDimsX, col = g & maskX;
    return ((row ^ (row >> 1)) << numDimsX) | (col ^ (col >> 1));
}

void findMaxima(const TerrainGridMap& map, const float* fit, Point& globalMax, std::vector<Point>& localMax) {
    double best = -1.0;
    localMax.clear();
    const int n = map.numDims;
    unsigned long masks[32];
    for (int b = 0; b < n; b++) masks[b] = map.neighborMask(b);
    for (unsigned long p = 0; p < map.numGridPoints; p++) {
        const unsigned long g = map.gridIndex(p);
        const float f = fit[g];
        if (f > best) {
            best = f;
            globalMax = Point((long)p);
        }
        bool isMax = true;
        for (int b = 0; b < n; b++) {
            if (fit[g ^ masks[b]] > f) {
                isMax = false;
                break;
            }
        }
        if (isMax) localMax.push_back(Point((long)p));
    }
}

std::vector<ArcTarget> nonAdjacentNeighbors(const TerrainGridMap& map, unsigned long s) {
    std::vector<ArcTarget> out;
    unsigned rs, cs;
    map.gridRowColumn(s, rs, cs);
    for (int i = 0; i < map.numDims; i++) {
        const unsigned long q = s ^ (1UL << i);
        unsigned rq, cq;
        map.gridRowColumn(q, rq, cq);
        const int dr = std::abs((int)rs - (int)rq);
        const int dc = std::abs((int)cs - (int)cq);
        if (dr != 1 && dc != 1) out.push_back({q, map.gridIndex(q), dr + dc});
    }
    return out;
}

void terrainDotPosition(unsigned long gridIndex, int dotType, const float* vertex, double out[3]) {
    srand((unsigned)(gridIndex + dotType));
    rand();
    const double r1 = rand(), r2 = rand(), r3 = rand();
    out[0] = vertex[0] + (2.0 * r1 / 2147483647.0 - 1.0) * 0.0015;
    out[1] = vertex[1] + (2.0 * r2 / 2147483647.0 - 1.0) * 0.0015;
    out[2] = vertex[2] + 0.003 + r3 / 2147483647.0 * 0.001;
}

// ---- Flat polar walls ----------------------------------------------------------------

std::vector<long> polarPathPoints(int n, int path) {
    std::vector<long> pts;
    long p = 0;
    for (int j = 0; j <= n; j++) {
        pts.push_back(p);
        p ^= 1L << ((path + j) % n);
    }
    return pts;
}

PolarLayout::PolarLayout(int n, PolarShape s, bool caps, double thickness)
    : numDims(n),
      shape(s),
      haveEndCaps(caps),
      wallThickness(thickness),
      gridResX(4u * n),
      gridResY(n + 1u + (caps ? 2u : 0u)),
      numGridPoints((int)(4u * n * (n + 1u + (caps ? 2u : 0u)))),
      scaleFactor(1.0 / n),
      scaleZFactor(1.0 / 7.0) {}

double PolarLayout::leftX(int i, int j) const {
    const double sf = scaleFactor;
    if (shape == PolarShapeRectangular) return i * sf;
    const double c = 0.5 * (numDims - 1) / numDims;
    const double t = 2.0 * (j * sf) - 1.0;
    double x = (1.0 - t * t) * (i * sf - c) + c;
    if (shape == PolarShapeTwisted) x += 0.1 * j;
    return x;
}

// ---- Sphere ----------------------------------------------------------------------------

SphereLayout::SphereLayout(int n) : numDims(n), numGridPoints(n * (n - 1) + 2) {
    directions.assign(3 * (size_t)numGridPoints, 0.0);
    ringOf.assign(numGridPoints, n - 1);
    const int np = northPoleIndex(), sp = southPoleIndex();
    directions[3 * (size_t)np + 2] = 1.0;
    directions[3 * (size_t)sp + 2] = -1.0;
    for (int i = 0; i < n; i++) {
        for (int r = 0; r <= n - 2; r++) {
            const double theta = (r + 1) * M_PI / n;
            const double phi = -(2.0 * M_PI * i + M_PI * r) / n;
            double* d = &directions[3 * (size_t)(r * n + i)];
            d[0] = std::sin(theta) * std::cos(phi);
            d[1] = std::sin(theta) * std::sin(phi);
            d[2] = std::cos(theta);
            ringOf[r * n + i] = r;
        }
    }

    // Mesh cells. Below four bits the general caps degenerate: two bits form a single
    // diamond, one bit has no cell at all.
    if (n == 2) cellList.push_back({vertexIndex(0, 0), sp, vertexIndex(0, 1), np});
    if (n >= 3) {
        for (int i = 0; i < n; i++) {
            const int i1 = (i + 1) % n;
            for (int k = 2; k <= n - 2; k++)
                cellList.push_back(
                    {vertexIndex(k - 1, i), vertexIndex(k - 2, i1), vertexIndex(k - 1, i1), vertexIndex(k, i)});
            cellList.push_back({vertexIndex(0, i1), vertexIndex(1, i), vertexIndex(0, i), np});
            cellList.push_back({vertexIndex(n - 2, i), sp, vertexIndex(n - 2, i1), vertexIndex(n - 3, i1)});
        }
        for (int i = 0; i < n; i++) {
            const int i1 = (i + 1) % n;
            for (int k = 2; k <= n - 2; k++)
                candidates.push_back(
                    {{vertexIndex(k, i), vertexIndex(k - 1, i1), vertexIndex(k - 2, i1), vertexIndex(k - 1, i)},
                     false});
            candidates.push_back({{np, vertexIndex(0, i), vertexIndex(1, i), vertexIndex(0, i1)}, true});
            candidates.push_back({{vertexIndex(n - 2, i), sp, vertexIndex(n - 2, i1), vertexIndex(n - 3, i1)}, false});
        }
    }
}

int SphereLayout::vertexAtPosition(double px, double py, double pz) const {
    const int n = numDims;
    const double rho = std::sqrt(px * px + py * py + pz * pz);
    const double z = rho > 0 ? pz / rho : 1.0;
    if (z > 1.0) return northPoleIndex();
    if (z <= -1.0) return southPoleIndex();
    const double polar = std::acos(z);
    if (polar < 0.01) return northPoleIndex();
    if (M_PI - polar < 0.01) return southPoleIndex();
    const double ring = polar * n / M_PI - 1.0;
    double meridian = (-std::atan2(py, px) - M_PI * ring / n) * n / (2.0 * M_PI);
    if (meridian < -0.5) meridian += n;
    const int r = (int)std::floor(ring + 0.5);
    if (r < 0) return northPoleIndex();
    if (r > n - 2) return southPoleIndex();
    const int m = ((int)std::floor(meridian + 0.5)) % n;
    return n * r + m;
}

bool SphereLayout::nearestCell(const Point& point, const std::vector<long>& points, long selectedPoint,
                               Quad& corners) const {
    const uint32_t mask = numDims >= 32 ? 0xffffffffu : (1u << numDims) - 1u;
    auto bitsApart = [mask](long a, long b) { return __builtin_popcount((uint32_t)(a ^ b) & mask); };
    const bool twoFromSelection = bitsApart(point.values, selectedPoint) == 2;
    double minDist = 1e10;
    int bestKey = 1000;
    bool found = false;
    for (const Candidate& c : candidates) {
        double d = 0.0;
        int minRing = numDims;
        for (int v : c.corners) {
            d += (double)bitsApart(point.values, points[v]) / numDims;
            if (ringOf[v] < minRing) minRing = ringOf[v];
        }
        if (!(d < minDist + 0.0001)) continue;
        const int key = c.cap ? 0 : minRing + 1;
        if (!(d < minDist - 0.0001) && key >= bestKey) continue;
        if (c.cap && twoFromSelection) continue;
        minDist = d;
        corners = c.corners;
        bestKey = key;
        found = true;
    }
    return found;
}

void SphereLayout::dotPosition(const Point& point, int dotType, const std::vector<long>& points,
                               const std::vector<double>& positions, long selectedPoint, double out[3]) const {
    for (int v = 0; v < numGridPoints; v++) {
        if (points[v] == point.values) {
            for (int c = 0; c < 3; c++) out[c] = positions[3 * (size_t)v + c];
            return;
        }
    }
    Quad q;
    if (!nearestCell(point, points, selectedPoint, q)) {
        // Every point is a vertex below four bits; a point outside the landscape has no place.
        for (int c = 0; c < 3; c++) out[c] = positions[3 * (size_t)northPoleIndex() + c];
        return;
    }
    const double* c0 = &positions[3 * (size_t)q[0]];
    const double* c1 = &positions[3 * (size_t)q[1]];
    const double* c2 = &positions[3 * (size_t)q[2]];
    const double* c3 = &positions[3 * (size_t)q[3]];
    srand((unsigned)(point.values + dotType));
    rand();
    const double u = rand() / 2147483647.0;
    const double* t1 = u > 0.5 ? c2 : c1;
    const double* t2 = u > 0.5 ? c3 : c2;
    const double a = rand() / 2147483647.0;
    const double b = (1.0 - a) * rand() / 2147483647.0;
    for (int c = 0; c < 3; c++) out[c] = c0[c] + a * (t1[c] - c0[c]) + b * (t2[c] - c0[c]);
}

void SphereLayout::pushPointOutward(const double* in, double amount, double* out) {
    const double len = std::sqrt(in[0] * in[0] + in[1] * in[1] + in[2] * in[2]);
    const double s = len > 0 ? 1.0 + amount / std::pow(len, 1.4) : 1.0;
    for (int c = 0; c < 3; c++) out[c] = in[c] * s;
}

// ---- Dots ------------------------------------------------------------------------------

bool DotSwitches::anyShown() const {
    for (bool on : memoryDotsOn)
        if (on) return true;
    return agentHistoryDotsOn || agentConsideredDotsOn || agentConsideredDotsOthersOn || globalMaxOn || localMaxOn;
}

bool isRecentPoint(const PointInfo& info, unsigned int curStep, int numRecentSteps) {
    if (info.visits.empty()) return false;
    return (long)info.visits.front().step >= (long)curStep - (long)numRecentSteps;
}

namespace {
void addMemoryPoints(const Memory* memory, unsigned int curStep, int numRecentSteps, std::vector<Point>& out) {
    if (!memory) return;
    out.reserve(out.size() + memory->getNumPoints());
    for (const PointInfo* info : memory->getPoints())
        if (isRecentPoint(*info, curStep, numRecentSteps)) out.push_back(info->point);
}
}  // namespace

namespace {
// Memories: one list per switch; only the public and private switches gather points.
void planMemoryDots(const Simulation& sim, const DotSwitches& sw, DotPlan& plan) {
    const unsigned int step = sim.getCurrentStep();
    std::vector<Point> lists[MemTypeNum];
    if (sw.memoryDotsOn[MemTypePublic]) {
        addMemoryPoints(sim.getPublicMemory(), step, sw.numRecentSteps, lists[MemTypePublic]);
        plan.legend.push_back(DotTypePublic);
    }
    if (sw.memoryDotsOn[MemTypePrivate]) {
        for (const auto& a : sim.getAgents()) {
            if (sw.only1Agent && a->getId() != sim.getChosenAgent()) continue;
            addMemoryPoints(&a->getMemory(MemTypePrivate), step, sw.numRecentSteps, lists[MemTypePrivate]);
        }
        plan.legend.push_back(DotTypePrivate);
    }
    for (int m = 0; m < MemTypeNum; m++)
        if (sw.memoryDotsOn[m] && !lists[m].empty()) plan.groups.push_back({(DotType)m, std::move(lists[m])});
}

// The chosen agent's recent positions and the points its strategies considered in this step.
void planAgentDots(const Simulation& sim, const DotSwitches& sw, const Agent& agent, DotPlan& plan) {
    const std::vector<Point>& h = agent.getPointHistory();
    if (sw.agentHistoryDotsOn && !h.empty()) {
        const size_t m = std::min(h.size(), (size_t)std::max(sw.numRecentSteps, 0));
        plan.groups.push_back({DotTypeHistory, std::vector<Point>(h.end() - m, h.end())});
        plan.legend.push_back(DotTypeHistory);
    }
    if (!sw.agentConsideredDotsOn) return;
    const int e = sw.agentConsideredDotsOthersOn ? sim.getParameters().nExtraStrategies : 0;
    // Agents record the points of at most two other strategies.
    const int last = std::min(e, 2);
    for (int j = 0; j <= last; j++) {
        const std::vector<Point>& pts = j == 0 ? agent.getSearchPoints() : agent.getSearchPointsOfOthers(j - 1);
        plan.groups.push_back({(DotType)(DotTypeConsidered1 + j), pts});
        plan.legend.push_back((DotType)(DotTypeConsidered1 + j));
    }
}

DotPlan planDotsUnchecked(const Simulation& sim, const DotSwitches& sw, bool maximaShown, const Point& globalMax,
                          const std::vector<Point>& localMax) {
    DotPlan plan;
    planMemoryDots(sim, sw, plan);
    const int chosen = sim.getChosenAgent();
    const auto& agents = sim.getAgents();
    if (chosen >= 0 && chosen < (int)agents.size()) planAgentDots(sim, sw, *agents[chosen], plan);
    if (maximaShown && sw.globalMaxOn) {
        plan.groups.push_back({DotTypeGlobalMax, {globalMax}});
        plan.legend.push_back(DotTypeGlobalMax);
    }
    if (maximaShown && sw.localMaxOn) {
        plan.groups.push_back({DotTypeLocalMax, localMax});
        plan.legend.push_back(DotTypeLocalMax);
    }
    return plan;
}
}  // namespace

DotPlan planDots(const Simulation& sim, const DotSwitches& sw, bool maximaShown, const Point& globalMax,
                 const std::vector<Point>& localMax) {
    DotPlan plan = planDotsUnchecked(sim, sw, maximaShown, globalMax, localMax);
    // "No point" (-1) has no place in a view: an agent that has not moved yet, maxima not
    // computed yet.
    const long numPoints = 1L << sim.getParameters().n;
    for (DotGroupPlan& g : plan.groups)
        g.points.erase(std::remove_if(g.points.begin(), g.points.end(),
                                      [&](const Point& p) { return p.values < 0 || p.values >= numPoints; }),
                       g.points.end());
    return plan;
}

}  // namespace visgeom
