// NK base fitness against the definition written out with the C library generator (seeded and
// independent components), and crowding against brute force and the rules' exact arithmetic.
#include "landscape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// The NK model with the C library generator: the N locus seeds are nrand48 draws of the
// landscape stream; a seeded component is the first drand48 after srand48(seed + index), an
// independent one the next erand48 draw of the stream, locus by locus, index by index.
struct ReferenceNK {
    int n, k;
    double stretch;
    std::vector<long> seeds;
    std::vector<std::vector<double>> independent;

    ReferenceNK(int n, int k, int landscapeseed, double stretch = 1.0, bool seeded = true)
        : n(n), k(k), stretch(stretch) {
        unsigned short st[3];
        st[0] = st[1] = st[2] = (unsigned short)(landscapeseed & 0xffff);
        for (int dim = 0; dim < n; dim++) seeds.push_back(::nrand48(st));
        if (seeded) return;
        independent.assign(n, std::vector<double>(2ul << k));
        for (auto& locus : independent)
            for (double& c : locus) c = ::erand48(st);
    }

    double fitness(long v) const {
        double sum = 0;
        for (int dim = 0; dim < n; dim++) {
            unsigned long index = (v >> dim) & 1;
            for (int j = k - 1; j >= 0; j--) index = index * 2 + ((v >> ((dim + 1 + j) % n)) & 1);
            if (!independent.empty()) {
                sum += independent[dim][index];
                continue;
            }
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
    StepClock clock;
    const Point p{0b010101};
    const ReferenceNK ref{6, 2, 5};

    std::unique_ptr<Landscape> make(unsigned int n = 6, unsigned int k = 2, int seed = 5) {
        params.n = n;
        params.k = k;
        params.landscapeseed = seed;
        auto l = std::make_unique<Landscape>(params, clock);
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

TEST_F(LandscapeTest, BaseFitnessMatchesTheDefinition) {
    struct Case {
        unsigned int n, k;
        int seed;
        double stretch;
        bool seeded;
    };
    // K = 0, seeds whose low 16 bits alone matter, a stretch, and landscapes too large for a
    // component table (sampled), of both kinds of components.
    for (Case c :
         {Case{5, 0, 3, 1, true}, Case{7, 1, 0x10005, 1, true}, Case{1, 0, 11, 1, true}, Case{6, 5, -77, 2.5, true},
          Case{31, 20, 1234, 1, true}, Case{7, 3, 0x12345, 1.3, false}, Case{20, 17, 99, 1, false}}) {
        params.fitnessStretchCoef = c.stretch;
        params.landscapeComponents = c.seeded ? 0 : 1;
        auto l = make(c.n, c.k, c.seed);
        const ReferenceNK r((int)c.n, (int)c.k, c.seed, c.stretch, c.seeded);
        unsigned short draw[3] = {1, 2, 3};
        for (long i = 0; i < 300; i++) {
            const long v = c.n <= 8 ? i % (1L << c.n) : ::nrand48(draw) & ((1L << c.n) - 1);
            ASSERT_EQ(l->getFitnessValue(Point(v)), r.fitness(v)) << "n " << c.n << " k " << c.k << " v " << v;
        }
    }
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
}

TEST_F(LandscapeTest, DecayingCrowdingTakesTheFirstVisitsMetPerStepInStepOrder) {
    crowding(0.5, 4, false, 1.0, 0.5, 1);
    auto l = make();
    const Point far(0b001110), near(0b010110);  // distances 4 and 2, both in p's bin
    // Same step: a bin is read newest first, so only the later visit (near) counts.
    clock.set(3);
    l->visit(far);
    l->visit(near);
    const double expected = ref.fitness(p.values) * 0.5 * taper(2, 4);
    EXPECT_EQ(l->getFitnessValue(p), expected);
    // The limit is per step: the next step's visit counts again.
    clock.set(4);
    l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), expected * 0.5 * 1.0);

    // Steps apply oldest first, each capped at 1: an even point above 1 after one
    // full-intensity visit, but not after both.
    crowding(1.5, 1, false, 1.0, 1.5, 10);
    l = make();
    long v = 0;
    while (v < 64 && !(ref.fitness(v) * 1.5 > 1.0 && ref.fitness(v) * 1.5 * 0.5 * 1.5 < 1.0)) v += 2;
    ASSERT_LT(v, 64);
    const Point a(v), q(flip(v, {0}));  // q: one more 1-bit, its bin is scanned after a's
    clock.set(1);
    l->visit(q);
    clock.set(2);
    l->visit(a);
    EXPECT_EQ(l->getFitnessValue(a), std::min(std::min(ref.fitness(v) * 1.5 * 0.5, 1.0) * 1.5 * 1.0, 1.0));
    clock.set(3);
    l->visit(a);
    EXPECT_EQ(l->getFitnessValue(a), 1.0);  // held at exactly 1
}

TEST_F(LandscapeTest, DecayingCrowdingLimitsTheDropPerStep) {
    crowding(0.5, 1, true, 2.0, 0.9, 10, 0.1);
    auto l = make();
    // The factor moves from the intensity to its end value over `decay` visits, then stays.
    EXPECT_DOUBLE_EQ(l->computeDecayingFlockIntensity(1), 0.7);
    EXPECT_EQ(l->computeDecayingFlockIntensity(50), l->computeDecayingFlockIntensity(2));
    crowding(0.5, 1, true, 1.0, 0.5, 10, 0.1);
    const double b = ref.fitness(p.values);
    ASSERT_GT(b, 0.3);  // one halving would drop by more than 0.1
    clock.set(1);
    for (int i = 0; i < 3; i++) l->visit(p);
    EXPECT_EQ(l->getFitnessValue(p), b - 0.1);
    clock.set(2);
    l->visit(p);
    l->visit(Point(flip(p.values, {2})));
    EXPECT_EQ(l->getFitnessValue(p), std::max((b - 0.1) * 0.5, (b - 0.1) - 0.1));
    // A fresh point replays both steps in one evaluation with the same bounds.
    const Point q(flip(p.values, {3}));
    double expected = ref.fitness(q.values), lower = expected - 0.1;
    for (int i = 0; i < 3; i++) expected = std::max(expected * 0.5, lower);  // step 1: p three times
    lower = expected - 0.1;
    expected = std::max(expected * 0.5, lower);  // step 2: p; the other visit is at distance 2
    EXPECT_EQ(l->getFitnessValue(q), expected);
}

TEST_F(LandscapeTest, ANewRunForgetsTheCacheAndTheVisitsOfTheLast) {
    crowding(0.5, 1, true);
    auto l = make();
    l->visit(p);
    // Every point: the cache outgrows its map and becomes an array indexed by point.
    for (long v = 0; v < 64; v++) l->getFitnessValue(Point(v));
    l->finishRun();
    l->initRun(1);
    // Eight visits next to p: more than the 7 points within the radius, so a new point looks
    // its visits up point by point.
    const Point q(flip(p.values, {5}));
    for (int i = 0; i < 8; i++) l->visit(q);
    for (long v = 0; v < 64; v++)
        ASSERT_EQ(l->getFitnessValue(Point(v)), ref.fitness(v) * (Point(v).hammingDist(q, 6) <= 1 ? 1.0 / 256 : 1.0))
            << v;
}

}  // namespace

// Reading a point's current fitness for output (peekFitnessValue) leaves no trace: a landscape
// read between evaluations evaluates exactly as one that is not, stamps included.
TEST(LandscapePeekTest, ReadingCurrentFitnessChangesNoLaterEvaluation) {
    // Tapered constant crowding, and decaying crowding with per-step limits.
    for (double decay : {0.0, 2.0}) {
        std::vector<std::string> names;
        SimuParameters params(names);
        params.n = 8;
        params.k = 3;
        params.flockingRadius = 2;
        params.flockingIntensity = 0.7;
        params.flockingIntensityEnd = 0.9;
        params.flockingIntensityDecay = decay;
        params.uniformFlocking = false;
        params.maxVisitsPerStep = 2;
        params.maxDropPerStep = 0.05;
        StepClock clock;
        Landscape plain(params, clock), read(params, clock);
        plain.initRun(0);
        read.initRun(0);
        unsigned short draw[3] = {7, 8, 9};
        auto point = [&draw] { return Point(static_cast<int>(nrand48(draw) & 255)); };
        Point previous(0);
        for (unsigned int step = 1; step <= 40; step++) {
            clock.set(step);
            // A point read now, then crowded by a visit next to it, is evaluated in the next step.
            const Point peeked = point(), visited(peeked.values ^ (1 << (step % 8)));
            read.peekFitnessValue(peeked);
            for (Landscape* l : {&plain, &read}) l->visit(visited);
            const double value = read.peekFitnessValue(previous);
            EXPECT_EQ(read.getFitnessValue(previous), value);
            EXPECT_EQ(plain.getFitnessValue(previous), value) << "step " << step;
            ASSERT_EQ(read.curTimeStamp, plain.curTimeStamp);
            previous = peeked;
        }
    }
}
