// The NK landscape: base fitness of every point and the crowding penalty of recent visits.
#pragma once

#include <sparsehash/dense_hash_map>

#include <cstdint>
#include <list>
#include <utility>
#include <vector>

#include "inline.h"
#include "params.h"

struct FlockVisit {
    Point point;
    int timeStamp;
    unsigned int realTimeStep;
    FlockVisit(const Point& p, int ts, unsigned int step) : point(p), timeStamp(ts), realTimeStep(step) {}
};

struct FlockCacheItem {
    double fitness = 0.0;
    int timeStamp = 0;
    double visitCount = 0.0;
};

// A bin owns its visits, oldest first.
typedef std::vector<FlockVisit> FlockVisitList;
typedef google::dense_hash_map<long, FlockCacheItem> FlockCacheHashMap;

class Landscape {
public:
    // Largest K: a component index needs K + 1 bits and seeds wrap at 32 bits.
    static constexpr unsigned int kMaxK = 31;

    const SimuParameters& params;
    unsigned int* fitnessDimBaseSeeds;
    unsigned short initRandomState[3];
    FlockVisitList* flockVisitBins;  // (N+1) x (N+1), row-major [sum][sumFlipped]
    FlockCacheHashMap cache;
    const unsigned int& curStep;
    int curTimeStamp;
    std::vector<Point> queuedVisitPoints;

    // Throws std::logic_error when N is 0 or above 31, or K above 31.
    Landscape(const SimuParameters& params, const unsigned int& curStep);
    ~Landscape();
    Landscape(const Landscape&) = delete;
    Landscape& operator=(const Landscape&) = delete;

    void initRun(unsigned int run);
    void finishRun();

    double getFitnessValue(const Point& point);
    // What getFitnessValue would return now, without its side effects: the cache and the time
    // stamp stay as they are, so reading values for output changes no later result.
    double peekFitnessValue(const Point& point);
    // Fitness without crowding; touches neither the cache nor the time stamp.
    double getBaseFitness(const Point& point) const;
    unsigned long fitidx(long value, unsigned int context) const;
    // The 2^(K+1) components of one locus in index order (fitidx), for tools that walk
    // the whole landscape; the values getBaseFitness sums.
    void locusComponents(unsigned int dim, std::vector<double>& out) const;

    void queueVisit(const Point& point) { queuedVisitPoints.push_back(point); }
    bool hasQueuedPoints() const { return !queuedVisitPoints.empty(); }
    void visitQueuedPoints();
    void visit(const Point& point);

    double taperFactor(int distance) const;
    double computeDecayingFlockIntensity(double numVisits) const;

    FlockVisitList& bin(int sum, int sumFlipped) { return flockVisitBins[sum * (nLoci + 1) + sumFlipped]; }

private:
    unsigned int nLoci;
    unsigned int kBits;
    // Stamp of the newest recorded visit of the run (0: none); a cached item at least
    // this new has nothing to apply, so its evaluation skips the bin scan.
    int lastVisitStamp = 0;
    // Components of every (locus, index) pair, built once per landscape when small enough;
    // empty otherwise (then each component is computed on demand, with the same result).
    std::vector<double> componentTable;
    // Independent components (landscapeComponents 1): the landscape stream's state after
    // the locus seeds; component (dim, index) is draw dim * 2^(K+1) + index + 1 after it.
    uint64_t componentStreamStart = 0;
    // Rule A's collection, reused between calls: (realTimeStep << 32 | scan order, distance).
    std::vector<std::pair<uint64_t, int>> decayScratch;

    // The crowded fitness of `point` from its cached item (null: none) and the visits since;
    // `visitCount` receives the item's count with those visits applied.
    double currentFitness(const Point& point, const FlockCacheItem* item, double& visitCount);
    double component(unsigned int dim, unsigned long index) const;
    double independentComponent(unsigned int dim, unsigned long index) const;
    void buildComponentTable();
    double applyDecayingCrowding(const Point& point, int sum, int sumFlipped, int startTime, double fitness,
                                 double& visitCount);
    double applyConstantCrowding(const Point& point, int sum, int sumFlipped, int startTime, double fitness);
};
