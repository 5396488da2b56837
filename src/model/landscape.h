// The NK landscape: base fitness of every point and the crowding penalty of recent visits.
#pragma once

#include <cstdint>
#include <list>
#include <utility>
#include <vector>

#include "fitnesscache.h"
#include "flockvisitindex.h"
#include "inline.h"
#include "params.h"
#include "stepclock.h"

struct FlockVisit {
    Point point;
    int timeStamp;
    unsigned int realTimeStep;
    FlockVisit(const Point& p, int ts, unsigned int step) : point(p), timeStamp(ts), realTimeStep(step) {}
};

// A bin owns its visits, oldest first.
typedef std::vector<FlockVisit> FlockVisitList;

class Landscape {
public:
    // Largest K: a component index needs K + 1 bits and seeds wrap at 32 bits.
    static constexpr unsigned int kMaxK = 31;

    const SimuParameters& params;
    unsigned int* fitnessDimBaseSeeds;
    unsigned short initRandomState[3];
    FlockVisitList* flockVisitBins;  // (N+1) x (N+1), row-major [sum][sumFlipped]
    FitnessCache cache;
    const StepClock& clock;
    int curTimeStamp;
    std::vector<Point> queuedVisitPoints;

    // N outside 1..31 or K above 31 is an internal error: the reader refuses them first.
    Landscape(const SimuParameters& params, const StepClock& clock);
    ~Landscape();
    Landscape(const Landscape&) = delete;
    Landscape& operator=(const Landscape&) = delete;

    // Draws the landscape on the first run (and on every run with landscapePerRun).
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
    // Kept per locus in window order (windowOf), so that a point's bits select an entry.
    std::vector<double> componentTable;
    // Independent components (landscapeComponents 1): the landscape stream's state after
    // the locus seeds; component (dim, index) is draw dim * 2^(K+1) + index + 1 after it.
    uint64_t componentStreamStart = 0;
    bool drawn = false;  // a landscape was drawn
    // The same visits by point, for a look-up of the points within the radius.
    FlockVisitIndex visitIndex;
    // Loci masks of the points within the radius (popcount <= R), for the radius they were
    // made for; empty when there are too many to be worth looking up one by one.
    struct BallMask {
        uint32_t mask;
        int dist;
    };
    std::vector<BallMask> ballMasks;
    int ballRadius = -1;
    // A close visit newer than the cached stamp, with its bin in scan order.
    struct CloseVisit {
        int bin;
        int timeStamp;
        unsigned int realTimeStep;
        int dist;
    };
    std::vector<CloseVisit> closeVisits;  // reused between calls
    // Rule A's collection: (realTimeStep << 32 | scan order, distance).
    std::vector<std::pair<uint64_t, int>> decayScratch;

    // The crowded fitness of `point` from its cached item (all zeros: none) and the visits
    // since; `visitCount` receives the item's count with those visits applied.
    double currentFitness(const Point& point, const FlockCacheItem& item, double& visitCount);

    // The bits of a locus and the K loci after it, in point order (the locus lowest), for
    // a component index (the locus highest, above its context).
    unsigned long windowOf(unsigned long index) const {
        return ((index & ((1ul << kBits) - 1)) << 1) | (index >> kBits);
    }
    double component(unsigned int dim, unsigned long index) const;
    void draw(unsigned int run);
    double independentComponent(unsigned int dim, unsigned long index) const;
    void buildComponentTable();
    void buildBallMasks();
    template <class F>
    void forEachWindowBin(int sum, int sumFlipped, F fn);
    size_t visitsInWindow(int sum, int sumFlipped);
    void collectFromBins(uint32_t bits, int sum, int sumFlipped, int startTime);
    void collectFromBall(uint32_t bits, int startTime, bool ordered);
    void collectCloseVisits(const Point& point, int startTime, bool ordered);
    double applyDecayingCrowding(const Point& point, int startTime, double fitness, double& visitCount);
    double applyConstantCrowding(const Point& point, int startTime, double fitness);
};
