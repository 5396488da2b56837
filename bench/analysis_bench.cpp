// Whole-landscape analysis of one N = 20 landscape (2^20 points): the fitness of every point,
// then local maxima, extremes, mean and neighbour correlation. Reported as CPU time, since
// the figure should not depend on what else the machine runs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "analysis.h"
#include "landscape.h"
#include "params.h"

namespace {

// Arguments: K, components (0 seeded, 1 independent).
void fullAnalysisN20(benchmark::State& state) {
    std::vector<std::string> names;
    SimuParameters params(names);
    params.n = 20;
    params.k = (unsigned int)state.range(0);
    params.landscapeComponents = (int)state.range(1);
    std::vector<double> fitness;
    int seed = 1;
    for (auto _ : state) {
        params.landscapeseed = seed++;
        const analysis::LandscapeFigures f = analysis::analyzeLandscape(params, fitness);
        benchmark::DoNotOptimize(f.localMaxima);
    }
    state.counters["points/s"] =
        benchmark::Counter((double)state.iterations() * (1 << 20), benchmark::Counter::kIsRate);
}
BENCHMARK(fullAnalysisN20)
    ->ArgNames({"K", "components"})
    ->Args({5, 0})
    ->Args({5, 1})
    ->Args({19, 0})
    ->Args({19, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

// The figures alone, from a table already filled.
void figuresOnlyN20(benchmark::State& state) {
    std::vector<std::string> names;
    SimuParameters params(names);
    params.n = 20;
    params.k = 5;
    params.landscapeseed = 1;
    std::vector<double> fitness;
    analysis::analyzeLandscape(params, fitness);
    for (auto _ : state) benchmark::DoNotOptimize(analysis::figuresOf(fitness, 20).localMaxima);
}
BENCHMARK(figuresOnlyN20)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
