// The network activator: cache, ownership of fetched networks, input/output counts.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "NEAT_GeneticPopulation.h"
#include "NetworkActivator.h"
#include "neat_test_helpers.h"

using namespace NEAT;
using namespace neattest;

namespace {

const std::string OUT_OF_RANGE = "GET_INDIVIDUAL: GENERATION OUT OF RANGE!\n";

// Individual with fitness f and four inputs, bias, a hidden node and one output:
// OUTPUT0 = sigmoid(f * Gaussian(0.5 * INPUT0) - 0.5 + 0.25 * INPUT3).
std::string fourInputIndividual(const std::string& f) {
    std::string nodes = sensor(0, "Bias");
    for (int i = 0; i < 4; ++i) nodes += sensor(1 + i, "INPUT" + std::to_string(i));
    nodes += node(6, "H", "NetworkNode", 3) + node(9, "OUTPUT0", "NetworkOutputNode");
    return individual(nodes, link(1, 1, 6, "0.5") + link(2, 6, 9, f) + link(3, 0, 9, "-0.5") + link(4, 4, 9, "0.25"),
                      f);
}

class ActivatorTest : public NeatTest {
protected:
    std::string fivePath() {
        std::string individuals;
        for (int i = 0; i < 5; ++i) individuals += fourInputIndividual(std::to_string(i + 1));
        return write("five.xml", document(generation(individuals)));
    }
    void expectOutOfRange(NetworkActivator& act, int index) {
        EXPECT_EQ(failureOf([&] { act.fetchFastNetwork(index); }).thrown, OUT_OF_RANGE) << index;
    }
};

}  // namespace

TEST_F(ActivatorTest, CacheHoldsOneSlotPerIndividualOfTheLastGenerationAndBuildsEachOnce) {
    NetworkActivator act(true);
    EXPECT_EQ(act.getCacheSize(), 0);
    expectOutOfRange(act, 0);  // nothing loaded
    act.loadPopulation(fivePath(), globals);
    ASSERT_EQ(act.getCacheSize(), 5);
    EXPECT_EQ(act.getNumInputs(), 4);
    EXPECT_EQ(act.getNumOutputs(), 1);
    std::unique_ptr<FastNetwork> net(act.fetchFastNetwork(4));
    ASSERT_NE(net, nullptr);
    EXPECT_EQ(act.fetchFastNetwork(4), net.get());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(act.getCachedNetwork(i), i == 4 ? net.get() : nullptr);
    expectOutOfRange(act, 5);
    expectOutOfRange(act, -1);
    EXPECT_EQ(act.getCacheSize(), 5);

    // Three generations: the third is served; the cache never shrinks.
    act.loadPopulation(write("three.xml", document(generation(fourInputIndividual("1")) +
                                                   generation(fourInputIndividual("2") + fourInputIndividual("3")) +
                                                   generation(smallIndividual("4")))),
                       globals);
    EXPECT_EQ(act.getCacheSize(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(act.getCachedNetwork(i), nullptr);
    std::unique_ptr<FastNetwork> last(act.fetchFastNetwork(0));
    EXPECT_EQ(last->getNumNodes(), 4u);  // smallIndividual, not the seven-node ones
    EXPECT_EQ(act.getNumInputs(), 1);
    expectOutOfRange(act, 1);  // the slot exists, the individual does not
}

TEST_F(ActivatorTest, CountsInputsByNameAndOutputsByTypeInIndividualZero) {
    // "INPUT" anywhere in a sensor's name counts; a hidden node so named does not.
    const std::string nodes = sensor(0, "Bias") + sensor(1, "MYINPUTX") + node(2, "INPUT9", "NetworkNode") +
                              node(3, "OUTPUT0", "NetworkOutputNode") + node(4, "OUTPUT1", "NetworkOutputNode") +
                              node(5, "Extra", "NetworkOutputNode");
    NetworkActivator act(true);
    act.loadPopulation(
        write("count.xml", document(generation(individual(nodes, link(1, 1, 3, "1")) + fourInputIndividual("1")))),
        globals);
    EXPECT_EQ(act.getNumInputs(), 1);
    EXPECT_EQ(act.getNumOutputs(), 3);
}

TEST_F(ActivatorTest, FetchedNetworkOutlivesReloadsFailedLoadsAndTheActivator) {
    auto act = std::make_unique<NetworkActivator>(true);
    act->loadPopulation(fivePath(), globals);
    std::shared_ptr<FastNetwork> kept(act->fetchFastNetwork(2));
    Failure f = failureOf([&] { act->loadPopulation((dir / "nofile.xml").string(), globals); });
    EXPECT_EQ(f.thrown, "Error trying to load the XML file!");
    EXPECT_EQ(act->getPopulation(), nullptr);
    EXPECT_EQ(act->getNumInputs(), 0);
    expectOutOfRange(*act, 0);
    act.reset();

    const int depth = kept->computeMaxDepth({kept->getNodeIndex("OUTPUT0")});
    EXPECT_EQ(depth, 2);
    kept->reinitialize();
    kept->setValue(kept->getNodeIndex(NA_BIAS_NAME), 1.0);
    kept->setValue(kept->getNodeIndex("INPUT0"), 0.0);
    kept->setValue(kept->getNodeIndex("INPUT3"), 2.0);
    kept->update(depth);
    EXPECT_EQ(kept->getValue(kept->getNodeIndex("OUTPUT0")), 1.0 / (1.0 + std::exp(-3.0)));  // 3 * 1 - 0.5 + 0.5
}
