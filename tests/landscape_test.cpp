// NK base fitness against the definition, the per-point cache, time stamps and the
// three crowding rules, with expected values computed here from the definitions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "landscape.h"

namespace {

// The NK model written out with the C library generator: seeds from nrand48 on the
// landscape stream, one srand48/drand48 per component.
struct ReferenceNK {
    int n, k;
    std::vector<long> seeds;

    ReferenceNK(int n, int k, int landscapeseed) : n(n), k(k) {
        unsigned short st[3];
        st[0] = st[1] = st[2] = (unsigned short)(landscapeseed & 0xffff);
        for (int dim = 0; dim < n; dim++) seeds.push_back(::nrand48(st));
    }

    double componentAt(int dim, unsigned long index) const {
        srand48((long)(int32_t)(uint32_t)(seeds[dim] + index));
        return drand48();
    }

    double mean(long v) const {
        double sum = 0;
        for (int dim = 0; dim < n; dim++) {
            const unsigned long value = (v >> dim) & 1;
            unsigned long context = 0;
            for (int j = 0; j < k; j++) context += (unsigned long)((v >> ((dim + 1 + j) % n)) & 1) << j;
            sum += componentAt(dim, value * (1ul << k) + context);
        }
        return sum / n;
    }

    double fitness(long v, double stretch = 1.0) const { return 0.5 + (mean(v) - 0.5) * stretch; }
};

class LandscapeTest : public ::testing::Test {
protected:
    std::vector<std::string> names;
    SimuParameters params{names};
    unsigned int step = 0;

    std::unique_ptr<Landscape> make(unsigned int n, unsigned int k, int seed) {
        params.n = n;
        params.k = k;
        params.landscapeseed = seed;
        auto l = std::make_unique<Landscape>(params, step);
        l->initRun(0);
        return l;
    }

    // Constant crowding (rules B and C) with the given strength.
    void constantCrowding(double intensity, int radius, bool uniform) {
        params.flockingIntensity = intensity;
        params.flockingIntensityDecay = 0;
        params.flockingRadius = radius;
        params.uniformFlocking = uniform;
    }

    // Decaying crowding (rule A).
    void decayingCrowding(double start, double end, double decay, int radius, bool uniform, int maxVisits,
                          double maxDrop) {
        params.flockingIntensity = start;
        params.flockingIntensityEnd = end;
        params.flockingIntensityDecay = decay;
        params.flockingRadius = radius;
        params.uniformFlocking = uniform;
        params.maxVisitsPerStep = maxVisits;
        params.maxDropPerStep = maxDrop;
    }

    double decayingFactor(double visitsSoFar) const {
        return params.flockingIntensity + std::min(visitsSoFar / params.flockingIntensityDecay, 1.0) *
                                              (params.flockingIntensityEnd - params.flockingIntensity);
    }

    static double taper(int d, int radius) { return std::max(0.0, 1.0 - (double)d / (double)(radius + 1)); }
};

// A point of a 6-locus landscape and an intensity for which (b * I) * t and b * (I * t)
// round apart, so that a test can tell one combined factor from two multiplications.
bool findRoundingApart(const ReferenceNK& ref, double t, long& point, double& intensity) {
    for (long v = 0; v < 64; v++) {
        const double b = ref.fitness(v);
        for (int i = 1; i < 1000; i++) {
            intensity = i / 1000.0;
            point = v;
            if ((b * intensity) * t != b * (intensity * t)) return true;
        }
    }
    return false;
}

long flip(long v, std::initializer_list<int> loci) {
    for (int l : loci) v ^= 1L << l;
    return v;
}

}  // namespace

// ---- Base fitness -------------------------------------------------------------------

TEST_F(LandscapeTest, BaseFitnessOfTwoLociByHand) {
    auto l = make(2, 1, 7);
    ReferenceNK ref(2, 1, 7);
    // Point "10": locus 0 is 0 with follower locus 1 = 1 -> index 0*2 + 1;
    //             locus 1 is 1 with follower locus 0 = 0 -> index 1*2 + 0.
    srand48((long)(int32_t)(uint32_t)(ref.seeds[0] + 1));
    const double c0 = drand48();
    srand48((long)(int32_t)(uint32_t)(ref.seeds[1] + 2));
    const double c1 = drand48();
    const double expected = 0.5 + ((c0 + c1) / 2 - 0.5) * 1.0;
    EXPECT_EQ(l->getBaseFitness(Point(0b10)), expected);
    EXPECT_EQ(l->getFitnessValue(Point(0b10)), expected);
    EXPECT_EQ(l->fitidx(1, 0), 2ul);
    EXPECT_EQ(l->fitidx(0, 1), 1ul);
}

TEST_F(LandscapeTest, BaseFitnessMatchesTheDefinitionForEveryPoint) {
    struct Case {
        unsigned int n, k;
        int seed;
    };
    // K = 0 (a component sees its own bit only), K = N (the context reaches the locus
    // itself), K > N (loci repeat), negative seeds and seeds whose low 16 bits alone matter.
    for (Case c : {Case{4, 2, 42}, Case{5, 0, 3}, Case{3, 3, 1}, Case{3, 7, 9}, Case{6, 5, -77}, Case{7, 1, 0x10005},
                   Case{1, 0, 11}, Case{1, 4, 12}}) {
        auto l = make(c.n, c.k, c.seed);
        ReferenceNK ref((int)c.n, (int)c.k, c.seed);
        for (unsigned int dim = 0; dim < c.n; dim++) EXPECT_EQ((long)l->fitnessDimBaseSeeds[dim], ref.seeds[dim]);
        for (long v = 0; v < (1L << c.n); v++) {
            ASSERT_EQ(l->getBaseFitness(Point(v)), ref.fitness(v)) << "n " << c.n << " k " << c.k << " v " << v;
            ASSERT_EQ(l->getFitnessValue(Point(v)), ref.fitness(v));
        }
    }
}

TEST_F(LandscapeTest, LargeLandscapesMatchTheDefinitionWithAndWithoutTable) {
    struct Case {
        unsigned int n, k;
        int seed;
    };
    // 20 x 2^6 components fit a table; 31 x 2^21 are computed per evaluation.
    for (Case c : {Case{20, 5, 1}, Case{31, 20, 1234}, Case{31, 31, -5}}) {
        auto l = make(c.n, c.k, c.seed);
        ReferenceNK ref((int)c.n, (int)c.k, c.seed);
        unsigned short draw[3] = {1, 2, 3};
        for (int i = 0; i < 200; i++) {
            const long v = ::nrand48(draw) & ((1L << c.n) - 1);
            ASSERT_EQ(l->getBaseFitness(Point(v)), ref.fitness(v)) << "n " << c.n << " v " << v;
        }
    }
}

TEST_F(LandscapeTest, StretchSpreadsFitnessAroundHalf) {
    params.fitnessStretchCoef = 2.5;
    auto l = make(5, 1, 8);
    ReferenceNK ref(5, 1, 8);
    for (long v = 0; v < 32; v++) ASSERT_EQ(l->getFitnessValue(Point(v)), 0.5 + (ref.mean(v) - 0.5) * 2.5);
}

TEST_F(LandscapeTest, SizesOutsideThePointRangeAreRefused) {
    params.k = 0;
    params.n = 0;
    EXPECT_THROW(Landscape(params, step), std::logic_error);
    params.n = 32;
    EXPECT_THROW(Landscape(params, step), std::logic_error);
    params.n = 31;
    params.k = 32;
    EXPECT_THROW(Landscape(params, step), std::logic_error);
    params.k = 31;
    EXPECT_NO_THROW(Landscape(params, step));
    EXPECT_EQ(Point::n, 31u);
}

// ---- Time stamps and cache ------------------------------------------------------------

TEST_F(LandscapeTest, EveryEvaluationAndVisitTakesItsOwnStamp) {
    auto l = make(6, 2, 5);
    EXPECT_EQ(l->curTimeStamp, 1);
    const Point p(0b010101);
    const double f1 = l->getFitnessValue(p);
    EXPECT_EQ(l->curTimeStamp, 2);
    auto it = l->cache.find(p.getHash());
    ASSERT_TRUE(it != l->cache.end());
    EXPECT_EQ(it->second.fitness, f1);
    EXPECT_EQ(it->second.timeStamp, 1);
    EXPECT_EQ(it->second.visitCount, 0.0);

    const double f2 = l->getFitnessValue(p);
    EXPECT_EQ(f2, f1);
    EXPECT_EQ(l->curTimeStamp, 3);
    EXPECT_EQ(l->cache.find(p.getHash())->second.timeStamp, 2);
    EXPECT_EQ(l->cache.size(), 1u);

    step = 4;
    l->queueVisit(p);  // queueing takes no stamp
    EXPECT_EQ(l->curTimeStamp, 3);
    l->visitQueuedPoints();
    EXPECT_EQ(l->curTimeStamp, 4);
    int sum, sumFlipped;
    p.getBitSums(sum, sumFlipped);
    ASSERT_EQ(l->bin(sum, sumFlipped).size(), 1u);
    EXPECT_EQ(l->bin(sum, sumFlipped)[0].timeStamp, 3);
    EXPECT_EQ(l->bin(sum, sumFlipped)[0].realTimeStep, 4u);
    EXPECT_EQ(l->bin(sum, sumFlipped)[0].point, p);

    l->getFitnessValue(Point(0b111111));
    EXPECT_EQ(l->curTimeStamp, 5);
    EXPECT_EQ(l->cache.size(), 2u);
}

TEST_F(LandscapeTest, VisitIsAppliedOnceAndOnlyAfterTheQueueIsFlushed) {
    constantCrowding(0.5, 1, true);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    const Point p(0b010101);
    const double b = ref.fitness(p.values);
    EXPECT_EQ(l->getFitnessValue(p), b);

    l->queueVisit(p);
    EXPECT_TRUE(l->hasQueuedPoints());
    EXPECT_EQ(l->getFitnessValue(p), b);  // queued visits do not count yet
    l->visitQueuedPoints();
    EXPECT_FALSE(l->hasQueuedPoints());
    EXPECT_EQ(l->getFitnessValue(p), b * 0.5);
    EXPECT_EQ(l->getFitnessValue(p), b * 0.5);  // no newer visit: nothing more to apply

    l->visit(Point(flip(p.values, {5})));  // distance 1
    EXPECT_EQ(l->getFitnessValue(p), b * 0.5 * 0.5);
    l->visit(Point(flip(p.values, {0, 3})));  // distance 2: outside the radius
    EXPECT_EQ(l->getFitnessValue(p), b * 0.5 * 0.5);

    // A point never evaluated before absorbs at once the two visits within its radius.
    const Point q(flip(p.values, {0}));
    EXPECT_EQ(l->getFitnessValue(q), ref.fitness(q.values) * 0.5 * 0.5);
}

TEST_F(LandscapeTest, UniformCrowdingReachesExactlyTheRadius) {
    constantCrowding(0.8, 2, true);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    const Point p(0b010101);
    const double b = ref.fitness(p.values);
    l->getFitnessValue(p);
    l->visit(Point(flip(p.values, {0, 5})));  // distance R
    EXPECT_EQ(l->getFitnessValue(p), b * 0.8);
    l->visit(Point(flip(p.values, {0, 1, 5})));  // distance R + 1
    EXPECT_EQ(l->getFitnessValue(p), b * 0.8);
}

TEST_F(LandscapeTest, TaperedCrowdingAtTheRadiusIsIntensityOverRPlusOne) {
    constantCrowding(0.8, 2, false);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    const Point p(0b010101);
    const double b = ref.fitness(p.values);
    l->getFitnessValue(p);
    l->visit(Point(flip(p.values, {0, 5})));  // distance R
    const double f = l->getFitnessValue(p);
    EXPECT_EQ(f, b * (0.8 * (1.0 - 2.0 / 3.0)));
    EXPECT_DOUBLE_EQ(f, b * 0.8 / 3.0);
    l->visit(Point(flip(p.values, {0, 1, 5})));  // distance R + 1
    EXPECT_EQ(l->getFitnessValue(p), f);
    l->visit(p);  // distance 0: the full intensity
    EXPECT_EQ(l->getFitnessValue(p), f * (0.8 * 1.0));

    EXPECT_EQ(l->taperFactor(0), 1.0);
    EXPECT_EQ(l->taperFactor(3), 0.0);
    EXPECT_EQ(l->taperFactor(7), 0.0);  // never negative
}

TEST_F(LandscapeTest, TaperedConstantCrowdingMultipliesByOneCombinedFactor) {
    constantCrowding(0.5, 2, false);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    const double t = taper(1, 2);
    long chosen;
    double intensity;
    ASSERT_TRUE(findRoundingApart(ref, t, chosen, intensity));
    params.flockingIntensity = intensity;
    l->visit(Point(flip(chosen, {2})));
    EXPECT_EQ(l->getFitnessValue(Point(chosen)), ref.fitness(chosen) * (intensity * t));
}

TEST_F(LandscapeTest, ConstantCrowdingMatchesBruteForceOverAllVisits) {
    for (int radius : {1, 2}) {
        for (unsigned int n : {6u, 7u}) {
            for (bool uniform : {true, false}) {
                constantCrowding(0.9, radius, uniform);
                auto l = make(n, 2, 13);
                ReferenceNK ref((int)n, 2, 13);
                std::vector<long> visits;
                unsigned short draw[3] = {7, 8, (unsigned short)n};
                // The four corner bins (all zeros, all ones, either half set) and random points.
                const long all = (1L << n) - 1, lower = (1L << (n - n / 2)) - 1;
                visits = {0, all, lower, all & ~lower};
                for (int i = 0; i < 60; i++) visits.push_back(::nrand48(draw) & all);
                for (long w : visits) l->visit(Point(w));
                for (long v = 0; v < (1L << n); v++) {
                    // Every visit within the radius, whichever bin it lies in, counts once.
                    double expected = ref.fitness(v);
                    for (long w : visits) {
                        int d = __builtin_popcountl(v ^ w);
                        if (d <= radius) expected *= uniform ? 0.9 : 0.9 * taper(d, radius);
                    }
                    const double f = l->getFitnessValue(Point(v));
                    // Equal factors make the order irrelevant; tapered ones round differently
                    // in scan order, by a few units in the last place per visit.
                    if (uniform) {
                        ASSERT_EQ(f, expected) << "v " << v;
                    } else {
                        ASSERT_NEAR(f, expected, expected * 1e-13) << "v " << v;
                    }
                }
            }
        }
    }
}

// ---- Raising crowding (intensity above 1) ---------------------------------------------

TEST_F(LandscapeTest, RaisingCrowdingMultipliesWhileBelowOne) {
    constantCrowding(1.2, 1, true);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    long v = 0;
    while (ref.fitness(v) * 1.2 * 1.2 >= 1.0) v++;
    l->visit(Point(v));
    l->visit(Point(flip(v, {3})));
    EXPECT_EQ(l->getFitnessValue(Point(v)), ref.fitness(v) * 1.2 * 1.2);
}

TEST_F(LandscapeTest, RaisingCrowdingStopsAtExactlyOne) {
    constantCrowding(1.5, 1, false);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    const Point p(0b010101);
    ASSERT_GT(ref.fitness(p.values) * 1.5 * 1.5 * 1.5, 1.0);
    // A neighbour with one more 1-bit lies in a bin scanned after p's own bin; its factor
    // 1.5 * 0.5 would lower the fitness again if the scan went on after the cap.
    l->visit(Point(flip(p.values, {1})));
    for (int i = 0; i < 3; i++) l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), 1.0);
    EXPECT_EQ(l->getFitnessValue(p), 1.0);
}

// ---- Decaying crowding ----------------------------------------------------------------

TEST_F(LandscapeTest, DecayingCrowdingFactorFollowsTheVisitCount) {
    decayingCrowding(0.5, 0.9, 2.0, 1, true, 10, -1.0);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    EXPECT_EQ(l->computeDecayingFlockIntensity(0), 0.5);
    EXPECT_DOUBLE_EQ(l->computeDecayingFlockIntensity(1), 0.7);
    EXPECT_DOUBLE_EQ(l->computeDecayingFlockIntensity(2), 0.9);
    EXPECT_DOUBLE_EQ(l->computeDecayingFlockIntensity(50), 0.9);

    const Point p(0b010101);
    double expected = ref.fitness(p.values);
    step = 1;
    l->visit(p);
    l->visit(Point(flip(p.values, {4})));
    expected = expected * decayingFactor(0);
    expected = expected * decayingFactor(1);
    EXPECT_EQ(l->getFitnessValue(p), expected);
    EXPECT_EQ(l->cache.find(p.getHash())->second.visitCount, 2.0);

    step = 2;
    l->visit(Point(flip(p.values, {0})));
    l->visit(Point(flip(p.values, {0, 1})));  // distance 2: not close
    expected = expected * decayingFactor(2);
    EXPECT_EQ(l->getFitnessValue(p), expected);
    EXPECT_EQ(l->cache.find(p.getHash())->second.visitCount, 3.0);
    EXPECT_EQ(l->getFitnessValue(p), expected);
}

TEST_F(LandscapeTest, DecayingCrowdingTakesTheFirstVisitsMetPerStep) {
    decayingCrowding(0.5, 0.5, 1.0, 4, false, 1, -1.0);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    const Point p(0b010101);
    const Point far(0b001110), near(0b010110);  // distances 4 and 2, both in p's bin
    int s0, f0, s1, f1, s2, f2;
    p.getBitSums(s0, f0);
    far.getBitSums(s1, f1);
    near.getBitSums(s2, f2);
    ASSERT_TRUE(s0 == s1 && s0 == s2 && f0 == f1 && f0 == f2);
    ASSERT_EQ(p.hammingDist(far), 4);
    ASSERT_EQ(p.hammingDist(near), 2);

    // Same step: a bin is read newest first, so only the later visit (near) counts.
    step = 3;
    l->visit(far);
    l->visit(near);
    double expected = ref.fitness(p.values);
    expected = expected * 0.5;
    expected = expected * taper(2, 4);
    EXPECT_EQ(l->getFitnessValue(p), expected);
    EXPECT_EQ(l->cache.find(p.getHash())->second.visitCount, 1.0);

    // The limit is per step: the next step's visit counts again.
    step = 4;
    l->visit(p);
    expected = expected * 0.5;
    expected = expected * 1.0;
    EXPECT_EQ(l->getFitnessValue(p), expected);
}

TEST_F(LandscapeTest, DecayingCrowdingAppliesOlderStepsFirst) {
    decayingCrowding(1.5, 1.5, 1.0, 1, false, 10, -1.0);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    // A point whose fitness exceeds 1 after one full-intensity visit, but not after both.
    long v = -1;
    for (long c = 0; c < 64 && v < 0; c++) {
        const double b = ref.fitness(c);
        if (b * 1.5 > 1.0 && b * 1.5 * 0.5 * 1.5 < 1.0 && (c & 1) == 0) v = c;
    }
    ASSERT_GE(v, 0);
    const Point p(v), q(flip(v, {0}));  // q: one more 1-bit, its bin is scanned after p's
    step = 1;
    l->visit(q);
    step = 2;
    l->visit(p);
    // Scan order meets step 2 first; the collection is replayed by step: q, then p.
    double expected = ref.fitness(v);
    expected = expected * 1.5;
    expected = expected * 0.5;
    expected = std::min(expected, 1.0);
    expected = expected * 1.5;
    expected = expected * 1.0;
    expected = std::min(expected, 1.0);
    EXPECT_EQ(l->getFitnessValue(p), expected);
    EXPECT_LT(expected, 1.0);

    // One more full-intensity visit takes it above 1: held at exactly 1.
    ASSERT_GT(expected * 1.5, 1.0);
    step = 3;
    l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), 1.0);
}

TEST_F(LandscapeTest, DecayingCrowdingLimitsTheDropPerStep) {
    decayingCrowding(0.5, 0.5, 1.0, 1, true, 10, 0.1);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    const Point p(0b010101);
    const double b = ref.fitness(p.values);
    ASSERT_GT(b, 0.3);  // one halving would drop by more than 0.1
    step = 1;
    for (int i = 0; i < 3; i++) l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), b - 0.1);
    EXPECT_EQ(l->cache.find(p.getHash())->second.visitCount, 3.0);

    step = 2;
    l->visit(p);
    l->visit(Point(flip(p.values, {2})));
    const double bound = (b - 0.1) - 0.1;
    EXPECT_EQ(l->getFitnessValue(p), std::max((b - 0.1) * 0.5, bound));
    EXPECT_EQ(l->cache.find(p.getHash())->second.visitCount, 5.0);

    // A fresh point replays both steps in one evaluation with the same bounds.
    const Point q(flip(p.values, {3}));
    const double bq = ref.fitness(q.values);
    double expected = bq;
    double lower = expected - 0.1;
    for (int i = 0; i < 3; i++) expected = std::max(expected * 0.5, lower);  // step 1: p three times
    lower = expected - 0.1;
    expected = std::max(expected * 0.5, lower);  // step 2: p (distance 1); the other is at distance 2
    EXPECT_EQ(l->getFitnessValue(q), expected);
}

TEST_F(LandscapeTest, DecayingTaperedCrowdingMultipliesTwice) {
    decayingCrowding(0.5, 0.5, 1.0, 2, false, 10, -1.0);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    const double t = taper(1, 2);
    long chosen;
    double intensity;
    ASSERT_TRUE(findRoundingApart(ref, t, chosen, intensity));
    params.flockingIntensity = params.flockingIntensityEnd = intensity;
    l->visit(Point(flip(chosen, {2})));
    EXPECT_EQ(l->getFitnessValue(Point(chosen)), (ref.fitness(chosen) * intensity) * t);
}

TEST_F(LandscapeTest, DecayingCrowdingWithZeroVisitLimitCollectsNothing) {
    // "fewer than maxVisitsPerStep already collected" never holds for a limit of 0.
    decayingCrowding(0.5, 0.5, 1.0, 1, true, 0, -1.0);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    const Point p(0b010101);
    l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), ref.fitness(p.values));
}

// ---- Runs -------------------------------------------------------------------------------

TEST_F(LandscapeTest, FinishRunAndNextRunRestoreBaseFitness) {
    constantCrowding(0.5, 1, true);
    auto l = make(6, 2, 5);
    ReferenceNK ref(6, 2, 5);
    const Point p(0b010101);
    l->visit(p);
    l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), ref.fitness(p.values) * 0.5 * 0.5);

    l->finishRun();
    EXPECT_EQ(l->cache.size(), 0u);
    int sum, sumFlipped;
    p.getBitSums(sum, sumFlipped);
    EXPECT_TRUE(l->bin(sum, sumFlipped).empty());
    l->initRun(1);
    EXPECT_EQ(l->curTimeStamp, 1);
    for (unsigned int dim = 0; dim < 6; dim++) EXPECT_EQ((long)l->fitnessDimBaseSeeds[dim], ref.seeds[dim]);
    EXPECT_EQ(l->getFitnessValue(p), ref.fitness(p.values));
    EXPECT_EQ(l->curTimeStamp, 2);
}
