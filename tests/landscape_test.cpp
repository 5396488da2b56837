// NK base fitness against the definition, the per-point cache, time stamps and the
// three crowding rules, with expected values computed here from the definitions.
#include "landscape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The NK model written out with the C library generator: seeds from nrand48 on the
// landscape stream, one srand48/drand48 per component.
struct ReferenceNK {
    int n, k;
    double stretch;
    std::vector<long> seeds;

    ReferenceNK(int n, int k, int landscapeseed, double stretch = 1.0) : n(n), k(k), stretch(stretch) {
        unsigned short st[3];
        st[0] = st[1] = st[2] = (unsigned short)(landscapeseed & 0xffff);
        for (int dim = 0; dim < n; dim++) seeds.push_back(::nrand48(st));
    }

    double fitness(long v) const {
        double sum = 0;
        for (int dim = 0; dim < n; dim++) {
            unsigned long index = (v >> dim) & 1;
            for (int j = k - 1; j >= 0; j--) index = index * 2 + ((v >> ((dim + 1 + j) % n)) & 1);
            srand48((long)(int32_t)(uint32_t)(seeds[dim] + index));
            sum += drand48();
        }
        return 0.5 + (sum / n - 0.5) * stretch;
    }
};

long flip(long v, std::initializer_list<int> loci) {
    for (int l : loci) v ^= 1L << l;
    return v;
}

double taper(int d, int radius) { return std::max(0.0, 1.0 - (double)d / (double)(radius + 1)); }

class LandscapeTest : public ::testing::Test {
protected:
    std::vector<std::string> names;
    SimuParameters params{names};
    unsigned int step = 0;
    const Point p{0b010101};
    const ReferenceNK ref{6, 2, 5};

    std::unique_ptr<Landscape> make(unsigned int n = 6, unsigned int k = 2, int seed = 5) {
        params.n = n;
        params.k = k;
        params.landscapeseed = seed;
        auto l = std::make_unique<Landscape>(params, step);
        l->initRun(0);
        return l;
    }

    // Constant crowding (rules B and C), or decaying crowding (rule A) when `decay` > 0.
    void crowding(double intensity, int radius, bool uniform, double decay = 0, double end = 0, int maxVisits = 0,
                  double maxDrop = -1.0) {
        params.flockingIntensity = intensity;
        params.flockingRadius = radius;
        params.uniformFlocking = uniform;
        params.flockingIntensityDecay = decay;
        params.flockingIntensityEnd = end;
        params.maxVisitsPerStep = maxVisits;
        params.maxDropPerStep = maxDrop;
    }
};

}  // namespace

TEST_F(LandscapeTest, BaseFitnessMatchesTheDefinition) {
    struct Case {
        unsigned int n, k;
        int seed;
        double stretch;
    };
    // K = 0, K = N (the context reaches the locus itself), K > N (loci repeat), negative
    // seeds, seeds whose low 16 bits alone matter, a stretch, and landscapes too large for
    // a component table (sampled).
    for (Case c : {Case{4, 2, 42, 1}, Case{5, 0, 3, 1}, Case{3, 3, 1, 1}, Case{3, 7, 9, 1}, Case{6, 5, -77, 1},
                   Case{7, 1, 0x10005, 1}, Case{1, 0, 11, 1}, Case{5, 1, 8, 2.5}, Case{20, 5, 1, 1},
                   Case{31, 20, 1234, 1}, Case{31, 31, -5, 1}}) {
        params.fitnessStretchCoef = c.stretch;
        auto l = make(c.n, c.k, c.seed);
        const ReferenceNK r((int)c.n, (int)c.k, c.seed, c.stretch);
        for (unsigned int dim = 0; dim < c.n; dim++) EXPECT_EQ((long)l->fitnessDimBaseSeeds[dim], r.seeds[dim]);
        unsigned short draw[3] = {1, 2, 3};
        for (long i = 0; i < 256; i++) {
            const long v = c.n <= 8 ? i % (1L << c.n) : ::nrand48(draw) & ((1L << c.n) - 1);
            ASSERT_EQ(l->getBaseFitness(Point(v)), r.fitness(v)) << "n " << c.n << " k " << c.k << " v " << v;
            ASSERT_EQ(l->getFitnessValue(Point(v)), r.fitness(v));
        }
    }
    EXPECT_EQ(make(2, 1)->fitidx(1, 0), 2ul);  // the locus bit above the K context bits
    EXPECT_EQ(make(2, 1)->fitidx(0, 1), 1ul);
}

TEST_F(LandscapeTest, EveryEvaluationAndVisitTakesItsOwnStamp) {
    auto l = make();
    EXPECT_EQ(l->curTimeStamp, 1);
    const double f1 = l->getFitnessValue(p);
    EXPECT_EQ(l->getFitnessValue(p), f1);
    EXPECT_EQ(l->curTimeStamp, 3);
    ASSERT_EQ(l->cache.size(), 1u);
    EXPECT_EQ(l->cache.get(p.values).timeStamp, 2);
    EXPECT_EQ(l->cache.get(p.values).fitness, f1);

    step = 4;
    l->queueVisit(p);  // queueing takes no stamp
    EXPECT_EQ(l->curTimeStamp, 3);
    l->visitQueuedPoints();
    EXPECT_EQ(l->curTimeStamp, 4);
    int sum, sumFlipped;
    p.getBitSums(6, sum, sumFlipped);
    ASSERT_EQ(l->bin(sum, sumFlipped).size(), 1u);
    const FlockVisit& v = l->bin(sum, sumFlipped)[0];
    EXPECT_TRUE(v.point == p && v.timeStamp == 3 && v.realTimeStep == 4u);
}

TEST_F(LandscapeTest, VisitIsAppliedOnceAndOnlyAfterTheQueueIsFlushed) {
    crowding(0.5, 1, true);
    auto l = make();
    const double b = ref.fitness(p.values);
    EXPECT_EQ(l->getFitnessValue(p), b);
    l->queueVisit(p);
    EXPECT_EQ(l->getFitnessValue(p), b);  // queued visits do not count yet
    l->visitQueuedPoints();
    EXPECT_FALSE(l->hasQueuedPoints());
    EXPECT_EQ(l->getFitnessValue(p), b * 0.5);
    EXPECT_EQ(l->getFitnessValue(p), b * 0.5);  // no newer visit: nothing more to apply
    l->visit(Point(flip(p.values, {5})));       // distance 1
    l->visit(Point(flip(p.values, {0, 3})));    // distance 2: outside the radius
    EXPECT_EQ(l->getFitnessValue(p), b * 0.5 * 0.5);
    // A point never evaluated before absorbs at once the visits within its radius.
    const Point q(flip(p.values, {0}));
    EXPECT_EQ(l->getFitnessValue(q), ref.fitness(q.values) * 0.5 * 0.5);
}

TEST_F(LandscapeTest, ConstantCrowdingMatchesBruteForceInScanOrder) {
    // Tapered factors differ, so the product depends on their order: the one a scan of the
    // bins meets, bins by (sum, sumFlipped), each newest first.
    auto crowd = [](double f, long v, const std::vector<long>& visits, int radius, bool uniform, int n) {
        for (int a = 0; a <= n; a++)
            for (int b = 0; b <= n; b++)
                for (auto w = visits.rbegin(); w != visits.rend(); ++w) {
                    int s, sf;
                    Point(*w).getBitSums(n, s, sf);
                    const int d = __builtin_popcountl(v ^ *w);
                    if (s == a && sf == b && d <= radius) f *= uniform ? 0.9 : 0.9 * taper(d, radius);
                }
        return f;
    };
    for (int radius : {1, 2}) {
        for (unsigned int n : {6u, 7u}) {
            for (bool uniform : {true, false}) {
                crowding(0.9, radius, uniform);
                auto l = make(n, 2, 13);
                const ReferenceNK r((int)n, 2, 13);
                // The four corner bins (all zeros, all ones, either half set) and random points;
                // then a few visits more, applied to the cached values.
                const long all = (1L << n) - 1, lower = (1L << (n - n / 2)) - 1;
                std::vector<long> first = {0, all, lower, all & ~lower}, second;
                unsigned short draw[3] = {7, 8, (unsigned short)n};
                for (int i = 0; i < 60; i++) first.push_back(::nrand48(draw) & all);
                for (int i = 0; i < 6; i++) second.push_back(::nrand48(draw) & all);
                std::vector<double> expected((size_t)1 << n);
                for (const auto* batch : {&first, &second}) {
                    for (long w : *batch) l->visit(Point(w));
                    for (long v = 0; v <= all; v++) {
                        const double before = batch == &first ? r.fitness(v) : expected[v];
                        expected[v] = crowd(before, v, *batch, radius, uniform, (int)n);
                        ASSERT_EQ(l->getFitnessValue(Point(v)), expected[v]) << "v " << v << " radius " << radius;
                    }
                }
            }
        }
    }
    EXPECT_EQ(make()->taperFactor(0), 1.0);
    EXPECT_EQ(make()->taperFactor(3), 0.0);  // R + 1 with R = 2
    EXPECT_EQ(make()->taperFactor(7), 0.0);  // never negative
}

TEST_F(LandscapeTest, TaperMultipliesTheIntensityForConstantAndTheFitnessForDecayingCrowding) {
    // A point and an intensity for which (b * I) * t and b * (I * t) round apart.
    const double t = taper(1, 2);
    long chosen = -1;
    double intensity = 0;
    for (long v = 0; v < 64 && chosen < 0; v++)
        for (int i = 1; i < 1000 && chosen < 0; i++)
            if ((ref.fitness(v) * (i / 1000.0)) * t != ref.fitness(v) * ((i / 1000.0) * t)) {
                chosen = v;
                intensity = i / 1000.0;
            }
    ASSERT_GE(chosen, 0);
    for (bool decaying : {false, true}) {
        crowding(intensity, 2, false, decaying ? 1.0 : 0, intensity, 10);
        auto l = make();
        l->visit(Point(flip(chosen, {2})));
        const double b = ref.fitness(chosen);
        EXPECT_EQ(l->getFitnessValue(Point(chosen)), decaying ? (b * intensity) * t : b * (intensity * t));
    }
}

TEST_F(LandscapeTest, RaisingCrowdingStopsAtExactlyOne) {
    crowding(1.5, 1, false);
    auto l = make();
    ASSERT_GT(ref.fitness(p.values) * 1.5 * 1.5 * 1.5, 1.0);
    // A neighbour with one more 1-bit lies in a bin scanned after p's own bin; its factor
    // 1.5 * 0.5 would lower the fitness again if the scan went on after the cap.
    l->visit(Point(flip(p.values, {1})));
    for (int i = 0; i < 3; i++) l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), 1.0);
    EXPECT_EQ(l->getFitnessValue(p), 1.0);
}

TEST_F(LandscapeTest, DecayingCrowdingTakesTheFirstVisitsMetPerStepAndNoneForALimitOfZero) {
    crowding(0.5, 4, false, 1.0, 0.5, 1);
    auto l = make();
    const Point far(0b001110), near(0b010110);  // distances 4 and 2, both in p's bin
    ASSERT_EQ(p.hammingDist(far, 6), 4);
    ASSERT_EQ(p.hammingDist(near, 6), 2);
    // Same step: a bin is read newest first, so only the later visit (near) counts.
    step = 3;
    l->visit(far);
    l->visit(near);
    double expected = ref.fitness(p.values) * 0.5;
    expected = expected * taper(2, 4);
    EXPECT_EQ(l->getFitnessValue(p), expected);
    EXPECT_EQ(l->cache.get(p.values).visitCount, 1.0);
    // The limit is per step: the next step's visit counts again.
    step = 4;
    l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), expected * 0.5 * 1.0);

    crowding(0.5, 1, true, 1.0, 0.5, 0);
    l = make();
    l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), ref.fitness(p.values));
}

TEST_F(LandscapeTest, DecayingCrowdingAppliesOlderStepsFirst) {
    crowding(1.5, 1, false, 1.0, 1.5, 10);
    auto l = make();
    // An even point whose fitness exceeds 1 after one full-intensity visit, but not after both.
    long v = 0;
    while (v < 64 && !(ref.fitness(v) * 1.5 > 1.0 && ref.fitness(v) * 1.5 * 0.5 * 1.5 < 1.0)) v += 2;
    ASSERT_LT(v, 64);
    const Point a(v), q(flip(v, {0}));  // q: one more 1-bit, its bin is scanned after a's
    step = 1;
    l->visit(q);
    step = 2;
    l->visit(a);
    // Scan order meets step 2 first; the collection is replayed by step: q, then a.
    double expected = ref.fitness(v) * 1.5;
    expected = std::min(expected * 0.5, 1.0);
    expected = std::min(expected * 1.5 * 1.0, 1.0);
    EXPECT_EQ(l->getFitnessValue(a), expected);
    ASSERT_GT(expected * 1.5, 1.0);
    step = 3;
    l->visit(a);
    EXPECT_EQ(l->getFitnessValue(a), 1.0);  // held at exactly 1
}

TEST_F(LandscapeTest, DecayingCrowdingLimitsTheDropPerStep) {
    crowding(0.5, 1, true, 2.0, 0.9, 10, 0.1);
    auto l = make();
    // The factor moves from the intensity to its end value over `decay` visits, then stays.
    EXPECT_EQ(l->computeDecayingFlockIntensity(0), 0.5);
    EXPECT_DOUBLE_EQ(l->computeDecayingFlockIntensity(1), 0.7);
    EXPECT_DOUBLE_EQ(l->computeDecayingFlockIntensity(2), 0.9);
    EXPECT_EQ(l->computeDecayingFlockIntensity(50), l->computeDecayingFlockIntensity(2));
    crowding(0.5, 1, true, 1.0, 0.5, 10, 0.1);
    const double b = ref.fitness(p.values);
    ASSERT_GT(b, 0.3);                                            // one halving would drop by more than 0.1
    for (long v = 40; v < 56; v++) l->getFitnessValue(Point(v));  // enough for the cache's arrays
    step = 1;
    for (int i = 0; i < 3; i++) l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), b - 0.1);
    step = 2;
    l->visit(p);
    l->visit(Point(flip(p.values, {2})));
    EXPECT_EQ(l->getFitnessValue(p), std::max((b - 0.1) * 0.5, (b - 0.1) - 0.1));
    EXPECT_EQ(l->cache.get(p.values).visitCount, 5.0);
    // A fresh point replays both steps in one evaluation with the same bounds.
    const Point q(flip(p.values, {3}));
    double expected = ref.fitness(q.values), lower = expected - 0.1;
    for (int i = 0; i < 3; i++) expected = std::max(expected * 0.5, lower);  // step 1: p three times
    lower = expected - 0.1;
    expected = std::max(expected * 0.5, lower);  // step 2: p; the other visit is at distance 2
    EXPECT_EQ(l->getFitnessValue(q), expected);
}

TEST_F(LandscapeTest, FinishRunAndNextRunRestoreBaseFitness) {
    crowding(0.5, 1, true);
    auto l = make();
    l->visit(p);
    // Every point: the cache outgrows its map and becomes an array indexed by point.
    for (long v = 0; v < 64; v++)
        EXPECT_EQ(l->getFitnessValue(Point(v)), ref.fitness(v) * (Point(v).hammingDist(p, 6) <= 1 ? 0.5 : 1.0));
    l->finishRun();
    EXPECT_EQ(l->cache.size(), 0u);
    int sum, sumFlipped;
    p.getBitSums(6, sum, sumFlipped);
    EXPECT_TRUE(l->bin(sum, sumFlipped).empty());
    l->initRun(1);
    EXPECT_EQ(l->curTimeStamp, 1);
    for (unsigned int dim = 0; dim < 6; dim++) EXPECT_EQ((long)l->fitnessDimBaseSeeds[dim], ref.seeds[dim]);
    for (long v = 0; v < 64; v++) ASSERT_EQ(l->getFitnessValue(Point(v)), ref.fitness(v)) << v;
}
