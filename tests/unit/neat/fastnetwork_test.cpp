// Fast networks built straight from genes: node order, synchronous update, depth, and the
// links and functions that make a genome unusable.
#include "NEAT_FastNetwork.h"

#include <gtest/gtest.h>

#include <vector>

#include "neat_test_helpers.h"

using namespace NEAT;

namespace {

const int SIGMOID = 0, SQUARE = 4, LINEAR = 6;

GeneticNodeGene sensor(int id, const std::string& name) { return GeneticNodeGene(id, name, "NetworkSensor"); }
GeneticNodeGene hidden(int id, const std::string& name, int fn) { return GeneticNodeGene(id, name, "NetworkNode", fn); }
GeneticNodeGene output(int id, const std::string& name, int fn) {
    return GeneticNodeGene(id, name, "NetworkOutputNode", fn);
}

// INPUT0 (ID 2) -> H (ID 1) -> OUTPUT0 (ID 3), all computed nodes squaring; indices 0, 1, 2.
std::vector<GeneticNodeGene> chainNodes() {
    return {hidden(1, "H", SQUARE), sensor(2, "INPUT0"), output(3, "OUTPUT0", SQUARE)};
}
const std::vector<GeneticLinkGene> kChain = {GeneticLinkGene(7, 2, 1, 0.5), GeneticLinkGene(8, 1, 3, 2.0)};

}  // namespace

TEST(FastNetworkTest, SensorsTakeTheFirstIndicesAndUnknownNamesAreMinusOne) {
    FastNetwork net(chainNodes(), {});
    EXPECT_EQ(net.getNodeIndex("INPUT0"), 0);
    EXPECT_EQ(net.getNodeIndex("H"), 1);
    EXPECT_EQ(net.getNodeIndex("OUTPUT0"), 2);
    EXPECT_EQ(net.getNumSensors(), 1);
    EXPECT_EQ(net.getNodeActivationFn(1), getActivationFn(SQUARE));
    EXPECT_EQ(net.getNodeIndex("INPUT5"), -1);
    EXPECT_EQ(net.getNodeIndex("INPUT5"), -1);  // the first lookup must not have added it
    EXPECT_EQ(FastNetwork({}, {}).getNodeIndex("Bias"), -1);
    EXPECT_EQ(FastNetwork({sensor(0, "X"), hidden(1, "X", LINEAR)}, {}).getNodeIndex("X"), 1);  // later one wins
}

TEST(FastNetworkTest, UpdateIsSynchronousAndSumsEveryLinkBeforeActivation) {
    FastNetwork net(chainNodes(), kChain);
    net.reinitialize();
    net.setValue(0, 3.0);
    net.update(1);
    EXPECT_EQ(net.getValue(1), 2.25);  // (3 * 0.5)^2; the output still sees H's old value 0
    EXPECT_EQ(net.getValue(2), 0.0);
    net.update(1);
    EXPECT_EQ(net.getValue(2), 20.25);  // (2.25 * 2)^2
    EXPECT_EQ(net.getValue(0), 3.0);
    net.update(0);
    net.update(-3);
    EXPECT_EQ(net.getValue(2), 20.25);

    // (3*1 + 3*2)^2 = 81, not 9 + 36; the second link is disabled and still counts. A link
    // into a sensor changes nothing; a computed node without inputs gets eval(0).
    FastNetwork sums(
        {sensor(1, "INPUT0"), output(2, "OUTPUT0", SQUARE), hidden(3, "H", SIGMOID)},
        {GeneticLinkGene(1, 1, 2, 1.0), GeneticLinkGene(2, 1, 2, 2.0, false), GeneticLinkGene(3, 2, 1, 5)});
    sums.reinitialize();
    sums.setValue(0, 3.0);
    sums.update(3);
    EXPECT_EQ(sums.getValue(1), 81.0);
    EXPECT_EQ(sums.getValue(0), 3.0);
    EXPECT_EQ(sums.getValue(2), 0.5);
    sums.reinitialize();
    EXPECT_EQ(sums.getValue(0), 0.0);
    EXPECT_EQ(sums.getValue(1), 0.0);
}

TEST(FastNetworkTest, MaxDepthIsTheLongestChainToTheOutputs) {
    EXPECT_EQ(FastNetwork(chainNodes(), kChain).computeMaxDepth({2}), 2);
    FastNetwork direct(chainNodes(), {GeneticLinkGene(7, 2, 3, 1)});
    EXPECT_EQ(direct.computeMaxDepth({2}), 1);
    EXPECT_EQ(direct.computeMaxDepth({1}), 0);
    EXPECT_EQ(FastNetwork(chainNodes(), {}).computeMaxDepth({2}), 0);
    // A shortcut does not shorten the longest chain; links listed backwards still settle.
    FastNetwork both(chainNodes(),
                     {GeneticLinkGene(1, 1, 3, 1), GeneticLinkGene(2, 2, 3, 1), GeneticLinkGene(3, 2, 1, 1)});
    EXPECT_EQ(both.computeMaxDepth({2, 1}), 2);
    // Invalid indices count 0.
    EXPECT_EQ(direct.computeMaxDepth({2, -1}), 1);
    EXPECT_EQ(direct.computeMaxDepth({-1, 3, 99}), 0);
    EXPECT_EQ(direct.computeMaxDepth({}), 0);
    // Cycles have no depth.
    const std::string message = "The network has a cycle, so its depth is unbounded!";
    FastNetwork loop(chainNodes(), {GeneticLinkGene(1, 1, 3, 1), GeneticLinkGene(2, 3, 1, 1)});
    EXPECT_EQ(neattest::failureOf([&] { loop.computeMaxDepth({2}); }).thrown, message);
    FastNetwork self(chainNodes(), {GeneticLinkGene(1, 1, 1, 1)});
    EXPECT_EQ(neattest::failureOf([&] { self.computeMaxDepth({2}); }).thrown, message);
}

TEST(FastNetworkTest, DanglingLinkAndUnknownFunctionAreRejected) {
    auto f = neattest::failureOf([] { FastNetwork(chainNodes(), {GeneticLinkGene(7, 2, 42, 1.0)}); });
    EXPECT_EQ(f.thrown, "Link 7 names node 42, which the network lacks!");
    auto g = neattest::failureOf([] { FastNetwork({hidden(1, "H", 9)}, {}); });
    EXPECT_EQ(g.thrown, "Activation function 9 does not exist (0 to 8)!");
}
