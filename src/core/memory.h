// A bounded memory of points kept in order of fitness, best first.
#pragma once

#include <cstdint>
#include <list>
#include <set>
#include <unordered_map>

#include "constants.h"
#include "inline.h"

class Landscape;

struct Visit {
    unsigned int step;
    VisitType type;
    Visit(unsigned int s, VisitType t) : step(s), type(t) {}
};

struct PointInfo {
    Point point;
    double fitness;
    std::list<Visit> visits;  // newest first
    // Order of the latest accepted write; breaks fitness ties (earlier write first).
    uint64_t seq = 0;

    PointInfo(const Point& p, double f) : point(p), fitness(f) {}
    void print() const;
};

struct SimplePointInfo {
    Point point;
    double fitness;
    VisitType visitType;
    SimplePointInfo(const Point& p, double f, VisitType t) : point(p), fitness(f), visitType(t) {}
};

struct PointInfoOrder {
    bool operator()(const PointInfo* a, const PointInfo* b) const {
        if (a->fitness != b->fitness) return a->fitness > b->fitness;
        return a->seq < b->seq;
    }
};

// Ordered by fitness, highest first, earlier write first among equals. A balanced tree
// and a point index keep every write logarithmic even for unbounded memories.
typedef std::set<PointInfo*, PointInfoOrder> PointInfoList;

class Memory {
public:
    unsigned int maxMemSize;
    PointInfoList points;
    unsigned int numPoints;
    std::list<SimplePointInfo> queuedPoints;
    const unsigned int& curStep;
    unsigned int lastUpdateStep;

    Memory(unsigned int maxMemSize, const unsigned int& curStep);
    ~Memory();
    Memory(const Memory&) = delete;
    Memory& operator=(const Memory&) = delete;

    bool addPoint(const Point& point, double fitness, VisitType type);
    bool addPoint(const SimplePointInfo& info) { return addPoint(info.point, info.fitness, info.visitType); }
    void queueAddPoint(const Point& point, double fitness, VisitType type) {
        queuedPoints.emplace_back(point, fitness, type);
    }
    bool hasQueuedPoints() const { return !queuedPoints.empty(); }
    void addQueuedPoints();
    void populate(unsigned int numPoints, unsigned long numPossiblePoints, unsigned short* initMemRandomState,
                  Landscape& landscape);

    const PointInfoList& getPoints() const { return points; }
    unsigned int getNumPoints() const { return numPoints; }
    unsigned int getLastUpdateStep() const { return lastUpdateStep; }
    const PointInfo& getBestPoint() const { return **points.begin(); }
    void print(int count) const;

private:
    // Where each held point sits in `points`, so a rewrite leaves the tree without a search.
    std::unordered_map<int32_t, PointInfoList::iterator> index;
    uint64_t nextSeq = 0;
};
