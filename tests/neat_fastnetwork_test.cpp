// Fast networks built straight from genes: node order, synchronous update, depth,
// copying and the guards on bad indices.
#include "NEAT_FastNetwork.h"

#include <gtest/gtest.h>

#include <vector>

#include "neat_test_helpers.h"

using namespace NEAT;

namespace {

const int SIGMOID = 0, SQUARE = 4, LINEAR = 6;

GeneticNodeGene sensorGene(int id, const std::string& name) { return GeneticNodeGene(id, name, "NetworkSensor"); }

GeneticNodeGene hiddenGene(int id, const std::string& name, int fn) {
    return GeneticNodeGene(id, name, "NetworkNode", fn);
}

GeneticNodeGene outputGene(int id, const std::string& name, int fn) {
    return GeneticNodeGene(id, name, "NetworkOutputNode", fn);
}

// INPUT0 (ID 2) -> H (ID 1) -> OUTPUT0 (ID 3), all computed nodes squaring.
std::vector<GeneticNodeGene> chainNodes() {
    return {hiddenGene(1, "H", SQUARE), sensorGene(2, "INPUT0"), outputGene(3, "OUTPUT0", SQUARE)};
}

}  // namespace

TEST(FastNetworkTest, SensorsTakeTheFirstIndices) {
    FastNetwork net(chainNodes(), {});
    EXPECT_EQ(net.getNodeIndex("INPUT0"), 0);
    EXPECT_EQ(net.getNodeIndex("H"), 1);
    EXPECT_EQ(net.getNodeIndex("OUTPUT0"), 2);
    EXPECT_EQ(net.getNumSensors(), 1);
    EXPECT_EQ(net.getNumNodes(), 3u);
    EXPECT_EQ(net.getNodeActivationFn(1), getActivationFn(SQUARE));
}

TEST(FastNetworkTest, UnknownNameIsMinusOne) {
    std::vector<GeneticNodeGene> nodes = {sensorGene(0, "Bias")};
    for (int i = 0; i < 4; ++i) nodes.push_back(sensorGene(1 + i, "INPUT" + std::to_string(i)));
    FastNetwork net(nodes, {});
    EXPECT_EQ(net.getNodeIndex("INPUT3"), 4);
    EXPECT_EQ(net.getNodeIndex("INPUT5"), -1);
    EXPECT_EQ(net.getNodeIndex("INPUT5"), -1);  // the first lookup must not have added it
    EXPECT_EQ(FastNetwork({}, {}).getNodeIndex("Bias"), -1);
}

TEST(FastNetworkTest, LaterNodeOfSameNameWins) {
    FastNetwork net({sensorGene(0, "X"), hiddenGene(1, "X", LINEAR)}, {});
    EXPECT_EQ(net.getNodeIndex("X"), 1);
}

TEST(FastNetworkTest, UpdateIsSynchronous) {
    FastNetwork net(chainNodes(), {GeneticLinkGene(7, 2, 1, 0.5), GeneticLinkGene(8, 1, 3, 2.0)});
    net.reinitialize();
    net.setValue(0, 3.0);
    net.update(1);
    // H = (3 * 0.5)^2; the output still sees H's old value 0.
    EXPECT_EQ(net.getValue(1), 2.25);
    EXPECT_EQ(net.getValue(2), 0.0);
    net.update(1);
    EXPECT_EQ(net.getValue(2), 20.25);  // (2.25 * 2)^2
    EXPECT_EQ(net.getValue(0), 3.0);

    net.reinitialize();
    net.setValue(0, 3.0);
    net.update(2);
    EXPECT_EQ(net.getValue(2), 20.25);
}

TEST(FastNetworkTest, LinksToOneTargetSumBeforeActivation) {
    // (3*1 + 3*2)^2 = 81, not 9 + 36. The second link is disabled and still counts.
    FastNetwork net({sensorGene(1, "INPUT0"), outputGene(2, "OUTPUT0", SQUARE)},
                    {GeneticLinkGene(1, 1, 2, 1.0), GeneticLinkGene(2, 1, 2, 2.0, false)});
    net.reinitialize();
    net.setValue(0, 3.0);
    net.update(1);
    EXPECT_EQ(net.getValue(1), 81.0);
}

TEST(FastNetworkTest, NodeWithoutInputsGetsActivationOfZero) {
    FastNetwork net({sensorGene(1, "INPUT0"), outputGene(2, "OUTPUT0", SIGMOID)}, {});
    net.reinitialize();
    EXPECT_EQ(net.getValue(1), 0.0);
    net.update(1);
    EXPECT_EQ(net.getValue(1), 0.5);
}

TEST(FastNetworkTest, NonPositiveIterationsChangeNothing) {
    FastNetwork net(chainNodes(), {GeneticLinkGene(7, 2, 1, 0.5)});
    net.reinitialize();
    net.setValue(0, 3.0);
    net.setValue(1, 4.0);
    net.update(0);
    net.update(-3);
    EXPECT_EQ(net.getValue(0), 3.0);
    EXPECT_EQ(net.getValue(1), 4.0);
    EXPECT_EQ(net.getValue(2), 0.0);
}

TEST(FastNetworkTest, SensorsKeepValuesAndIgnoreIncomingLinks) {
    FastNetwork net({sensorGene(1, "INPUT0"), outputGene(2, "OUTPUT0", LINEAR)}, {GeneticLinkGene(1, 2, 1, 5.0)});
    net.reinitialize();
    net.setValue(0, 0.25);
    net.setValue(1, 0.75);
    net.update(3);
    EXPECT_EQ(net.getValue(0), 0.25);
    net.reinitialize();
    EXPECT_EQ(net.getValue(0), 0.0);
    EXPECT_EQ(net.getValue(1), 0.0);
}

TEST(FastNetworkTest, IndicesOutsideTheNodesAreIgnored) {
    FastNetwork net(chainNodes(), {});
    net.reinitialize();
    for (int bad : {-1, 3, 1000, -1000}) {
        net.setValue(bad, 9.0);
        EXPECT_EQ(net.getValue(bad), 0.0);
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(net.getValue(i), 0.0);
    FastNetwork empty({}, {});
    empty.setValue(0, 1.0);
    EXPECT_EQ(empty.getValue(0), 0.0);
    empty.update(2);
    empty.reinitialize();
}

TEST(FastNetworkTest, MaxDepthIsLongestChainToTheOutputs) {
    EXPECT_EQ(
        FastNetwork(chainNodes(), {GeneticLinkGene(7, 2, 1, 1), GeneticLinkGene(8, 1, 3, 1)}).computeMaxDepth({2}), 2);
    FastNetwork direct(chainNodes(), {GeneticLinkGene(7, 2, 3, 1)});
    EXPECT_EQ(direct.computeMaxDepth({2}), 1);
    EXPECT_EQ(direct.computeMaxDepth({1}), 0);
    EXPECT_EQ(FastNetwork(chainNodes(), {}).computeMaxDepth({2}), 0);
    // A shortcut does not shorten the longest chain; links listed backwards still settle.
    FastNetwork both(chainNodes(),
                     {GeneticLinkGene(1, 1, 3, 1), GeneticLinkGene(2, 2, 3, 1), GeneticLinkGene(3, 2, 1, 1)});
    EXPECT_EQ(both.computeMaxDepth({2, 1}), 2);
}

TEST(FastNetworkTest, InvalidDepthIndicesCountZero) {
    FastNetwork net(chainNodes(), {GeneticLinkGene(7, 2, 3, 1)});
    EXPECT_EQ(net.computeMaxDepth({-1}), 0);
    EXPECT_EQ(net.computeMaxDepth({2, -1}), 1);
    EXPECT_EQ(net.computeMaxDepth({-1, 3, 99}), 0);
    EXPECT_EQ(net.computeMaxDepth({}), 0);
}

TEST(FastNetworkTest, CycleInDepthIsReported) {
    const std::string message = "The network has a cycle, so its depth is unbounded!";
    FastNetwork loop(chainNodes(), {GeneticLinkGene(1, 1, 3, 1), GeneticLinkGene(2, 3, 1, 1)});
    auto f = neattest::failureOf([&] { loop.computeMaxDepth({2}); });
    EXPECT_EQ(f.thrown, message);
    EXPECT_EQ(f.err, message + "\n");
    FastNetwork self(chainNodes(), {GeneticLinkGene(1, 1, 1, 1)});
    EXPECT_EQ(neattest::failureOf([&] { self.computeMaxDepth({2}); }).thrown, message);
}

TEST(FastNetworkTest, DepthStepsReachTheSettledOutput) {
    // Bias and INPUT0 feed H0 and H1, H0 feeds H1, both feed OUTPUT0: depth 3.
    std::vector<GeneticNodeGene> nodes = {sensorGene(0, "Bias"), sensorGene(1, "INPUT0"), hiddenGene(4, "H0", SIGMOID),
                                          hiddenGene(5, "H1", LINEAR), outputGene(9, "OUTPUT0", SIGMOID)};
    std::vector<GeneticLinkGene> links = {GeneticLinkGene(1, 0, 4, -0.5), GeneticLinkGene(2, 1, 4, 1.5),
                                          GeneticLinkGene(3, 4, 5, 2.0),  GeneticLinkGene(4, 1, 5, -1.0),
                                          GeneticLinkGene(5, 5, 9, 1.2),  GeneticLinkGene(6, 4, 9, -0.7)};
    FastNetwork net(nodes, links);
    int depth = net.computeMaxDepth({net.getNodeIndex("OUTPUT0")});
    ASSERT_EQ(depth, 3);
    auto run = [&](int steps) {
        net.reinitialize();
        net.setValue(net.getNodeIndex("Bias"), 1.0);
        net.setValue(net.getNodeIndex("INPUT0"), 1.0);
        net.update(steps);
        return net.getValue(net.getNodeIndex("OUTPUT0"));
    };
    Sigmoid s;
    Linear lin;
    double h0 = s.eval(-0.5 + 1.5);
    double h1 = lin.eval(2.0 * h0 - 1.0);
    double out = s.eval(1.2 * h1 - 0.7 * h0);
    EXPECT_EQ(run(depth), out);
    EXPECT_EQ(run(depth + 4), out);
    EXPECT_NE(run(depth - 1), out);
}

TEST(FastNetworkTest, CopiesOwnTheirStorage) {
    FastNetwork a(chainNodes(), {GeneticLinkGene(7, 2, 1, 0.5), GeneticLinkGene(8, 1, 3, 2.0)});
    a.reinitialize();
    a.setValue(0, 3.0);
    FastNetwork b(a);
    b.setValue(0, 1.0);
    EXPECT_EQ(a.getValue(0), 3.0);
    b.update(2);
    EXPECT_EQ(b.getValue(2), 0.25);  // ((1 * 0.5)^2 * 2)^2
    EXPECT_EQ(b.getNodeIndex("OUTPUT0"), 2);

    FastNetwork c({sensorGene(0, "Bias")}, {});
    c = a;
    EXPECT_EQ(c.getNumNodes(), 3u);
    EXPECT_EQ(c.getValue(0), 3.0);
    c.update(2);
    EXPECT_EQ(c.getValue(2), 20.25);
    EXPECT_EQ(a.getValue(2), 0.0);
    FastNetwork& alias = c;
    c = alias;
    EXPECT_EQ(c.getValue(2), 20.25);
}

TEST(FastNetworkTest, DanglingLinkAndUnknownFunctionAreRejected) {
    auto f = neattest::failureOf([] { FastNetwork(chainNodes(), {GeneticLinkGene(7, 2, 42, 1.0)}); });
    EXPECT_EQ(f.thrown, "Link 7 names node 42, which the network lacks!");
    EXPECT_EQ(f.err, f.thrown + "\n");
    auto g = neattest::failureOf([] { FastNetwork({hiddenGene(1, "H", 9)}, {}); });
    EXPECT_EQ(g.thrown, "Activation function 9 does not exist (0 to 8)!");
}
