// Tests of the configuration reader: the keyword sequence, the strategy blocks, the checks
// and the parameter dump. Expected values are worked out by hand from the test files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "NetworkActivator.h"
#include "params.h"
#include "util.h"

namespace {

const std::string kConfigs = std::string(NK_TESTS_DIR) + "/configs/";
const std::string kPop = kConfigs + "tiny_pop.xml";
const std::string kS1 = "searchProbs 3 1 2 1   1 2 1 3   2 2 1 1   1 1 2 4\n", kPlace = "placeProbs 1 3 0 0\n";
const std::string kGroups = "nFitnessGroups 1\nagentFitnessGroup 0 3\n";

// Files written by writeTemp, removed once all tests have run.
std::vector<std::string> tempFiles;
struct TempFileCleaner : testing::Environment {
    void TearDown() override {
        for (const std::string& path : tempFiles) std::remove(path.c_str());
    }
};
const testing::Environment* const kCleaner = testing::AddGlobalTestEnvironment(new TempFileCleaner);

std::string writeTemp(const std::string& text) {
    tempFiles.push_back(testing::TempDir() + "nkcfg_" + std::to_string(getpid()) + "_" +
                        std::to_string(tempFiles.size()) + ".cfg");
    std::ofstream(tempFiles.back()) << text;
    return tempFiles.back();
}

using Edits = std::vector<std::pair<std::string, std::string>>;

// minimal.cfg with the first occurrence of each `from` text replaced by its `to` text.
std::string minimalWith(const Edits& edits) {
    std::stringstream ss;
    ss << std::ifstream(kConfigs + "minimal.cfg").rdbuf();
    std::string text = ss.str();
    for (const auto& [from, to] : edits) {
        const size_t pos = text.find(from);
        EXPECT_NE(pos, std::string::npos) << "test edit does not apply: " << from;
        if (pos != std::string::npos) text.replace(pos, from.size(), to);
    }
    return text;
}

// minimal.cfg with its table blocks replaced by `blocks`.
std::string withBlocks(const std::string& blocks, Edits more = {}) {
    more.push_back({kS1, blocks});
    more.push_back({kPlace, ""});
    return minimalWith(more);
}

// The 16 S1 values of a type-0 table, all equal to `v`.
std::string s1Of(const std::string& v) {
    std::string s;
    for (int i = 0; i < 16; i++) s += v + " ";
    return s;
}

struct Outcome {
    int status = -1;  // -1: the reader returned
    std::string out, err;

    // Standard error after the "ERROR at <location>:" line, which must name one of our sources.
    std::string message() const {
        static const std::regex head("^ERROR at src/[a-z_/]+\\.cpp:[0-9]+:\n");
        std::smatch m;
        return std::regex_search(err, m, head) ? std::string(m.suffix()) : "<no ERROR line> " + err;
    }
};

class ConfigTest : public testing::Test {
protected:
    std::vector<std::string> names;
    std::unique_ptr<SimuParameters> p;

    // Reads `files` into a fresh record `p`, with fatal exits thrown and the output captured.
    Outcome read(const std::vector<std::string>& files, int nRunsOverride = 0) {
        p = std::make_unique<SimuParameters>(names);
        Outcome o;
        setFatalExitThrows(true);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        try {
            p->readFromFile(files, nRunsOverride);
        } catch (const FatalExit& e) {
            o.status = e.status;
        }
        o.out = testing::internal::GetCapturedStdout();
        o.err = testing::internal::GetCapturedStderr();
        setFatalExitThrows(false);
        return o;
    }
    Outcome readText(const std::string& text) { return read({writeTemp(text)}); }
    // Reads and fails the test unless the files are accepted silently.
    void readOk(const std::vector<std::string>& files, int nRunsOverride = 0) {
        const Outcome o = read(files, nRunsOverride);
        EXPECT_EQ(o.status, -1) << o.err;
        EXPECT_EQ(o.out + o.err, "");
    }
    void readTextOk(const std::string& text) { readOk({writeTemp(text)}); }
    std::string dump() {
        testing::internal::CaptureStdout();
        p->print();
        return testing::internal::GetCapturedStdout();
    }
};

}  // namespace

TEST_F(ConfigTest, MinimalFileGivesEveryValueAndKeepsTheDefaultsOfAbsentKeywords) {
    readOk({kConfigs + "minimal.cfg"});
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
    EXPECT_EQ(p->nAgents, 4);
    EXPECT_TRUE(p->nFitnessGroups == 1 && p->firstFitnessAgent[0] == 0 && p->lastFitnessAgent[0] == 3);
    EXPECT_TRUE(p->groupSize == 0 && p->lastStepsUsedForFitness == 25u && p->initialGroupsMemSize == 1u);
    EXPECT_TRUE(p->NNFitnessDiscreteSteps == 2 && !p->usingNNStrategy && p->nExtraStrategies == 0);
    EXPECT_TRUE(p->exploreSearchConfig2.maxSteps == 0u && p->recombSearchConfig.maxAttempts == 0u);
    EXPECT_TRUE(p->agentStrategies.empty() && p->agentCustomParams.empty());
    // The S1 blocks "3 1 2 1", "1 2 1 3", "2 2 1 1", "1 1 2 4", [search type][memory] each,
    // normalised; the S2 row "0 0" becomes even.
    const auto& s1 = p->generalStrategy.s1.searchProbs;
    EXPECT_EQ(p->generalStrategy.type, StrategyType0);
    EXPECT_DOUBLE_EQ(s1[0][0][0][0], 3.0 / 7);
    EXPECT_DOUBLE_EQ(s1[0][0][0][1], 1.0 / 7);
    EXPECT_DOUBLE_EQ(s1[0][0][1][0], 2.0 / 7);
    EXPECT_DOUBLE_EQ(s1[0][1][1][1], 3.0 / 7);
    EXPECT_DOUBLE_EQ(s1[1][0][0][0], 2.0 / 6);
    EXPECT_DOUBLE_EQ(s1[1][1][1][1], 4.0 / 8);
    EXPECT_EQ(s1[0][0][2][0], 0.0);  // outside the type-0 layout
    const auto& s2 = p->generalStrategy.s2.placeProbs;
    EXPECT_TRUE(s2[0][0] == 0.25 && s2[0][1] == 0.75 && s2[1][0] == 0.5 && s2[1][1] == 0.5);
    // The NEAT table holds only the one parameter the reader stores.
    ASSERT_NE(p->neatGlobals, nullptr);
    EXPECT_EQ(p->neatGlobals->getParameters(), (std::map<std::string, double>{{"UseActGaussian", 1.0}}));
}

TEST_F(ConfigTest, FullConfigurationReadsEveryKeywordTheTablesAndDumpsExactly) {
    readOk({kConfigs + "full.cfg"});
    EXPECT_EQ(dump(),
              "optionalInfo \nn 12\nk 3\nfitnessStretchCoef 1.500000\nnruns 4\nmaxtotalsteps 100\n"
              "initialPublicMemSize 2\ninitialMemSize 3\nrememberChecked 0\nrememberedSteps 7 \n"
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
    EXPECT_TRUE(p->recombSearchConfig.maxAttempts == 9u && p->recombSearchConfig.maxSteps == 0u);
    // The second tables are stored as written, row-major.
    EXPECT_TRUE(p->secondProbsStep == 30u && p->secondProbsInterpolate);
    EXPECT_TRUE(p->searchProbs2[0][0][0][0] == 1.0 && p->searchProbs2[0][1][0][0] == 7.0 &&
                p->searchProbs2[1][1][2][1] == 24.0);
    EXPECT_TRUE(p->placeProbs2[0][1] == 0.9 && p->placeProbs2[1][0] == 0.8);
    // General "searchProbs" of zeros: uniform over the 2 x 2 actions of type 0; "placeProbs 3 1 0 0".
    for (const auto& pub : p->generalStrategy.s1.searchProbs)
        for (const auto& block : pub)
            for (int m = 0; m < 2; m++)
                for (int a = 0; a < 2; a++) EXPECT_DOUBLE_EQ(block[m][a], 0.25);
    EXPECT_TRUE(p->generalStrategy.s2.placeProbs[0][0] == 0.75 && p->generalStrategy.s2.placeProbs[1][0] == 0.5);
    ASSERT_EQ(p->agentStrategies.size(), 4u);  // agents 0, 1, 3, 5
    // Agent 1: its own S1 table, then its own S2 table from a later block.
    const AgentStrategy& a1 = p->agentStrategies.at(1);
    EXPECT_EQ(a1.type, StrategyType0);
    EXPECT_TRUE(a1.s1.searchProbs[1][0][0][0] == 1.0 && a1.s1.searchProbs[1][0][1][0] == 0.0);
    EXPECT_EQ(a1.s2.placeProbs[1][1], 0.5);
    // Agent 3: the S1 table only; agent 0: the S2 table only; the other table is the general one.
    EXPECT_EQ(p->agentStrategies.at(3).s2.placeProbs[0][0], 0.75);
    EXPECT_EQ(p->agentStrategies.at(0).s1.searchProbs[0][0][0][0], 0.25);
    EXPECT_EQ(p->agentStrategies.at(0).s2.placeProbs[0][0], 0.5);
    // Agent 5: a table in the 2 x 3 layout makes it type 1.
    const AgentStrategy& a5 = p->agentStrategies.at(5);
    EXPECT_EQ(a5.type, StrategyType1);
    EXPECT_DOUBLE_EQ(a5.s1.searchProbs[0][0][1][2], 1.0 / 6);
    EXPECT_TRUE(a5.s1.searchProbs[1][1][1][2] == 1.0 && a5.s1.searchProbs[1][1][0][0] == 0.0);
}

TEST_F(ConfigTest, KeywordsMatchInAnyCase) {
    readTextOk(minimalWith({{"\nn 10\n", "\nN 10\n"},
                            {"nAgents 4", "NAGENTS 4"},
                            {"searchseed", "SearchSeed"},
                            {"initialMemSize 2\n", "initialMemSize 2\nMAXMEMSIZE 50\n"}}));
    EXPECT_TRUE(p->n == 10u && p->nAgents == 4 && p->searchseed == 14 && p->maxMemSize == 50u);
}

TEST_F(ConfigTest, NAndKBoundsExploreRangeRoundingAndTheRunCountOverride) {
    readTextOk(minimalWith({{"\nn 10\n", "\nn 20\n"}, {"\nk 2\n", "\nk 0\n"}}));
    EXPECT_TRUE(p->nPoints == 1ul << 20 && p->nContexts == 1ul);
    readTextOk(minimalWith({{"\nn 10\n", "\nn 31\n"}, {"\nk 2\n", "\nk 30\n"}}));
    EXPECT_TRUE(p->nPoints == 2147483648ul && p->nContexts == 1ul << 30);
    // 0.5 of 4 is the single distance 2; 0.28 * 25 is 7.000000000000001 in double precision, 7 in single.
    readTextOk(minimalWith({{"\nn 10\n", "\nn 4\n"}, {"explore 4 6 0.2 0.6", "explore 5 10 0.5 0.5"}}));
    EXPECT_EQ(p->exploreSearchConfig.rangeLow, 0.5);
    readTextOk(minimalWith({{"\nn 10\n", "\nn 25\n"}, {"explore 4 6 0.2 0.6", "explore 5 10 0.28 0.28"}}));
    readOk({writeTemp(minimalWith({{"nRuns 3", "nRuns 0"}}))}, 7);
    EXPECT_EQ(p->nRuns, 7u);
    readOk({kConfigs + "minimal.cfg"}, 0);
    EXPECT_EQ(p->nRuns, 3u);
}

TEST_F(ConfigTest, FitnessGroups) {
    const struct {
        std::string agents, groups;
        int n;
        std::vector<int> first, last;
        bool useMax;
    } cases[] = {
        // The subset's group 1 is the rest of the ring, empty when the subset is inside it.
        {"nAgents 10", "subsetOfAgentsFitness 1\nfirstAgentFitness 0\nlastAgentFitness 4\n", 2, {0, 5}, {4, 9}, false},
        {"nAgents 10",
         "subsetOfAgentsFitness 1\nfirstAgentFitness 3\nlastAgentFitness 5\nagentsFitnessUseMax 1\n",
         2,
         {3, 6},
         {5, 2},
         true},
        {"nAgents 4", "subsetOfAgentsFitness 0\nagentsFitnessUseMax 1\n", 1, {0, 0}, {-1, -1}, true},
        {"nAgents 4", "", 1, {0, 0}, {-1, -1}, false},  // no group keyword: one group without agents
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.groups);
        readTextOk(minimalWith({{"nAgents 4", c.agents}, {kGroups, c.groups}}));
        EXPECT_EQ(p->nFitnessGroups, c.n);
        for (size_t g = 0; g < c.first.size(); g++) {
            EXPECT_EQ(p->firstFitnessAgent[g], c.first[g]) << g;
            EXPECT_EQ(p->lastFitnessAgent[g], c.last[g]) << g;
        }
        EXPECT_EQ(p->agentsFitnessUseMax, c.useMax);
    }
}

TEST_F(ConfigTest, MainFileWinsTheGeneralTablesAndBothFilesGiveBlocksForSpecificAgents) {
    const std::string main =
        writeTemp(minimalWith({{kS1, "searchProbsSpecificAgents " + s1Of("1") + "2 1 3\n"},
                               {kPlace, "placeProbs 2 1 1 2\nplaceProbsSpecificAgents 1 0 1 0 1 2\n"}}));
    const std::string extra = writeTemp(
        "# extra file\n"
        "searchProbs 1 3 0 0  1 1 0 0  1 1 0 0  1 1 0 0\n"
        "searchProbsSpecificAgents 0 0 1 0  0 0 1 0  0 0 1 0  0 0 1 0 2 2 3\n"
        "placeProbs 0 1 0 1\n"
        "placeProbsSpecificAgents 0 1 0 1 1 2\n"
        "agentParamsBegin 1 2 maxExploitTreeDepth 2 agentParamsEnd\n");
    readOk({main, extra});
    // S1 from the extra file, which alone has one; its blocks for agents come after the main file's.
    EXPECT_DOUBLE_EQ(p->generalStrategy.s1.searchProbs[0][0][0][1], 0.75);
    EXPECT_EQ(p->agentStrategies.at(1).s1.searchProbs[0][0][0][0], 0.25);
    EXPECT_EQ(p->agentStrategies.at(3).s1.searchProbs[0][0][1][0], 1.0);
    // S2 from the main file; the extra file stays at its "placeProbs", so its later blocks
    // are not found.
    EXPECT_DOUBLE_EQ(p->generalStrategy.s2.placeProbs[0][0], 2.0 / 3);
    EXPECT_EQ(p->agentStrategies.at(2).s1.searchProbs[0][0][1][0], 1.0);
    EXPECT_EQ(p->agentStrategies.at(2).s2.placeProbs[0][0], 1.0);
    EXPECT_TRUE(p->agentCustomParams.empty());
    EXPECT_EQ(p->nExtraStrategies, 0);
}

TEST_F(ConfigTest, AgentParameterBlocksStartFromTheGeneralExploitSettings) {
    readTextOk(minimalWith({{"exploit 5\n", "useAllExploitAttempts 1\nexploit 5\n"},
                            {"varysearch 1\n",
                             "varysearch 1\nagentParamsBegin 2 0 3 maxExploitTreeDepth 3 agentParamsEnd\n"
                             "# a block over several lines\nagentParamsBegin 1\n3\n"
                             "# comments may stand between its keywords\n"
                             "useAllExploitAttempts 0\nagentParamsEnd\n"}}));
    const SearchPhaseConfig& a0 = p->getCustomParams(0).exploitSearchConfig;
    EXPECT_TRUE(a0.maxTreeDepth == 3 && a0.maxSteps == 5u && a0.useAllAttempts);
    // The later block starts again from the general settings and replaces agent 3's record.
    const SearchPhaseConfig& a3 = p->getCustomParams(3).exploitSearchConfig;
    EXPECT_TRUE(a3.maxTreeDepth == 0 && !a3.useAllAttempts);
    EXPECT_EQ(&p->getCustomParams(1), &p->generalCustomParams);
}

TEST_F(ConfigTest, ComparedStrategyFilesFillTheKeysAfterTheAgents) {
    const std::string main = kConfigs + "minimal.cfg", extra = writeTemp("# no blocks\n");
    const std::string c1 = writeTemp(
        "# compared strategy 1\n"
        "searchProbsSpecificAgents 1 3 0 0  1 3 0 0  1 3 0 0  0 1 0 0 1 0\n"
        "placeProbsSpecificAgents 1 1 1 1 1 0\n"
        "agentParamsBegin 1 0 maxExploitTreeDepth 2 agentParamsEnd\n");
    const std::string c2 = writeTemp("searchProbsSpecificAgents " + s1Of("1") +
                                     "1 0\nplaceProbsSpecificAgents 2 1 1 2 1 0\n"
                                     "agentParamsBegin 1 0 useAllExploitAttempts 1 agentParamsEnd\n");
    readOk({main, extra, c1, c2});
    EXPECT_EQ(p->nExtraStrategies, 2);
    ASSERT_EQ(p->agentStrategies.size(), 2u);
    EXPECT_DOUBLE_EQ(p->agentStrategies.at(4).s1.searchProbs[0][0][0][1], 0.75);
    EXPECT_EQ(p->agentStrategies.at(4).s1.searchProbs[1][1][0][1], 1.0);
    EXPECT_DOUBLE_EQ(p->agentStrategies.at(5).s2.placeProbs[0][0], 2.0 / 3);
    EXPECT_TRUE(p->getCustomParams(4).exploitSearchConfig.maxTreeDepth == 2 &&
                p->getCustomParams(4).exploitSearchConfig.maxSteps == 5u);
    EXPECT_TRUE(p->getCustomParams(5).exploitSearchConfig.useAllAttempts);
    EXPECT_EQ(&p->getCustomParams(0), &p->generalCustomParams);
    // Files are positional: without an extra file the first compared file is the extra one.
    readOk({main, c1});
    EXPECT_EQ(p->nExtraStrategies, 0);
    EXPECT_EQ(p->getCustomParams(0).exploitSearchConfig.maxTreeDepth, 2);

    // The command line cannot name more files; the program can.
    EXPECT_EQ(read({main, extra, c1, c2, c1}).message(),
              "Too many config. files: 3 compared strategies given, at most 2 are supported\n");
}

// Network strategies, with the two networks of tiny_pop.xml: individual 0 has Bias,
// INPUT0-3, OUTPUT0 and OUTPUT1 (depth 2); individual 1 INPUT0-5 and no OUTPUT1 (depth 3).
TEST_F(ConfigTest, NetworkStrategyGetsItsNodeIndicesDepthAndType) {
    readTextOk(withBlocks("NNStrategy " + kPop + " 0\n"));
    EXPECT_TRUE(p->usingNNStrategy && p->netActivator != nullptr);
    const NeuralNet& nn = p->generalStrategy.nn;
    ASSERT_TRUE(nn.net);
    // Sensors first in ID order (Bias, INPUT0-3), then OUTPUT0, OUTPUT1, H.
    EXPECT_TRUE(nn.bias == 0 && nn.i0 == 1 && nn.i3 == 4 && nn.i4 == -1 && nn.i5 == -1);
    EXPECT_TRUE(nn.o0 == 5 && nn.o1 == 6 && nn.depth == 2);
    EXPECT_EQ(p->generalStrategy.type, StrategyType0);

    readTextOk(withBlocks("NNStrategy " + kPop + " 1 type 3\n"));
    EXPECT_EQ(p->generalStrategy.type, StrategyType3);
    EXPECT_TRUE(p->generalStrategy.nn.i5 == 6 && p->generalStrategy.nn.o0 == 7 && p->generalStrategy.nn.o1 == -1);
    EXPECT_EQ(p->generalStrategy.nn.depth, 3);
}

TEST_F(ConfigTest, NetworksForSpecificAgentsAreSharedCopiesAndTheMainFileWins) {
    readTextOk(withBlocks("NNStrategySpecificAgents " + kPop + " 1 type 4 2 0 1\nNNStrategySpecificAgents " + kPop +
                          " 0 2 2 3\n"));
    EXPECT_TRUE(p->usingNNStrategy && !p->generalStrategy.nn.net);
    const AgentStrategy &a0 = p->agentStrategies.at(0), &a1 = p->agentStrategies.at(1);
    EXPECT_TRUE(a0.type == StrategyType4 && a0.nn.depth == 3 && a0.nn.net.get() == a1.nn.net.get());
    EXPECT_EQ(p->agentStrategies.at(3).nn.depth, 2);
    EXPECT_NE(p->agentStrategies.at(3).nn.net.get(), a0.nn.net.get());

    const std::string extra = writeTemp("NNStrategy " + kPop + " 0\n");
    readOk({writeTemp(withBlocks("NNStrategy " + kPop + " 1\n")), extra});
    EXPECT_EQ(p->generalStrategy.nn.depth, 3);
    readOk({writeTemp(withBlocks("")), extra});
    EXPECT_EQ(p->generalStrategy.nn.depth, 2);
}

TEST_F(ConfigTest, ANetworkForKeyNAgentsServesTheComparedStrategy) {
    const std::string compared =
        writeTemp("searchProbsSpecificAgents " + s1Of("1") + "1 0\nplaceProbsSpecificAgents 1 1 1 1 1 0\n");
    // Its tables join the record.
    readOk({writeTemp(withBlocks("NNStrategy " + kPop + " 0\nNNStrategySpecificAgents " + kPop + " 1 1 4\n")),
            writeTemp(""), compared});
    EXPECT_EQ(p->agentStrategies.at(4).nn.depth, 3);
    EXPECT_DOUBLE_EQ(p->agentStrategies.at(4).s2.placeProbs[0][0], 0.5);
}
