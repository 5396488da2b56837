// NK base fitness, the per-point fitness cache and the crowding penalty of recorded visits.
#include "landscape.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// Above this many components the table costs more memory than it is worth; the
// components are then computed per evaluation instead (same values).
constexpr unsigned long kMaxComponentTableEntries = 1ul << 22;

// Bit count without a library call (the build does not assume a popcount instruction);
// the crowding scan counts the differing loci of every visit in the window.
inline int bitCount(uint32_t x) {
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = (x + (x >> 4)) & 0x0f0f0f0fu;
    return (int)((x * 0x01010101u) >> 24);
}

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

Landscape::Landscape(const SimuParameters& params, const unsigned int& curStep)
    : params(params),
      fitnessDimBaseSeeds(nullptr),
      initRandomState{0, 0, 0},
      flockVisitBins(nullptr),
      curStep(curStep),
      curTimeStamp(1),
      nLoci(params.n),
      kBits(params.k) {
    // A point lives in a signed 32-bit integer with -1 and -2 reserved, so N wrapping or
    // a silently truncated index would corrupt every result: refuse loudly instead.
    if (nLoci == 0 || nLoci > Point::kMaxN)
        throw std::logic_error("Landscape: N must be in 1.." + std::to_string(Point::kMaxN) + ", got " +
                               std::to_string(nLoci));
    if (kBits > kMaxK)
        throw std::logic_error("Landscape: K must be at most " + std::to_string(kMaxK) + ", got " +
                               std::to_string(kBits));
    Point::n = nLoci;
    fitnessDimBaseSeeds = new unsigned int[nLoci]();
    flockVisitBins = new FlockVisitList[(nLoci + 1) * (nLoci + 1)];
    cache.set_empty_key(-2);
}

Landscape::~Landscape() {
    delete[] fitnessDimBaseSeeds;
    delete[] flockVisitBins;
}

void Landscape::initRun(unsigned int run) {
    if (run == 0) {
        rng48::seedState(initRandomState, params.landscapeseed);
        for (unsigned int dim = 0; dim < nLoci; dim++)
            fitnessDimBaseSeeds[dim] = (unsigned int)rng48::nrand48(initRandomState);
        componentStreamStart = rng48::load(initRandomState);
        buildComponentTable();
    }
    curTimeStamp = 1;
}

void Landscape::finishRun() {
    // Keep the table's size: the next run fills it about as far, and growing it again
    // costs more than the memory kept.
    cache.clear_no_resize();
    for (unsigned int i = 0; i < (nLoci + 1) * (nLoci + 1); i++) flockVisitBins[i].clear();
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
    if (params.landscapeComponents == 1) {
        // The table's order is the draw order: one pass of the stream fills it.
        unsigned short state[3];
        rng48::store(state, componentStreamStart);
        for (double& c : componentTable) c = rng48::erand48(state);
        return;
    }
    for (unsigned int dim = 0; dim < nLoci; dim++)
        for (unsigned long index = 0; index < stride; index++)
            componentTable[dim * stride + index] = component(dim, index);
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
        std::copy(componentTable.begin() + dim * stride, componentTable.begin() + (dim + 1) * stride, out.begin());
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
    if (kBits <= nLoci) {
        // Two copies of the bit string side by side turn the cyclic context into a shift.
        const uint64_t twice = (uint64_t)v | ((uint64_t)v << nLoci);
        const uint64_t contextMask = (1ull << kBits) - 1;
        const double* table = componentTable.empty() ? nullptr : componentTable.data();
        for (unsigned int dim = 0; dim < nLoci; dim++) {
            const unsigned long index =
                (unsigned long)(((twice >> (dim + 1)) & contextMask) | ((uint64_t)((v >> dim) & 1u) << kBits));
            sum += table ? table[dim * stride + index] : component(dim, index);
        }
    } else {
        // K above N: the context runs round the loci more than once.
        for (unsigned int dim = 0; dim < nLoci; dim++) {
            unsigned long context = 0;
            unsigned int locus = dim;
            for (unsigned int j = 0; j < kBits; j++) {
                if (++locus >= nLoci) locus = 0;
                context |= (unsigned long)((v >> locus) & 1u) << j;
            }
            const unsigned long index = fitidx((long)((v >> dim) & 1u), (unsigned int)context);
            sum += componentTable.empty() ? component(dim, index) : componentTable[dim * stride + index];
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
    point.getBitSums(sum, sumFlipped);
    bin(sum, sumFlipped).emplace_back(point, curTimeStamp, curStep);
    lastVisitStamp = std::max(lastVisitStamp, curTimeStamp);
    curTimeStamp++;
}

void Landscape::visitQueuedPoints() {
    for (const Point& p : queuedVisitPoints) visit(p);
    queuedVisitPoints.clear();
}

double Landscape::getFitnessValue(const Point& point) {
    // Look up before inserting: the map's insert may grow the table even for a key it holds.
    auto found = cache.find(point.getHash());
    const bool cached = found != cache.end();
    double visitCount;
    const double fitness = currentFitness(point, cached ? &found->second : nullptr, visitCount);

    FlockCacheItem& item = cached ? found->second : cache[point.getHash()];
    item.fitness = fitness;
    item.timeStamp = curTimeStamp;
    item.visitCount = visitCount;
    curTimeStamp++;
    return fitness;
}

double Landscape::peekFitnessValue(const Point& point) {
    auto found = cache.find(point.getHash());
    double visitCount;
    return currentFitness(point, found != cache.end() ? &found->second : nullptr, visitCount);
}

double Landscape::currentFitness(const Point& point, const FlockCacheItem* item, double& visitCount) {
    double fitness = item ? item->fitness : getBaseFitness(point);
    const int startTime = item ? item->timeStamp : 0;
    visitCount = item ? item->visitCount : 0.0;
    if (startTime < lastVisitStamp) {
        int sum, sumFlipped;
        point.getBitSums(sum, sumFlipped);
        if (params.flockingIntensityDecay > 0)
            fitness = applyDecayingCrowding(point, sum, sumFlipped, startTime, fitness, visitCount);
        else
            fitness = applyConstantCrowding(point, sum, sumFlipped, startTime, fitness);
    }
    return fitness;
}

double Landscape::applyDecayingCrowding(const Point& point, int sum, int sumFlipped, int startTime, double fitness,
                                        double& visitCount) {
    const int maxPerStep = params.maxVisitsPerStep;
    if (maxPerStep <= 0) return fitness;  // no visit may be collected
    const int radius = params.flockingRadius;
    const bool uniform = params.uniformFlocking;
    const int n = (int)nLoci;
    const int start1 = std::max(sum - radius, 0), end1 = std::min(sum + radius, n);
    const int start2 = std::max(sumFlipped - radius, 0), end2 = std::min(sumFlipped + radius, n);

    // Collect every close visit in scan order, then order by step; the scan position in
    // the key keeps visits of one step in the order they were met. Taking the first
    // maxPerStep of each step afterwards is the same as refusing more while collecting.
    const uint32_t pointBits = (uint32_t)point.values, lociMask = Point::allMask();
    decayScratch.clear();
    uint64_t order = 0;
    for (int a = start1; a <= end1; a++) {
        for (int b = start2; b <= end2; b++) {
            const FlockVisitList& visits = bin(a, b);
            for (size_t i = visits.size(); i-- > 0;) {
                const FlockVisit& v = visits[i];
                if (v.timeStamp <= startTime) break;
                // Distance within the radius is what both closeness tests ask.
                const int d = bitCount(((uint32_t)v.point.values ^ pointBits) & lociMask);
                if (d > radius) continue;
                decayScratch.emplace_back(((uint64_t)v.realTimeStep << 32) | order++, uniform ? 0 : d);
            }
        }
    }
    if (decayScratch.empty()) return fitness;
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

double Landscape::applyConstantCrowding(const Point& point, int sum, int sumFlipped, int startTime, double fitness) {
    const double intensity = params.flockingIntensity;
    const bool uniform = params.uniformFlocking;
    if (uniform && intensity == 1.0) return fitness;  // every factor is exactly 1
    const bool capAtOne = intensity > 1;
    const int radius = params.flockingRadius;
    const int n = (int)nLoci;
    const int start1 = std::max(sum - radius, 0), end1 = std::min(sum + radius, n);
    const int start2 = std::max(sumFlipped - radius, 0), end2 = std::min(sumFlipped + radius, n);
    const uint32_t pointBits = (uint32_t)point.values, lociMask = Point::allMask();

    for (int a = start1; a <= end1; a++) {
        for (int b = start2; b <= end2; b++) {
            const FlockVisitList& visits = bin(a, b);
            for (size_t i = visits.size(); i-- > 0;) {
                const FlockVisit& v = visits[i];
                if (v.timeStamp <= startTime) break;
                const int d = bitCount(((uint32_t)v.point.values ^ pointBits) & lociMask);
                if (uniform) {
                    if (d > radius) continue;
                    fitness = fitness * intensity;
                } else {
                    if (!(d < radius + 0.0001)) continue;
                    fitness *= (intensity * taperFactor(d));
                }
                // Raising crowding saturates at 1 and then ignores the rest of the window.
                if (capAtOne && fitness > 1) return 1.0;
            }
        }
    }
    return fitness;
}
