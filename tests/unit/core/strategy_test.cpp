// Strategy decisions: the network inputs of every type for search and place actions (from the
// agent's state and from the action-probability check's state values), the clamped network
// output, normalisation and the roulette draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "search_fixture.h"
#include "strategy.h"

namespace {

using strategy::OutputPlace;
using strategy::OutputSearch;

// Distinct state values: public, private and group fitness, phase progress, group position.
const double A = 0.11, B = 0.12, C = 0.13, P = 0.14, G = 0.15;
const std::vector<std::pair<double, double>> kTwoByTwo = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}},
                                             kTwoPlaces = {{0, -1}, {0, 1}};

TEST(StrategyTest, NetworkInputsOfEveryTypeAreItsStateThenTheActionCode) {
    // Each action's inputs are the prefix followed by the action's code. The check's state
    // values are the prefix without its zeros.
    const struct {
        StrategyType t;
        strategy::Output output;
        std::vector<double> prefix;
        std::vector<std::pair<double, double>> codes;
    } rows[] = {
        {StrategyType0, OutputSearch, {A, B}, kTwoByTwo},
        {StrategyType2, OutputSearch, {A, B, C}, {{-1, -1}, {-1, 0}, {-1, 1}, {1, -1}, {1, 0}, {1, 1}}},
        {StrategyType3, OutputSearch, {A, B}, {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}, {0, 0}}},
        {StrategyType4, OutputSearch, {A, B, P}, kTwoByTwo},
        {StrategyType5, OutputSearch, {A, B, P, G}, kTwoByTwo},
        {StrategyType6, OutputSearch, {A, B, G}, kTwoByTwo},
        {StrategyType0, OutputPlace, {A, 0}, kTwoPlaces},
        {StrategyType2, OutputPlace, {A, 0, 0}, {{0, -1}, {0, 0}, {0, 1}}},
        {StrategyType3, OutputPlace, {A, 0}, kTwoPlaces},
        {StrategyType4, OutputPlace, {A, 0, P}, kTwoPlaces},
        {StrategyType5, OutputPlace, {A, 0, P, G}, kTwoPlaces},
        {StrategyType6, OutputPlace, {A, 0, G}, kTwoPlaces},
    };
    strategy::NetworkState agentState;
    agentState.fitness[0] = A;
    agentState.fitness[1] = B;
    agentState.fitness[2] = C;
    agentState.progress = P;
    agentState.groupPosition = G;
    for (const auto& r : rows) {
        SCOPED_TRACE("type " + std::to_string(r.t) + " output " + std::to_string(r.output));
        std::vector<double> values;
        std::copy_if(r.prefix.begin(), r.prefix.end(), std::back_inserter(values), [](double v) { return v != 0; });
        EXPECT_EQ(strategy::stateSize(r.t, r.output), (int)values.size());
        const strategy::NetworkState checkState = strategy::stateFromValues(r.t, r.output, values.data());
        const int n = (int)r.codes.size();
        for (int a = 0; a < n; a++) {
            std::vector<double> expected = r.prefix;
            expected.insert(expected.end(), {r.codes[a].first, r.codes[a].second});
            for (const strategy::NetworkState& s : {agentState, checkState}) {
                double in[strategy::kMaxInputs];
                const int count = strategy::networkInputs(r.t, r.output, s, a, n, in);
                EXPECT_EQ(std::vector<double>(in, in + count), expected) << "action " << a;
            }
        }
    }
}

TEST(StrategyTest, NetworkOutputAboveOneCountsAsOne) {
    // Output 0 squares 0.8 i0 + 0.25 i1 + 0.5: (1.3)^2 = 1.69 is clamped, (0.75)^2 is not.
    const NeuralNet nn = testkit::squareNet({0.8, 0.25, 0, 0, 0, 0}, 0.5, {0, 0, 0, 0, 0, 0}, 0.5);
    const double four[] = {1, 0, 0, 0}, five[] = {0, 1, 0, 0, 0};
    EXPECT_EQ(strategy::evaluate(nn, four, 4, nn.o0), 1.0);
    EXPECT_EQ(strategy::evaluate(nn, five, 5, nn.o0), 0.5625);
}

TEST(StrategyTest, NormalizeProbabilities) {
    double a[4] = {0, 0, 0, 0};
    strategy::normalizeProbabilities(4, a);
    for (double v : a) EXPECT_EQ(v, 0.25);
    double b[2] = {1, 3};
    strategy::normalizeProbabilities(2, b);
    EXPECT_EQ(b[0], 0.25);
    EXPECT_EQ(b[1], 0.75);
}

TEST(StrategyTest, RouletteWheelIsStrictAndDrawsOnce) {
    const double p[2] = {0.25, 0.75};
    unsigned short s[3] = {1, 2, 3};
    for (double r : {0.2499, 0.25, 0.9}) {
        testkit::setNextDraw(s, r);
        const uint64_t afterOneDraw = testkit::stateAfterDraws(s, 1);
        EXPECT_EQ(strategy::rouletteWheelSelection(2, p, s), r < 0.25 ? 0 : 1) << r;
        EXPECT_EQ(testkit::stateOf(s), afterOneDraw);
    }
}

}  // namespace
