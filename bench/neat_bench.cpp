// One strategy decision's worth of network work: reinitialize, set bias and six
// inputs, update to full depth, read an output. Also counts heap allocations per
// cycle, which must stay at zero.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "NetworkActivator.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

// Counting every allocation in the process is the simplest proof that the cycle
// allocates nothing. Kept out of line: once inlined, GCC takes the malloc/free pairing
// for a mismatch with new/delete.
[[gnu::noinline]] void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Bias and INPUT0..INPUT5 (7 sensors), H0..H9, OUTPUT0 and OUTPUT1; 40 links, depth 3.
NEAT::FastNetwork makeNetwork() {
    using NEAT::GeneticLinkGene;
    using NEAT::GeneticNodeGene;
    std::vector<GeneticNodeGene> nodes = {GeneticNodeGene(0, "Bias", "NetworkSensor")};
    for (int i = 0; i < 6; ++i) nodes.emplace_back(1 + i, "INPUT" + std::to_string(i), "NetworkSensor");
    for (int h = 0; h < 10; ++h) nodes.emplace_back(10 + h, "H" + std::to_string(h), "NetworkNode", h % 9);
    nodes.emplace_back(30, "OUTPUT0", "NetworkOutputNode", 0);
    nodes.emplace_back(31, "OUTPUT1", "NetworkOutputNode", 6);

    std::vector<GeneticLinkGene> links;
    auto add = [&](int from, int to) {
        double weight = 0.1 * ((static_cast<int>(links.size()) * 7) % 23 - 11);
        links.emplace_back(100 + static_cast<int>(links.size()), from, to, weight);
    };
    for (int h = 0; h < 5; ++h) {
        add(h % 7, 10 + h);
        add((h + 3) % 7, 10 + h);
    }
    for (int h = 5; h < 10; ++h) {
        add(h % 7, 10 + h);
        add(10 + h - 5, 10 + h);
    }
    for (int h = 0; h < 10; ++h) add(10 + h, 30);
    for (int h = 5; h < 10; ++h) add(10 + h, 31);
    for (int i = 1; i <= 5; ++i) add(i, 31);
    return NEAT::FastNetwork(nodes, links);
}

void BM_DecisionCycle(benchmark::State& state) {
    NEAT::FastNetwork net = makeNetwork();
    int sensors[7];
    sensors[0] = net.getNodeIndex(NEAT::NA_BIAS_NAME);
    for (int i = 0; i < 6; ++i) sensors[1 + i] = net.getNodeIndex("INPUT" + std::to_string(i));
    int output = net.getNodeIndex("OUTPUT0");
    int depth = net.computeMaxDepth({output, net.getNodeIndex("OUTPUT1")});

    double input = 0.0;
    long before = allocations.load();
    for (auto _ : state) {
        net.reinitialize();
        net.setValue(sensors[0], 1.0);
        for (int i = 1; i < 7; ++i) net.setValue(sensors[i], (i & 1) ? input : -input);
        net.update(depth);
        benchmark::DoNotOptimize(net.getValue(output));
        input = input > 1.0 ? -1.0 : input + 0.125;
    }
    long cycles = static_cast<long>(state.iterations());
    state.counters["allocs_per_cycle"] = static_cast<double>(allocations.load() - before) / (cycles ? cycles : 1);
    state.counters["cycles_per_s"] = benchmark::Counter(static_cast<double>(cycles), benchmark::Counter::kIsRate);
    state.counters["depth"] = depth;
}
BENCHMARK(BM_DecisionCycle);

}  // namespace
