// Landscape evaluation throughput at N = 20, K = 5: new points, cached points, and
// new points under crowding with 10,000 recorded visits.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "landscape.h"

namespace {

constexpr unsigned int kN = 20, kK = 5;
constexpr long kNumPoints = 1L << kN;

// Point i of a fixed scrambled order over all 2^N points (odd multiplier: a bijection).
inline Point scrambled(long i) { return Point((long)(((unsigned long)i * 0x9E3779B1ul) & (kNumPoints - 1))); }

struct Setup {
    std::vector<std::string> names;
    SimuParameters params{names};
    StepClock clock;
    std::unique_ptr<Landscape> landscape;

    explicit Setup(void (*configure)(SimuParameters&) = nullptr) {
        params.n = kN;
        params.k = kK;
        params.landscapeseed = 42;
        if (configure) configure(params);
        landscape = std::make_unique<Landscape>(params, clock);
        landscape->initRun(0);
    }

    void recordVisits(int count) {
        unsigned short st[3] = {9, 9, 9};
        for (int i = 0; i < count; i++) {
            clock.set((unsigned int)i / 100);  // 100 visits per simulation step
            landscape->visit(Point(::nrand48(st) & (kNumPoints - 1)));
        }
        clock.set((unsigned int)count / 100);
    }

    // Forget the run and start another, restoring any visits the benchmark needs.
    void restart(int visits) {
        landscape->finishRun();
        landscape->initRun(1);
        recordVisits(visits);
    }
};

// Evaluates points never seen in the run; a run ends after `perRun` distinct points.
void evaluateNewPoints(benchmark::State& state, Setup& s, int visits, long perRun) {
    // One untimed run grows the cache to its full size, as an earlier run would have;
    // the timed runs then measure evaluation and insertion, not the table's growth.
    for (long i = 0; i < perRun; i++) s.landscape->getFitnessValue(scrambled(i));
    s.restart(visits);
    long i = 0;
    for (auto _ : state) {
        if (i == perRun) {
            state.PauseTiming();
            s.restart(visits);
            i = 0;
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(s.landscape->getFitnessValue(scrambled(i++)));
    }
    state.SetItemsProcessed(state.iterations());
}

// The argument is the number of distinct points a run evaluates (the cache's final size).
void BM_NewPoints(benchmark::State& state) {
    Setup s;
    evaluateNewPoints(state, s, 0, state.range(0));
}
BENCHMARK(BM_NewPoints)->Arg(1 << 16)->Arg(kNumPoints);

// Cached points, no new visits: a look-up and a stamp update. The argument is the
// number of distinct points cycled through (the cache's working set).
void BM_CachedPoints(benchmark::State& state) {
    Setup s;
    const long count = state.range(0);
    for (long i = 0; i < count; i++) s.landscape->getFitnessValue(scrambled(i));
    long i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.landscape->getFitnessValue(scrambled(i)));
        if (++i == count) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CachedPoints)->Arg(4096)->Arg(kNumPoints);

void constantUniform(SimuParameters& p) {
    p.flockingRadius = 1;
    p.flockingIntensity = 0.9;
    p.uniformFlocking = true;
}

void constantTapered(SimuParameters& p) {
    constantUniform(p);
    p.uniformFlocking = false;
}

void decaying(SimuParameters& p) {
    p.flockingRadius = 1;
    p.flockingIntensity = 0.5;
    p.flockingIntensityEnd = 0.9;
    p.flockingIntensityDecay = 10;
    p.uniformFlocking = false;
    p.maxVisitsPerStep = 3;
    p.maxDropPerStep = 0.1;
}

// New points with R = 1 and 10,000 recorded visits: each evaluation scans the 3 x 3
// bins around the point.
void BM_NewPointsCrowdedConstantUniform(benchmark::State& state) {
    Setup s(constantUniform);
    evaluateNewPoints(state, s, 10000, kNumPoints);
}
BENCHMARK(BM_NewPointsCrowdedConstantUniform);

void BM_NewPointsCrowdedConstantTapered(benchmark::State& state) {
    Setup s(constantTapered);
    evaluateNewPoints(state, s, 10000, kNumPoints);
}
BENCHMARK(BM_NewPointsCrowdedConstantTapered);

void BM_NewPointsCrowdedDecaying(benchmark::State& state) {
    Setup s(decaying);
    evaluateNewPoints(state, s, 10000, kNumPoints);
}
BENCHMARK(BM_NewPointsCrowdedDecaying);

// Cached points under crowding with no visit newer than their stamps.
void BM_CachedPointsCrowded(benchmark::State& state) {
    Setup s(constantUniform);
    s.recordVisits(10000);
    const long count = 4096;
    for (long i = 0; i < count; i++) s.landscape->getFitnessValue(scrambled(i));
    long i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.landscape->getFitnessValue(scrambled(i)));
        if (++i == count) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CachedPointsCrowded);

}  // namespace
