// The configuration reader: every keyword read into its field and dumped back, the tables,
// the fitness groups and the network blocks. Expected values are worked out by hand from the
// files; bad inputs and their messages are cases of tests/system/badinput/cases.txt.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "NetworkActivator.h"
#include "params.h"
#include "util.h"

namespace {

const std::string kData = std::string(NK_TESTS_DIR) + "/data/";
const std::string kPop = kData + "tiny_pop.xml";
const std::string kS1 = "searchProbs 3 1 2 1   1 2 1 3   2 2 1 1   1 1 2 4\n", kPlace = "placeProbs 1 3 0 0\n";

using Edits = std::vector<std::pair<std::string, std::string>>;

// minimal.cfg with the first occurrence of each `from` text replaced by its `to` text.
std::string minimalWith(const Edits& edits) {
    std::stringstream ss;
    ss << std::ifstream(kData + "minimal.cfg").rdbuf();
    std::string text = ss.str();
    for (const auto& [from, to] : edits) {
        const size_t pos = text.find(from);
        EXPECT_NE(pos, std::string::npos) << "test edit does not apply: " << from;
        if (pos != std::string::npos) text.replace(pos, from.size(), to);
    }
    return text;
}

class ConfigTest : public testing::Test {
protected:
    std::vector<std::string> names, files;
    std::unique_ptr<SimuParameters> p;

    void TearDown() override {
        for (const std::string& f : files) std::remove(f.c_str());
    }
    std::string writeTemp(const std::string& text) {
        files.push_back(testing::TempDir() + "nkcfg_" + std::to_string(getpid()) + "_" + std::to_string(files.size()));
        std::ofstream(files.back()) << text;
        return files.back();
    }
    // Reads `paths` into a fresh record `p`; the files must be accepted silently.
    void readOk(const std::vector<std::string>& paths, int nRunsOverride = 0) {
        p = std::make_unique<SimuParameters>(names);
        FatalModeGuard throwing(FatalMode::Throw);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        try {
            p->readFromFile(paths, nRunsOverride);
        } catch (const FatalExit& e) {
            ADD_FAILURE() << "status " << e.status;
        }
        EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(), "");
    }
    void readTextOk(const std::string& text) { readOk({writeTemp(text)}); }
    // The minimal file with its table blocks replaced by `blocks`.
    void readBlocks(const std::string& blocks) { readTextOk(minimalWith({{kS1, blocks}, {kPlace, ""}})); }
    std::string dump() {
        testing::internal::CaptureStdout();
        p->print();
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(ConfigTest, MinimalFileGivesEveryValueAndKeepsTheDefaultsOfAbsentKeywords) {
    readOk({kData + "minimal.cfg"});
    EXPECT_EQ(dump(),
              "optionalInfo \nn 10\nk 2\nfitnessStretchCoef 1.000000\nnruns 3\nmaxtotalsteps 50\n"
              "initialPublicMemSize 1\ninitialMemSize 2\nrememberChecked 1\nrememberedSteps 0 (infinite)\n"
              "flockingRadius 1\nflockingIntensity 0.500000\nflockingIntensityEnd 1.000000\n"
              "flockingIntensityDecay 0.000000\nuniformFlocking 1\nmaxVisitsPerStep 0\nrevisitOnFailure 0\n"
              "fitnessQuantizationLevels 0\nalwaysUpdateSourceMem 0\nwaitingEnabled 0\nalwaysUseUpToDateFitness 1\n"
              "maxDropPerStep -1.000000\nrevisitWhileWaiting 0\nmaxMemSize 2147483647\nexploit 5\n"
              "explore 4 6 0.200000 0.600000\ndeterministicActions 0\nchooseActionEveryStep 0\n"
              "landscapeseed 11\nchangeseed 12\nstartseed 13\nsearchseed 14\n"
              "varylandscape 0\nvarychange 1\nvarystart 0\nvarysearch 1\n\nnpoints 1024\nncontexts 4\n");
    EXPECT_TRUE(p->nAgents == 4 && p->landscapeComponents == 0 && p->nFitnessGroups == 1 &&
                p->lastFitnessAgent[0] == 3);
    EXPECT_TRUE(p->groupSize == 0 && p->lastStepsUsedForFitness == 25u && p->initialGroupsMemSize == 1u);
    EXPECT_TRUE(p->NNFitnessDiscreteSteps == 2 && !p->usingNNStrategy && p->nExtraStrategies == 0);
    // The S1 blocks "3 1 2 1", "1 2 1 3", "2 2 1 1", "1 1 2 4", [search type][memory] each,
    // normalised; the S2 row "0 0" becomes even.
    const auto& s1 = p->generalStrategy.s1.searchProbs;
    EXPECT_DOUBLE_EQ(s1[0][0][0][0], 3.0 / 7);
    EXPECT_DOUBLE_EQ(s1[0][0][1][0], 2.0 / 7);
    EXPECT_DOUBLE_EQ(s1[0][1][1][1], 3.0 / 7);
    EXPECT_DOUBLE_EQ(s1[1][0][0][0], 2.0 / 6);
    EXPECT_DOUBLE_EQ(s1[1][1][1][1], 4.0 / 8);
    const auto& s2 = p->generalStrategy.s2.placeProbs;
    EXPECT_TRUE(s2[0][0] == 0.25 && s2[0][1] == 0.75 && s2[1][0] == 0.5 && s2[1][1] == 0.5);
    // The NEAT table holds only the one parameter the reader stores.
    ASSERT_NE(p->neatGlobals, nullptr);
    EXPECT_EQ(p->neatGlobals->getParameters(), (std::map<std::string, double>{{"UseActGaussian", 1.0}}));
}

TEST_F(ConfigTest, FullConfigurationReadsEveryKeywordTheTablesAndDumpsExactly) {
    readOk({kData + "full.cfg"});
    EXPECT_EQ(dump(),
              "optionalInfo \nn 12\nk 3\nfitnessStretchCoef 1.500000\nlandscapeComponents 1\nnruns 4\n"
              "maxtotalsteps 100\ninitialPublicMemSize 2\ninitialMemSize 3\nrememberChecked 0\nrememberedSteps 7 \n"
              "flockingRadius 2\nflockingIntensity 0.750000\nflockingIntensityEnd 0.250000\n"
              "flockingIntensityDecay 0.125000\nuniformFlocking 0\nmaxVisitsPerStep 3\nrevisitOnFailure 1\n"
              "fitnessQuantizationLevels 8\nalwaysUpdateSourceMem 1\nwaitingEnabled 1\nalwaysUseUpToDateFitness 0\n"
              "maxDropPerStep 0.050000\nrevisitWhileWaiting 1\nmaxMemSize 2147483647\nexploit 6\n"
              "explore 5 4 0.100000 0.400000\nexplore2 20 3 0.250000 0.500000\n"
              "deterministicActions 1\nchooseActionEveryStep 1\n"
              "landscapeseed 1234\nchangeseed 5\nstartseed 77\nsearchseed 4242\n"
              "varylandscape 1\nvarychange 0\nvarystart 1\nvarysearch 0\n\nnpoints 4096\nncontexts 8\n");
    EXPECT_TRUE(p->groupSize == 2 && p->lastStepsUsedForFitness == 30u && p->initialGroupsMemSize == 4u);
    EXPECT_TRUE(p->nFitnessGroups == 2 && p->firstFitnessAgent[1] == 3 && p->lastFitnessAgent[1] == 5);
    EXPECT_TRUE(p->agentsFitnessUseMax && p->limitedEvalsFor2Groups && p->NNFitnessDiscreteSteps == 4);
    const SearchPhaseConfig& exploit = p->generalCustomParams.exploitSearchConfig;
    EXPECT_TRUE(exploit.useAllAttempts && exploit.maxTreeDepth == 2 && p->exploreSearchConfig.useAllAttempts);
    EXPECT_TRUE(p->recombSearchConfig.maxAttempts == 9u && p->secondProbsStep == 30u && p->secondProbsInterpolate);
    // The second tables are stored as written, row-major.
    EXPECT_TRUE(p->searchProbs2[0][1][0][0] == 7.0 && p->searchProbs2[1][1][2][1] == 24.0);
    EXPECT_TRUE(p->placeProbs2[0][1] == 0.9 && p->placeProbs2[1][0] == 0.8);
    // General "searchProbs" of zeros: uniform over the 2 x 2 actions of type 0; "placeProbs 3 1 0 0".
    EXPECT_DOUBLE_EQ(p->generalStrategy.s1.searchProbs[1][0][1][1], 0.25);
    EXPECT_TRUE(p->generalStrategy.s2.placeProbs[0][0] == 0.75 && p->generalStrategy.s2.placeProbs[1][0] == 0.5);
    ASSERT_EQ(p->agentStrategies.size(), 4u);  // agents 0, 1, 3, 5
    // Agent 1: its own S1 table, then its own S2 table from a later block; agent 3 the S1
    // table only, agent 0 the S2 table only; the other table is the general one.
    const AgentStrategy& a1 = p->agentStrategies.at(1);
    EXPECT_TRUE(a1.s1.searchProbs[1][0][0][0] == 1.0 && a1.s2.placeProbs[1][1] == 0.5);
    EXPECT_EQ(p->agentStrategies.at(3).s2.placeProbs[0][0], 0.75);
    EXPECT_EQ(p->agentStrategies.at(0).s1.searchProbs[0][0][0][0], 0.25);
    // Agent 5: a table in the 2 x 3 layout makes it type 1.
    const AgentStrategy& a5 = p->agentStrategies.at(5);
    EXPECT_EQ(a5.type, StrategyType1);
    EXPECT_DOUBLE_EQ(a5.s1.searchProbs[0][0][1][2], 1.0 / 6);
    EXPECT_DOUBLE_EQ(a5.s1.searchProbs[1][0][0][1], 1.0 / 6);  // a block of zeros: uniform
    EXPECT_TRUE(a5.s1.searchProbs[1][1][1][2] == 1.0 && a5.s1.searchProbs[1][1][0][0] == 0.0);
    // Agent parameter blocks start from the general exploit settings.
    EXPECT_TRUE(p->getCustomParams(4).exploitSearchConfig.maxTreeDepth == 3 &&
                p->getCustomParams(4).exploitSearchConfig.useAllAttempts);
}

TEST_F(ConfigTest, KeywordCaseExploreRoundingAndTheRunCountOverride) {
    readTextOk(minimalWith({{"\nn 10\n", "\nN 10\n"}, {"nAgents 4", "NAGENTS 4"}, {"searchseed", "SearchSeed"}}));
    EXPECT_TRUE(p->n == 10u && p->nAgents == 4 && p->searchseed == 14);
    // 0.28 * 25 is 7.000000000000001 in double precision, 7 in single: a whole distance.
    readTextOk(minimalWith({{"\nn 10\n", "\nn 25\n"}, {"explore 4 6 0.2 0.6", "explore 5 10 0.28 0.28"}}));
    readOk({writeTemp(minimalWith({{"nRuns 3", "nRuns 0"}}))}, 7);
    EXPECT_EQ(p->nRuns, 7u);
}

TEST_F(ConfigTest, FitnessGroups) {
    const struct {
        std::string agents, groups;
        int n;
        std::vector<int> first, last;
    } cases[] = {
        // The subset's group 1 is the rest of the ring, empty when the subset is inside it.
        {"nAgents 10", "subsetOfAgentsFitness 1\nfirstAgentFitness 0\nlastAgentFitness 4\n", 2, {0, 5}, {4, 9}},
        {"nAgents 10", "subsetOfAgentsFitness 1\nfirstAgentFitness 3\nlastAgentFitness 5\n", 2, {3, 6}, {5, 2}},
        {"nAgents 10", "subsetOfAgentsFitness 1\nfirstAgentFitness 5\nlastAgentFitness 9\n", 2, {5, 0}, {9, 4}},
        {"nAgents 4", "subsetOfAgentsFitness 0\n", 1, {0, 0}, {-1, -1}},
        {"nAgents 4", "", 1, {0, 0}, {-1, -1}},  // no group keyword: one group without agents
    };
    for (const auto& c : cases) {
        readTextOk(minimalWith({{"nAgents 4", c.agents}, {"nFitnessGroups 1\nagentFitnessGroup 0 3\n", c.groups}}));
        EXPECT_EQ(p->nFitnessGroups, c.n) << c.groups;
        for (size_t g = 0; g < c.first.size(); g++)
            EXPECT_TRUE(p->firstFitnessAgent[g] == c.first[g] && p->lastFitnessAgent[g] == c.last[g]) << c.groups;
    }
}

// Network strategies, with the two networks of tiny_pop.xml: individual 0 has Bias,
// INPUT0-3, OUTPUT0 and OUTPUT1 (depth 2); individual 1 INPUT0-5 and no OUTPUT1 (depth 3).
TEST_F(ConfigTest, NetworkBlocksGetTheirNodeIndicesDepthAndType) {
    readBlocks("NNStrategy " + kPop + " 0\n");
    const NeuralNet& nn = p->generalStrategy.nn;
    ASSERT_TRUE(p->usingNNStrategy && nn.net);
    // Sensors first in ID order (Bias, INPUT0-3), then OUTPUT0, OUTPUT1, H.
    EXPECT_TRUE(nn.bias == 0 && nn.i0 == 1 && nn.i3 == 4 && nn.i4 == -1 && nn.o0 == 5 && nn.o1 == 6 && nn.depth == 2);
    EXPECT_EQ(p->generalStrategy.type, StrategyType0);
    readBlocks("NNStrategy " + kPop + " 1 type 3\n");
    EXPECT_EQ(p->generalStrategy.type, StrategyType3);
    EXPECT_TRUE(p->generalStrategy.nn.i5 == 6 && p->generalStrategy.nn.o1 == -1 && p->generalStrategy.nn.depth == 3);
    // Blocks for listed agents share one network; agents in groups default to type 2.
    readTextOk(minimalWith(
        {{kS1, "NNStrategySpecificAgents " + kPop + " 1 type 4 2 0 1\nNNStrategySpecificAgents " + kPop + " 0 2 2 3\n"},
         {kPlace, ""},
         {"nAgents 4\n", "nAgents 4\ngroupSize 2\n"}}));
    const AgentStrategy &a0 = p->agentStrategies.at(0), &a1 = p->agentStrategies.at(1);
    EXPECT_TRUE(a0.type == StrategyType4 && a0.nn.depth == 3 && a0.nn.net.get() == a1.nn.net.get());
    EXPECT_TRUE(p->agentStrategies.at(3).type == StrategyType2 && p->agentStrategies.at(3).nn.depth == 2);
}

}  // namespace
