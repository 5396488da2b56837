// NK base fitness, the per-point fitness cache and the crowding penalty of recorded visits.
#include "landscape.h"
#include "util.h"

#include <algorithm>
#include <string>

namespace {

// Above this many components the table costs more memory than it is worth; the
// components are then computed per evaluation instead (same values).
constexpr unsigned long kMaxComponentTableEntries = 1ul << 22;

// The 48-bit generator's state `steps` draws after `x`, in O(log steps): the composition
// of affine steps is affine, and squaring the step doubles the distance.
uint64_t skipAhead48(uint64_t x, uint64_t steps) {
    uint64_t mult = rng48::kMult, add = rng48::kAdd;
    uint64_t accMult = 1, accAdd = 0;
    for (; steps; steps >>= 1) {
        if (steps & 1) {
            accMult = (accMult * mult) & rng48::kMask;
            accAdd = (accAdd * mult + add) & rng48::kMask;
        }
        add = ((mult + 1) * add) & rng48::kMask;
        mult = (mult * mult) & rng48::kMask;
    }
    return (accMult * x + accAdd) & rng48::kMask;
}

}  // namespace

Landscape::Landscape(const SimuParameters& params, const StepClock& clock)
    : params(params),
      fitnessDimBaseSeeds(nullptr),
      initRandomState{0, 0, 0},
      flockVisitBins(nullptr),
      cache(params.n),
      clock(clock),
      curTimeStamp(1),
      nLoci(params.n),
      kBits(params.k),
      visitIndex(params.n) {
    // A point lives in a signed 32-bit integer with -1 and -2 reserved, so N wrapping or
    // a silently truncated index would corrupt every result: refuse loudly instead.
    if (nLoci == 0 || nLoci > Point::kMaxN)
        NK_FATAL(Internal, "Landscape: N must be in 1..%u, got %u\n", Point::kMaxN, nLoci);
    if (kBits > kMaxK) NK_FATAL(Internal, "Landscape: K must be at most %u, got %u\n", kMaxK, kBits);
    fitnessDimBaseSeeds = new unsigned int[nLoci]();
    flockVisitBins = new FlockVisitList[(nLoci + 1) * (nLoci + 1)];
}

Landscape::~Landscape() {
    delete[] fitnessDimBaseSeeds;
    delete[] flockVisitBins;
}

void Landscape::initRun(unsigned int run) {
    if (run == 0 || !drawn || params.landscapePerRun) draw(run);
    curTimeStamp = 1;
}

// All runs share the landscape of the configured seed, unless each run draws its own: from the
// seed and its index (runSeeding 1), or where the previous run's landscape left the stream.
void Landscape::draw(unsigned int run) {
    if (params.landscapePerRun && params.runSeeding == kRunSeedingIndependent)
        rng48::seedRunStream(initRandomState, params.landscapeseed, run, rng48::RunStream::Landscape);
    else if (run == 0 || !drawn)
        rng48::seedState(initRandomState, params.landscapeseed);
    else if (params.landscapeComponents == 1)
        // Past the previous landscape's independent components, so that no two share a draw.
        rng48::store(initRandomState, skipAhead48(componentStreamStart, (uint64_t)nLoci << (kBits + 1)));
    for (unsigned int dim = 0; dim < nLoci; dim++)
        fitnessDimBaseSeeds[dim] = (unsigned int)rng48::nrand48(initRandomState);
    componentStreamStart = rng48::load(initRandomState);
    buildComponentTable();
    drawn = true;
}

void Landscape::finishRun() {
    cache.clear();
    for (unsigned int i = 0; i < (nLoci + 1) * (nLoci + 1); i++) flockVisitBins[i].clear();
    visitIndex.clear();
    lastVisitStamp = 0;
}

unsigned long Landscape::fitidx(long value, unsigned int context) const {
    return (unsigned long)value * (1ul << kBits) + context;
}

double Landscape::component(unsigned int dim, unsigned long index) const {
    if (params.landscapeComponents == 1) return independentComponent(dim, index);
    // The seed sum wraps in 32 bits; srand48 reads only those.
    return rng48::firstDrand48AfterSeed((uint32_t)(fitnessDimBaseSeeds[dim] + index));
}

void Landscape::buildComponentTable() {
    const unsigned long stride = 1ul << (kBits + 1);
    componentTable.clear();
    if ((unsigned long)nLoci * stride > kMaxComponentTableEntries) {
        componentTable.shrink_to_fit();
        return;
    }
    componentTable.resize(nLoci * stride);
    // Independent components are drawn in index order, one pass of the stream.
    unsigned short state[3];
    rng48::store(state, componentStreamStart);
    for (unsigned int dim = 0; dim < nLoci; dim++)
        for (unsigned long index = 0; index < stride; index++)
            componentTable[dim * stride + windowOf(index)] =
                params.landscapeComponents == 1 ? rng48::erand48(state) : component(dim, index);
}

// --- independent components (landscapeComponents 1) ------------------------------------
// Component (dim, index) is erand48 draw number dim * 2^(K+1) + index + 1 of the landscape
// stream after the N locus seeds: locus by locus, and within a locus by index. Each is drawn
// once per landscape, so unlike the seeded components no two are related by a fixed step.

double Landscape::independentComponent(unsigned int dim, unsigned long index) const {
    const uint64_t draw = ((uint64_t)dim << (kBits + 1)) + index + 1;
    return (double)skipAhead48(componentStreamStart, draw) * (1.0 / 281474976710656.0);
}

void Landscape::locusComponents(unsigned int dim, std::vector<double>& out) const {
    const unsigned long stride = 1ul << (kBits + 1);
    out.resize(stride);
    if (!componentTable.empty()) {
        for (unsigned long index = 0; index < stride; index++)
            out[index] = componentTable[dim * stride + windowOf(index)];
    } else if (params.landscapeComponents == 1) {
        unsigned short state[3];
        rng48::store(state, skipAhead48(componentStreamStart, (uint64_t)dim << (kBits + 1)));
        for (double& c : out) c = rng48::erand48(state);
    } else {
        for (unsigned long index = 0; index < stride; index++) out[index] = component(dim, index);
    }
}
// --- end of independent components -----------------------------------------------------

double Landscape::getBaseFitness(const Point& point) const {
    // Bits above N never take part in a component; masking keeps table indices in range
    // even for the "no point" value.
    const uint32_t v = (uint32_t)point.values & (uint32_t)((1ull << nLoci) - 1);
    const unsigned long stride = 1ul << (kBits + 1);
    double sum = 0.0;
    if (kBits <= nLoci && !componentTable.empty()) {
        // Two copies of the bit string side by side turn the cyclic window of a locus and
        // the K loci after it into a shift, and the table is kept in window order.
        const uint64_t twice = (uint64_t)v | ((uint64_t)v << nLoci);
        const double* table = componentTable.data();
        for (unsigned int dim = 0; dim < nLoci; dim++, table += stride) sum += table[(twice >> dim) & (stride - 1)];
    } else {
        for (unsigned int dim = 0; dim < nLoci; dim++) {
            unsigned long context = 0;
            unsigned int locus = dim;
            for (unsigned int j = 0; j < kBits; j++) {
                if (++locus >= nLoci) locus = 0;
                context |= (unsigned long)((v >> locus) & 1u) << j;
            }
            const unsigned long index = fitidx((long)((v >> dim) & 1u), (unsigned int)context);
            sum += componentTable.empty() ? component(dim, index) : componentTable[dim * stride + windowOf(index)];
        }
    }
    const double mean = sum / nLoci;
    return 0.5 + (mean - 0.5) * params.fitnessStretchCoef;
}

double Landscape::taperFactor(int distance) const {
    return std::max(0.0, 1.0 - (double)distance / (double)(params.flockingRadius + 1));
}

double Landscape::computeDecayingFlockIntensity(double numVisits) const {
    return params.flockingIntensity + std::min(numVisits / params.flockingIntensityDecay, 1.0) *
                                          (params.flockingIntensityEnd - params.flockingIntensity);
}

void Landscape::visit(const Point& point) {
    int sum, sumFlipped;
    point.getBitSums(nLoci, sum, sumFlipped);
    bin(sum, sumFlipped).emplace_back(point, curTimeStamp, clock.now());
    visitIndex.add((uint32_t)point.values & Point::allMask(nLoci), curTimeStamp, clock.now());
    lastVisitStamp = std::max(lastVisitStamp, curTimeStamp);
    curTimeStamp++;
}

void Landscape::visitQueuedPoints() {
    for (const Point& p : queuedVisitPoints) visit(p);
    queuedVisitPoints.clear();
}

double Landscape::getFitnessValue(const Point& point) {
    FitnessCache::Entry entry = cache.locate(point.values);
    FlockCacheItem item = entry.read();
    double visitCount;
    const double fitness = currentFitness(point, item, visitCount);

    item.fitness = fitness;
    item.timeStamp = curTimeStamp;
    item.visitCount = (unsigned int)visitCount;
    entry.write(item);
    curTimeStamp++;
    return fitness;
}

double Landscape::peekFitnessValue(const Point& point) {
    // get() inserts nothing, unlike locate().
    double visitCount;
    return currentFitness(point, cache.get(point.values), visitCount);
}

double Landscape::currentFitness(const Point& point, const FlockCacheItem& item, double& visitCount) {
    // A new item is all zeros: no stamp, no visits applied.
    const int startTime = item.timeStamp;
    double fitness = startTime != 0 ? item.fitness : getBaseFitness(point);
    visitCount = item.visitCount;
    if (startTime < lastVisitStamp) {
        if (params.flockingIntensityDecay > 0)
            fitness = applyDecayingCrowding(point, startTime, fitness, visitCount);
        else
            fitness = applyConstantCrowding(point, startTime, fitness);
    }
    return fitness;
}

// --- close visits ----------------------------------------------------------------------
// The visits within the radius that are newer than a point's cached stamp, in the order a
// scan of the bin window meets them: bins by first then second index, each newest first.
// Two ways give the same list: scanning the window's bins, which costs one test per visit
// newer than the stamp, or looking up each point within the radius, which costs one test
// per point. The cheaper one is taken per call; a point with no visit within the radius
// at all (the index keeps a bitmap of them) needs neither.

void Landscape::buildBallMasks() {
    ballRadius = params.flockingRadius;
    ballMasks.clear();
    // Beyond this many points a look-up per point loses to scanning even crowded bins.
    const size_t maxBall = 4096;
    std::vector<BallMask> masks;
    if (ballRadius >= 0) masks.push_back({0, 0});
    for (int d = 1; d <= ballRadius && d <= (int)nLoci && !masks.empty(); d++) {
        // Extend every mask of distance d - 1 by a locus above its highest one.
        const size_t count = masks.size();
        for (size_t i = 0; i < count && masks.size() <= maxBall; i++) {
            if (masks[i].dist != d - 1) continue;
            const uint32_t m = masks[i].mask;
            const unsigned int from = m ? 32 - __builtin_clz(m) : 0;
            for (unsigned int locus = from; locus < nLoci; locus++) masks.push_back({m | (1u << locus), d});
        }
        if (masks.size() > maxBall) masks.clear();
    }
    ballMasks.swap(masks);
    std::vector<uint32_t> ball;
    for (const BallMask& m : ballMasks) ball.push_back(m.mask);
    visitIndex.setBall(ball);
}

// The window's bins that can hold a point: sum - sumFlipped = 2 * (1-bits in the upper
// half) - floor(N/2), so a bin whose indices differ in parity from floor(N/2) stays empty.
// Calls fn(a, b) in scan order.
template <class F>
void Landscape::forEachWindowBin(int sum, int sumFlipped, F fn) {
    const int radius = params.flockingRadius, n = (int)nLoci;
    const int aEnd = std::min(sum + radius, n), bStart = std::max(sumFlipped - radius, 0),
              bEnd = std::min(sumFlipped + radius, n);
    for (int a = std::max(sum - radius, 0); a <= aEnd; a++)
        for (int b = bStart + ((a - bStart - n / 2) & 1); b <= bEnd; b += 2) fn(a, b);
}

// Visits in the window's bins (old ones included).
size_t Landscape::visitsInWindow(int sum, int sumFlipped) {
    size_t count = 0;
    forEachWindowBin(sum, sumFlipped, [&](int a, int b) { count += bin(a, b).size(); });
    return count;
}

void Landscape::collectFromBins(uint32_t bits, int sum, int sumFlipped, int startTime) {
    const int radius = params.flockingRadius, n = (int)nLoci;
    const uint32_t lociMask = Point::allMask(nLoci);
    forEachWindowBin(sum, sumFlipped, [&](int a, int b) {
        const FlockVisitList& visits = bin(a, b);
        for (size_t i = visits.size(); i-- > 0;) {
            const FlockVisit& v = visits[i];
            if (v.timeStamp <= startTime) break;
            const int d = bitCount(((uint32_t)v.point.values & lociMask) ^ bits);
            if (d <= radius) closeVisits.push_back({a * (n + 1) + b, v.timeStamp, v.realTimeStep, d});
        }
    });
}

void Landscape::collectFromBall(uint32_t bits, int startTime, bool ordered) {
    const int n = (int)nLoci;
    for (const BallMask& m : ballMasks) {
        const uint32_t q = bits ^ m.mask;
        int r = visitIndex.newest(q);
        if (r < 0) continue;
        int binIndex = 0;
        if (ordered) {
            int a, b;
            Point(q).getBitSums(nLoci, a, b);
            binIndex = a * (n + 1) + b;
        }
        for (; r >= 0; r = visitIndex.record(r).older) {
            const FlockVisitIndex::Record& v = visitIndex.record(r);
            if (v.timeStamp <= startTime) break;
            closeVisits.push_back({binIndex, v.timeStamp, v.realTimeStep, m.dist});
        }
    }
    if (!ordered) return;
    std::sort(closeVisits.begin(), closeVisits.end(), [](const CloseVisit& x, const CloseVisit& y) {
        return x.bin != y.bin ? x.bin < y.bin : x.timeStamp > y.timeStamp;
    });
}

// Fills closeVisits; in scan order when `ordered`, in any order otherwise (enough where
// every close visit weighs the same).
void Landscape::collectCloseVisits(const Point& point, int startTime, bool ordered) {
    if (ballRadius != params.flockingRadius) buildBallMasks();
    int sum, sumFlipped;
    point.getBitSums(nLoci, sum, sumFlipped);
    const uint32_t bits = (uint32_t)point.values & Point::allMask(nLoci);
    closeVisits.clear();
    if (!visitIndex.anyNear(bits)) return;
    // The bins cost one test per newer visit, the ball one per point. Newer visits are at
    // most the stamps taken since (every visit takes one) and at most the window's visits.
    // Counting the window's visits costs a few loads per bin, worth it only where the ball
    // has many more points than the window has bins.
    const size_t ball = ballMasks.size();
    const size_t windowBins = (size_t)(2 * params.flockingRadius + 1) * (2 * params.flockingRadius + 1);
    if (ball == 0 || (size_t)(lastVisitStamp - startTime) <= ball ||
        (ball > 4 * windowBins && visitsInWindow(sum, sumFlipped) <= ball)) {
        collectFromBins(bits, sum, sumFlipped, startTime);
        return;
    }
    collectFromBall(bits, startTime, ordered);
}
// --- end of close visits ---------------------------------------------------------------

double Landscape::applyDecayingCrowding(const Point& point, int startTime, double fitness, double& visitCount) {
    const int maxPerStep = params.maxVisitsPerStep;
    if (maxPerStep <= 0) return fitness;  // no visit may be collected
    const bool uniform = params.uniformFlocking;
    collectCloseVisits(point, startTime, true);
    if (closeVisits.empty()) return fitness;

    // Order by step; the scan position in the key keeps visits of one step in the order
    // they were met. Taking the first maxPerStep of each step afterwards is the same as
    // refusing more while collecting.
    decayScratch.clear();
    for (size_t i = 0; i < closeVisits.size(); i++)
        decayScratch.emplace_back(((uint64_t)closeVisits[i].realTimeStep << 32) | i, uniform ? 0 : closeVisits[i].dist);
    std::sort(decayScratch.begin(), decayScratch.end(),
              [](const std::pair<uint64_t, int>& x, const std::pair<uint64_t, int>& y) { return x.first < y.first; });

    const double maxDrop = params.maxDropPerStep;
    double lowerFitnessBound = 0.0;
    long long lastVisitTime = -1;
    unsigned int groupStep = 0;
    int takenInGroup = 0;
    for (size_t i = 0; i < decayScratch.size(); i++) {
        const unsigned int step = (unsigned int)(decayScratch[i].first >> 32);
        if (i == 0 || step != groupStep) {
            groupStep = step;
            takenInGroup = 0;
        }
        if (takenInGroup >= maxPerStep) continue;
        takenInGroup++;

        if ((long long)step != lastVisitTime && maxDrop > 0) {
            lowerFitnessBound = fitness - maxDrop;
            lastVisitTime = step;
        }
        fitness = fitness * computeDecayingFlockIntensity(visitCount);
        if (!uniform) fitness = fitness * taperFactor(decayScratch[i].second);
        if (fitness > 1) fitness = 1;
        if (fitness < lowerFitnessBound) fitness = lowerFitnessBound;
        visitCount = visitCount + 1;
    }
    return fitness;
}

double Landscape::applyConstantCrowding(const Point& point, int startTime, double fitness) {
    const double intensity = params.flockingIntensity;
    const bool uniform = params.uniformFlocking;
    if (uniform && intensity == 1.0) return fitness;  // every factor is exactly 1
    const bool capAtOne = intensity > 1;
    // Equal factors make the order irrelevant: one multiplication per close visit.
    collectCloseVisits(point, startTime, !uniform);
    for (const CloseVisit& v : closeVisits) {
        if (uniform)
            fitness = fitness * intensity;
        else
            fitness *= (intensity * taperFactor(v.dist));
        // Raising crowding saturates at 1 and then ignores the rest of the window.
        if (capAtOne && fitness > 1) return 1.0;
    }
    return fitness;
}
