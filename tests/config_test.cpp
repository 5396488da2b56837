// Tests of the configuration reader: the keyword sequence, the strategy blocks, the checks
// and the parameter dump. Expected values are worked out by hand from the test files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "NetworkActivator.h"
#include "params.h"
#include "util.h"

namespace {

const std::string kConfigs = std::string(NK_TESTS_DIR) + "/configs/";
const std::string kPop = kConfigs + "tiny_pop.xml";

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string>& tempFiles() {
    static std::vector<std::string> files;
    return files;
}

// Removes the files of writeTemp once all tests have run.
class TempFileCleaner : public testing::Environment {
public:
    void TearDown() override {
        for (const std::string& path : tempFiles()) std::remove(path.c_str());
    }
};
const testing::Environment* const kCleaner = testing::AddGlobalTestEnvironment(new TempFileCleaner);

// Writes `text` to a fresh file of the test's temporary folder and returns its path.
std::string writeTemp(const std::string& text) {
    std::string path = testing::TempDir() + "nkcfg_" + std::to_string(getpid()) + "_" +
                       std::to_string(tempFiles().size()) + ".cfg";
    std::ofstream(path) << text;
    tempFiles().push_back(path);
    return path;
}

using Edits = std::vector<std::pair<std::string, std::string>>;

// minimal.cfg with the first occurrence of each `from` text replaced by its `to` text.
std::string minimalWith(const Edits& edits) {
    std::string text = fileText(kConfigs + "minimal.cfg");
    for (const auto& [from, to] : edits) {
        size_t pos = text.find(from);
        EXPECT_NE(pos, std::string::npos) << "test edit does not apply: " << from;
        if (pos != std::string::npos) text.replace(pos, from.size(), to);
    }
    return text;
}

struct Outcome {
    int status = -1;  // -1: the reader returned
    std::string out, err;

    // Standard error after the "ERROR at <location>:" line, which must name one of our sources.
    std::string message() const {
        static const std::regex head("^ERROR at src/[a-z_]+\\.cpp:[0-9]+:\n");
        std::smatch m;
        if (!std::regex_search(err, m, head)) return "<no ERROR line> " + err;
        return m.suffix();
    }
};

Outcome readInto(SimuParameters& p, const std::vector<std::string>& files, int nRunsOverride = 0) {
    Outcome o;
    setFatalExitThrows(true);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
        p.readFromFile(files, nRunsOverride);
    } catch (const FatalExit& e) {
        o.status = e.status;
    }
    o.out = testing::internal::GetCapturedStdout();
    o.err = testing::internal::GetCapturedStderr();
    setFatalExitThrows(false);
    return o;
}

class ConfigTest : public testing::Test {
protected:
    Outcome read(const std::vector<std::string>& files, int nRunsOverride = 0) {
        return readInto(p, files, nRunsOverride);
    }
    Outcome readText(const std::string& text) { return read({writeTemp(text)}); }
    // Reads `text` and fails the test unless it is accepted silently.
    void readOk(const std::string& text) { expectAccepted(readText(text)); }
    void expectAccepted(const Outcome& o) {
        EXPECT_EQ(o.status, -1) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err, "");
    }

    std::vector<std::string> names;
    SimuParameters p{names};
};

// The 16 S1 values of a type-0 table, all equal to `v`.
std::string s1Of(const std::string& v) {
    std::string s;
    for (int i = 0; i < 16; i++) s += v + " ";
    return s;
}

TEST_F(ConfigTest, MinimalFileGivesEveryValueAndKeepsTheDefaultsOfAbsentKeywords) {
    expectAccepted(read({kConfigs + "minimal.cfg"}));
    EXPECT_EQ(p.n, 10u);
    EXPECT_EQ(p.k, 2u);
    EXPECT_EQ(p.nPoints, 1024ul);
    EXPECT_EQ(p.nContexts, 4ul);
    EXPECT_EQ(p.nAgents, 4);
    EXPECT_EQ(p.nRuns, 3u);
    EXPECT_EQ(p.maxTotalSteps, 50u);
    EXPECT_EQ(p.nFitnessGroups, 1);
    EXPECT_EQ(p.firstFitnessAgent[0], 0);
    EXPECT_EQ(p.lastFitnessAgent[0], 3);
    EXPECT_EQ(p.initialPrivateMemSize, 2u);
    EXPECT_TRUE(p.rememberChecked);
    EXPECT_EQ(p.flockingRadius, 1);
    EXPECT_DOUBLE_EQ(p.flockingIntensity, 0.5);
    EXPECT_EQ(p.generalCustomParams.exploitSearchConfig.maxSteps, 5u);
    EXPECT_EQ(p.exploreSearchConfig.maxSteps, 4u);
    EXPECT_EQ(p.exploreSearchConfig.maxAttempts, 6u);
    EXPECT_DOUBLE_EQ(p.exploreSearchConfig.rangeLow, 0.2);
    EXPECT_DOUBLE_EQ(p.exploreSearchConfig.rangeHigh, 0.6);
    EXPECT_EQ(p.landscapeseed, 11);
    EXPECT_EQ(p.changeseed, 12);
    EXPECT_EQ(p.startseed, 13);
    EXPECT_EQ(p.searchseed, 14);
    EXPECT_FALSE(p.varylandscape);
    EXPECT_TRUE(p.varychange);
    EXPECT_FALSE(p.varystart);
    EXPECT_TRUE(p.varysearch);
    // Absent optional keywords.
    EXPECT_EQ(p.optionalInfo, "");
    EXPECT_DOUBLE_EQ(p.fitnessStretchCoef, 1.0);
    EXPECT_EQ(p.groupSize, 0);
    EXPECT_EQ(p.lastStepsUsedForFitness, 25u);
    EXPECT_EQ(p.initialPublicMemSize, 1u);
    EXPECT_EQ(p.initialGroupsMemSize, 1u);
    EXPECT_EQ(p.maxMemSize, 2147483647u);
    EXPECT_TRUE(p.uniformFlocking);
    EXPECT_TRUE(p.alwaysUseUpToDateFitness);
    EXPECT_DOUBLE_EQ(p.maxDropPerStep, -1.0);
    EXPECT_EQ(p.NNFitnessDiscreteSteps, 2);
    EXPECT_EQ(p.exploreSearchConfig2.maxSteps, 0u);
    EXPECT_EQ(p.recombSearchConfig.maxAttempts, 0u);
    EXPECT_FALSE(p.usingNNStrategy);
    EXPECT_EQ(p.nExtraStrategies, 0);
    EXPECT_TRUE(p.agentStrategies.empty());
    EXPECT_TRUE(p.agentCustomParams.empty());
    // The S1 blocks "3 1 2 1", "1 2 1 3", "2 2 1 1", "1 1 2 4", [search type][memory] each.
    const auto& s1 = p.generalStrategy.s1.searchProbs;
    EXPECT_EQ(p.generalStrategy.type, StrategyType0);
    EXPECT_DOUBLE_EQ(s1[0][0][0][0], 3.0 / 7);
    EXPECT_DOUBLE_EQ(s1[0][0][0][1], 1.0 / 7);
    EXPECT_DOUBLE_EQ(s1[0][0][1][0], 2.0 / 7);
    EXPECT_DOUBLE_EQ(s1[0][1][1][1], 3.0 / 7);
    EXPECT_DOUBLE_EQ(s1[1][0][0][0], 2.0 / 6);
    EXPECT_DOUBLE_EQ(s1[1][1][1][1], 4.0 / 8);
    EXPECT_EQ(s1[0][0][2][0], 0.0);  // outside the type-0 layout
    // S2 "1 3 0 0": a zero row becomes even.
    const auto& s2 = p.generalStrategy.s2.placeProbs;
    EXPECT_DOUBLE_EQ(s2[0][0], 0.25);
    EXPECT_DOUBLE_EQ(s2[0][1], 0.75);
    EXPECT_DOUBLE_EQ(s2[1][0], 0.5);
    EXPECT_DOUBLE_EQ(s2[1][1], 0.5);
    // The table holds only the one parameter the reader stores.
    ASSERT_NE(NEAT::Globals::singleton, nullptr);
    EXPECT_EQ(NEAT::Globals::singleton->getParameters(), (std::map<std::string, double>{{"UseActGaussian", 1.0}}));
}

TEST_F(ConfigTest, KeywordsMatchInAnyCase) {
    readOk(minimalWith({{"\nn 10\n", "\nN 10\n"}, {"nAgents 4", "NAGENTS 7"}, {"searchseed", "SearchSeed"}}));
    EXPECT_EQ(p.n, 10u);
    EXPECT_EQ(p.nAgents, 7);
    EXPECT_EQ(p.searchseed, 14);
}

TEST_F(ConfigTest, AbsentRequiredKeywordLeavesTheDefaultAndReadingGoesOn) {
    readOk(minimalWith({{"maxTotalSteps 50\n", ""}, {"flockingRadius 1\n", ""}, {"rememberChecked 1\n", ""}}));
    EXPECT_EQ(p.maxTotalSteps, 0u);
    EXPECT_EQ(p.flockingRadius, 1);
    EXPECT_FALSE(p.rememberChecked);
    EXPECT_DOUBLE_EQ(p.flockingIntensity, 0.5);
    EXPECT_EQ(p.searchseed, 14);
}

TEST_F(ConfigTest, NAndKBounds) {
    readOk(minimalWith({{"\nn 10\n", "\nn 20\n"}, {"\nk 2\n", "\nk 0\n"}}));
    EXPECT_EQ(p.nPoints, 1ul << 20);
    EXPECT_EQ(p.nContexts, 1ul);

    SimuParameters widest(names);
    expectAccepted(readInto(widest, {writeTemp(minimalWith({{"\nn 10\n", "\nn 31\n"}, {"\nk 2\n", "\nk 30\n"}}))}));
    EXPECT_EQ(widest.nPoints, 2147483648ul);
    EXPECT_EQ(widest.nContexts, 1ul << 30);
}

TEST_F(ConfigTest, FitnessGroups) {
    // subsetOfAgentsFitness: group 1 is the rest of the ring.
    const std::string groups = "nFitnessGroups 1\nagentFitnessGroup 0 3\n";
    readOk(minimalWith(
        {{"nAgents 4", "nAgents 10"}, {groups, "subsetOfAgentsFitness 1\nfirstAgentFitness 0\nlastAgentFitness 4\n"}}));
    EXPECT_EQ(p.nFitnessGroups, 2);
    EXPECT_EQ(p.firstFitnessAgent[1], 5);
    EXPECT_EQ(p.lastFitnessAgent[1], 9);
    EXPECT_FALSE(p.agentsFitnessUseMax);

    SimuParameters wrapped(names);
    expectAccepted(readInto(
        wrapped,
        {writeTemp(minimalWith(
            {{"nAgents 4", "nAgents 10"},
             {groups,
              "subsetOfAgentsFitness 1\nfirstAgentFitness 3\nlastAgentFitness 5\nagentsFitnessUseMax 1\n"}}))}));
    EXPECT_EQ(wrapped.firstFitnessAgent[0], 3);
    EXPECT_EQ(wrapped.lastFitnessAgent[0], 5);
    EXPECT_EQ(wrapped.firstFitnessAgent[1], 6);
    EXPECT_EQ(wrapped.lastFitnessAgent[1], 2);
    EXPECT_TRUE(wrapped.agentsFitnessUseMax);

    SimuParameters off(names);
    expectAccepted(
        readInto(off, {writeTemp(minimalWith({{groups, "subsetOfAgentsFitness 0\nagentsFitnessUseMax 1\n"}}))}));
    EXPECT_EQ(off.nFitnessGroups, 1);
    EXPECT_EQ(off.firstFitnessAgent[0], 0);
    EXPECT_EQ(off.lastFitnessAgent[0], -1);
    EXPECT_TRUE(off.agentsFitnessUseMax);

    SimuParameters three(names);
    expectAccepted(readInto(
        three,
        {writeTemp(minimalWith(
            {{"nAgents 4", "nAgents 12"},
             {groups, "nFitnessGroups 3\nagentFitnessGroup 0 3\nagentFitnessGroup 4 7\nagentFitnessGroup 8 11\n"}}))}));
    EXPECT_EQ(three.nFitnessGroups, 3);
    EXPECT_EQ(three.firstFitnessAgent[2], 8);
    EXPECT_EQ(three.lastFitnessAgent[2], 11);
    EXPECT_EQ(three.lastFitnessAgent[3], -1);

    // No group keyword: one group without agents.
    SimuParameters none(names);
    expectAccepted(readInto(none, {writeTemp(minimalWith({{groups, ""}}))}));
    EXPECT_EQ(none.nFitnessGroups, 1);
    EXPECT_EQ(none.firstFitnessAgent[0], 0);
    EXPECT_EQ(none.lastFitnessAgent[0], -1);
}

TEST_F(ConfigTest, MemoryAndSearchSettings) {
    readOk(minimalWith({{"initialMemSize 2\n", "initialMemSize 2\nmaxMemSize 50\n"},
                        {"flockingIntensity 0.5\n", "flockingIntensity 0.5\nuniformFlocking 0\n"},
                        {"exploit 5\n", "maxExploitTreeDepth 4\nexploit 5\n"},
                        {"explore 4 6 0.2 0.6\n", "explore 4 6 0.2 0.6\nrecombination 7\n"}}));
    EXPECT_EQ(p.maxMemSize, 50u);
    EXPECT_FALSE(p.uniformFlocking);
    EXPECT_EQ(p.generalCustomParams.exploitSearchConfig.maxTreeDepth, 4);
    EXPECT_FALSE(p.generalCustomParams.exploitSearchConfig.useAllAttempts);
    EXPECT_EQ(p.recombSearchConfig.maxAttempts, 7u);
    EXPECT_EQ(p.recombSearchConfig.maxSteps, 0u);
}

TEST_F(ConfigTest, ExploreRangeProductsAreRoundedToFloatBeforeTheCheck) {
    // 0.5 of 4 is the single distance 2.
    readOk(minimalWith({{"\nn 10\n", "\nn 4\n"}, {"explore 4 6 0.2 0.6", "explore 5 10 0.5 0.5"}}));
    EXPECT_DOUBLE_EQ(p.exploreSearchConfig.rangeLow, 0.5);
    // 0.28 * 25 is 7.000000000000001 in double precision, 7 in single.
    SimuParameters rounded(names);
    expectAccepted(readInto(
        rounded,
        {writeTemp(minimalWith({{"\nn 10\n", "\nn 25\n"}, {"explore 4 6 0.2 0.6", "explore 5 10 0.28 0.28"}}))}));
}

TEST_F(ConfigTest, CommandLineRunCountReplacesTheConfiguredOne) {
    const std::string file = writeTemp(minimalWith({{"nRuns 3", "nRuns 0"}}));
    expectAccepted(read({file}, 7));
    EXPECT_EQ(p.nRuns, 7u);
    SimuParameters kept(names);
    expectAccepted(readInto(kept, {kConfigs + "minimal.cfg"}, 0));
    EXPECT_EQ(kept.nRuns, 3u);
}

// Each row: what is wrong, the edits to minimal.cfg, then the exit status, the message after
// the location line ("FILE" standing for the configuration's path) and standard output.
struct ErrorCase {
    const char* what;
    Edits edits;
    int status;
    std::string message;
    std::string out;
};

TEST(ConfigErrorTest, EachFaultEndsTheProgramWithItsMessage) {
    const std::string groups = "nFitnessGroups 1\nagentFitnessGroup 0 3\n";
    const std::string s1 = "searchProbs 3 1 2 1   1 2 1 3   2 2 1 1   1 1 2 4\n";
    const std::string place = "placeProbs 1 3 0 0\n";
    const std::string tail = "varysearch 1\n";
    const std::vector<ErrorCase> cases = {
        {"k equal to n", {{"\nk 2\n", "\nk 10\n"}}, 1, "n=10 or k=10 out of bounds\n\n", ""},
        {"n of 0", {{"\nn 10\n", "\nn 0\n"}}, 1, "n=0 or k=2 out of bounds\n\n", ""},
        {"n beyond 31-bit points", {{"\nn 10\n", "\nn 32\n"}}, 1, "n=32 or k=2 out of bounds\n\n", ""},
        {"n of 64", {{"\nn 10\n", "\nn 64\n"}}, 1, "n=64 or k=2 out of bounds\n\n", ""},
        {"optionalInfo followed by a description",
         {{"\nn 10\n", "\noptionalInfo description\nn 10\n"}},
         1,
         "n=0 or k=0 out of bounds\n\n",
         ""},
        {"eleven fitness groups",
         {{"nFitnessGroups 1", "nFitnessGroups 11"}},
         1,
         "Max value for nFitnessGroups is 10\n",
         ""},
        {"explore range between two distances",
         {{"\nn 10\n", "\nn 3\n"}, {"explore 4 6 0.2 0.6", "explore 5 10 0.5 0.5"}},
         1,
         "range [1.500000..1.500000] won't work\n\n",
         ""},
        {"negative explore range",
         {{"explore 4 6 0.2 0.6", "explore 4 6 -0.1 0.6"}},
         1,
         "range [-1.000000..6.000000] won't work\n\n",
         ""},
        {"explore range above 1",
         {{"explore 4 6 0.2 0.6", "explore 4 6 0.2 1.5"}},
         1,
         "range [2.000000..15.000000] won't work\n\n",
         ""},
        {"explore2 range",
         {{"explore 4 6 0.2 0.6\n", "explore 4 6 0.2 0.6\nexplore2 3 3 0.55 0.58\n"}},
         1,
         "range [5.500000..5.800000] won't work\n\n",
         ""},
        {"required flag 2", {{"rememberChecked 1", "rememberChecked 2"}}, 1, "\n", "rememberChecked=2 incorrect\n"},
        {"required flag as a word",
         {{"rememberChecked 1", "rememberChecked yes"}},
         1,
         "\n",
         "rememberChecked=-1 incorrect\n"},
        {"optional flag 3",
         {{"flockingIntensity 0.5\n", "flockingIntensity 0.5\nuniformFlocking 3\n"}},
         1,
         "\n",
         "uniformFlocking=3 incorrect\n"},
        {"last flag without value", {{tail, "varysearch\n"}}, 1, "\n", "varysearch=-1 incorrect\n"},
        {"end of file before a required keyword",
         {{"# search stream\nsearchseed 14\nvarylandscape 0\nvarychange 1\nvarystart 0\nvarysearch 1\n", ""}},
         1,
         "Could not find keyword: searchseed\n",
         ""},
        {"S1 value not a number",
         {{s1, "searchProbs 3 1 2 1   1 2 1 3   2 2 1 1   1 1 2 x\n"}},
         1,
         "Invalid strategy FILE\n\n",
         ""},
        {"S2 value not a number", {{place, "placeProbs 1 3 0 x\n"}}, 1, "Invalid strategy FILE\n\n", ""},
        {"S1 agent count",
         {{place, "searchProbsSpecificAgents " + s1Of("1") + "x\n" + place}},
         1,
         "Invalid strategy FILE\n\n",
         ""},
        {"S1 agent index",
         {{place, "searchProbsSpecificAgents " + s1Of("1") + "2 1 x\n" + place}},
         1,
         "Invalid strategy FILE\n\n",
         ""},
        {"S2 agent count",
         {{place, place + "placeProbsSpecificAgents 1 1 1 1 x\n"}},
         1,
         "Invalid strategy FILE\n\n",
         ""},
        {"S2 agent index",
         {{place, place + "placeProbsSpecificAgents 1 1 1 1 2 0 x\n"}},
         1,
         "Invalid strategy FILE\n\n",
         ""},
        {"second-table flag 2",
         {{place, place + "searchProbs2 30 2 " + s1Of("1") + "1 1 1 1 1 1 1 1\n"}},
         1,
         "\n",
         "2 incorrect\n"},
        {"agent parameter count", {{tail, tail + "agentParamsBegin x\n"}}, 1, "Invalid number\n\n", ""},
        {"agent parameter index", {{tail, tail + "agentParamsBegin 2 0 x\n"}}, 1, "Invalid number\n\n", ""},
        {"agent parameter flag",
         {{tail, tail + "agentParamsBegin 1 0 useAllExploitAttempts 2 agentParamsEnd\n"}},
         1,
         "\n",
         "useAllExploitAttempts=2 incorrect\n"},
        {"unknown word in an agent parameter block",
         {{tail, tail + "agentParamsBegin 1 0 exploit 3 agentParamsEnd\n"}},
         1,
         "Unexpected exploit in an agent parameter block: expected useAllExploitAttempts, maxExploitTreeDepth or "
         "agentParamsEnd\n\n",
         ""},
        {"agent parameter block without end",
         {{tail, tail + "agentParamsBegin 1 0 maxExploitTreeDepth 3\n# end\n"}},
         1,
         "End of file inside an agent parameter block: agentParamsEnd missing\n\n",
         ""},
        {"overlong word",
         {{"landscapeseed", std::string(1004, 'w') + "\nlandscapeseed"}},
         1,
         "Word longer than 1003 characters: " + std::string(40, 'w') + "...\n",
         ""},
        // Checks of the whole configuration.
        {"groups that do not divide the agents",
         {{"nAgents 4\n", "nAgents 4\ngroupSize 3\n"}},
         1,
         "nAgents=4 is not a multiple of groupSize=3\n\n",
         ""},
        {"empty initial public memory",
         {{"initialMemSize 2\n", "initialMemSize 2\ninitialPublicMemSize 0\n"}},
         1,
         "initialPublicMemSize must be above 0\n\n",
         ""},
        {"empty initial private memory",
         {{"initialMemSize 2", "initialMemSize 0"}},
         1,
         "initialMemSize must be above 0\n\n",
         ""},
        {"empty initial group memory",
         {{"nAgents 4\n", "nAgents 4\ngroupSize 2\n"},
          {"initialMemSize 2\n", "initialMemSize 2\ninitialGroupsMemSize 0\n"}},
         1,
         "initialGroupsMemSize must be above 0 when groupSize=2\n\n",
         ""},
        {"fitness group past the last agent",
         {{"agentFitnessGroup 0 3", "agentFitnessGroup 0 4"}},
         1,
         "Fitness group 0 (agents 0..4) reaches outside agents 0..3\n\n",
         ""},
        {"fitness group before agent 0",
         {{"agentFitnessGroup 0 3", "agentFitnessGroup -1 2"}},
         1,
         "Fitness group 0 (agents -1..2) reaches outside agents 0..3\n\n",
         ""},
        {"fitness subset past the last agent",
         {{groups, "subsetOfAgentsFitness 1\nfirstAgentFitness 0\nlastAgentFitness 9\n"}},
         1,
         "Fitness group 0 (agents 0..9) reaches outside agents 0..3\n\n",
         ""},
        {"fitness subset without agents",
         {{"nAgents 4", "nAgents 0"}, {groups, "subsetOfAgentsFitness 1\nfirstAgentFitness 0\nlastAgentFitness 0\n"}},
         1,
         "subsetOfAgentsFitness needs nAgents above 0, not 0\n\n",
         ""},
        {"evaluation budget for an empty group",
         {{"maxTotalSteps 50\n", "maxTotalSteps 50\nmaxTotalEvals 100\n"}, {groups, ""}},
         1,
         "maxTotalEvals=100 needs an agent in fitness group 0, which is empty\n\n",
         ""},
        {"no runs", {{"nRuns 3", "nRuns 0"}}, 1, "nRuns must be above 0\n\n", ""},
        {"no steps counted",
         {{"maxTotalSteps 50\n", "maxTotalSteps 50\nlastStepsUsedForFitness 0\n"}},
         1,
         "lastStepsUsedForFitness must be above 0\n\n",
         ""},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> names;
        SimuParameters p(names);
        const std::string file = writeTemp(minimalWith(c.edits));
        Outcome o = readInto(p, {file});
        std::string expected = c.message;
        if (size_t pos = expected.find("FILE"); pos != std::string::npos) expected.replace(pos, 4, file);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.message(), expected);
        EXPECT_EQ(o.out, c.out);
    }
}

TEST_F(ConfigTest, NoFileAndUnopenableFiles) {
    Outcome none = read({});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.message(), "No config. files!\n");

    const std::string missing = kConfigs + "missing.cfg";
    Outcome main = read({missing});
    EXPECT_EQ(main.status, 1);
    EXPECT_EQ(main.message(), "Cannot open " + missing + "\n");

    SimuParameters q(names);
    Outcome extra = readInto(q, {kConfigs + "minimal.cfg", missing});
    EXPECT_EQ(extra.status, 1);
    EXPECT_EQ(extra.message(), "Cannot open " + missing + "\n");
}

TEST_F(ConfigTest, FullConfigurationReadsEveryKeywordAndDumpsExactly) {
    expectAccepted(read({kConfigs + "full.cfg"}));
    EXPECT_DOUBLE_EQ(p.fitnessStretchCoef, 1.5);
    EXPECT_EQ(p.groupSize, 2);
    EXPECT_EQ(p.lastStepsUsedForFitness, 30u);
    EXPECT_EQ(p.nFitnessGroups, 2);
    EXPECT_EQ(p.firstFitnessAgent[1], 3);
    EXPECT_EQ(p.lastFitnessAgent[1], 5);
    EXPECT_TRUE(p.agentsFitnessUseMax);
    EXPECT_EQ(p.initialGroupsMemSize, 4u);
    EXPECT_EQ(p.NNFitnessDiscreteSteps, 4);
    EXPECT_TRUE(p.generalCustomParams.exploitSearchConfig.useAllAttempts);
    EXPECT_EQ(p.generalCustomParams.exploitSearchConfig.maxTreeDepth, 2);
    EXPECT_TRUE(p.exploreSearchConfig.useAllAttempts);
    EXPECT_TRUE(p.limitedEvalsFor2Groups);
    EXPECT_EQ(p.recombSearchConfig.maxAttempts, 9u);
    EXPECT_EQ(p.secondProbsStep, 30u);
    EXPECT_TRUE(p.secondProbsInterpolate);
    // The second tables are stored as written, row-major.
    EXPECT_EQ(p.searchProbs2[0][0][0][0], 1.0);
    EXPECT_EQ(p.searchProbs2[0][1][0][0], 7.0);
    EXPECT_EQ(p.searchProbs2[1][1][2][1], 24.0);
    EXPECT_EQ(p.placeProbs2[0][1], 0.9);
    EXPECT_EQ(p.placeProbs2[1][0], 0.8);

    testing::internal::CaptureStdout();
    p.print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "optionalInfo \n"
              "n 12\nk 3\n"
              "fitnessStretchCoef 1.500000\n"
              "nruns 4\nmaxtotalsteps 100\n"
              "initialPublicMemSize 2\ninitialMemSize 3\nrememberChecked 0\n"
              "rememberedSteps 7 \n"
              "flockingRadius 2\nflockingIntensity 0.750000\nflockingIntensityEnd 0.250000\n"
              "flockingIntensityDecay 0.125000\n"
              "uniformFlocking 0\nmaxVisitsPerStep 3\nrevisitOnFailure 1\nfitnessQuantizationLevels 8\n"
              "alwaysUpdateSourceMem 1\nwaitingEnabled 1\nalwaysUseUpToDateFitness 0\n"
              "maxDropPerStep 0.050000\nrevisitWhileWaiting 1\n"
              "maxMemSize 2147483647\n"
              "exploit 6\n"
              "explore 5 4 0.100000 0.400000\nexplore2 20 3 0.250000 0.500000\n"
              "deterministicActions 1\nchooseActionEveryStep 1\n"
              "landscapeseed 1234\nchangeseed 5\nstartseed 77\nsearchseed 4242\n"
              "varylandscape 1\nvarychange 0\nvarystart 1\nvarysearch 0\n"
              "\nnpoints 4096\nncontexts 8\n");
}

TEST_F(ConfigTest, DumpOfTheMinimalFileShowsUnlimitedRememberingAndNoSecondExplore) {
    expectAccepted(read({kConfigs + "minimal.cfg"}));
    testing::internal::CaptureStdout();
    p.print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "optionalInfo \nn 10\nk 2\nfitnessStretchCoef 1.000000\nnruns 3\nmaxtotalsteps 50\n"
              "initialPublicMemSize 1\ninitialMemSize 2\nrememberChecked 1\nrememberedSteps 0 (infinite)\n"
              "flockingRadius 1\nflockingIntensity 0.500000\nflockingIntensityEnd 1.000000\n"
              "flockingIntensityDecay 0.000000\nuniformFlocking 1\nmaxVisitsPerStep 0\nrevisitOnFailure 0\n"
              "fitnessQuantizationLevels 0\nalwaysUpdateSourceMem 0\nwaitingEnabled 0\nalwaysUseUpToDateFitness 1\n"
              "maxDropPerStep -1.000000\nrevisitWhileWaiting 0\nmaxMemSize 2147483647\nexploit 5\n"
              "explore 4 6 0.200000 0.600000\ndeterministicActions 0\nchooseActionEveryStep 0\n"
              "landscapeseed 11\nchangeseed 12\nstartseed 13\nsearchseed 14\n"
              "varylandscape 0\nvarychange 1\nvarystart 0\nvarysearch 1\n\nnpoints 1024\nncontexts 4\n");
}

TEST_F(ConfigTest, TablesForSpecificAgents) {
    expectAccepted(read({kConfigs + "full.cfg"}));
    // General "searchProbs" of zeros: uniform over the 2 x 2 actions of type 0.
    for (const auto& pub : p.generalStrategy.s1.searchProbs)
        for (const auto& block : pub)
            for (int m = 0; m < 2; m++)
                for (int a = 0; a < 2; a++) EXPECT_DOUBLE_EQ(block[m][a], 0.25);
    // "placeProbs 3 1 0 0".
    EXPECT_DOUBLE_EQ(p.generalStrategy.s2.placeProbs[0][0], 0.75);
    EXPECT_DOUBLE_EQ(p.generalStrategy.s2.placeProbs[0][1], 0.25);
    EXPECT_DOUBLE_EQ(p.generalStrategy.s2.placeProbs[1][0], 0.5);

    ASSERT_EQ(p.agentStrategies.size(), 4u);  // agents 0, 1, 3, 5
    // Agent 1: its own S1 table, then its own S2 table from a later block.
    const AgentStrategy& a1 = p.agentStrategies.at(1);
    EXPECT_EQ(a1.type, StrategyType0);
    EXPECT_DOUBLE_EQ(a1.s1.searchProbs[1][0][0][0], 1.0);
    EXPECT_DOUBLE_EQ(a1.s1.searchProbs[1][0][1][0], 0.0);
    EXPECT_DOUBLE_EQ(a1.s2.placeProbs[1][1], 0.5);
    // Agent 3: the S1 table only; agent 0: the S2 table only; the other table is the general one.
    EXPECT_DOUBLE_EQ(p.agentStrategies.at(3).s2.placeProbs[0][0], 0.75);
    EXPECT_DOUBLE_EQ(p.agentStrategies.at(0).s1.searchProbs[0][0][0][0], 0.25);
    EXPECT_DOUBLE_EQ(p.agentStrategies.at(0).s2.placeProbs[0][0], 0.5);
    // Agent 5: a table in the 2 x 3 layout makes it type 1.
    const AgentStrategy& a5 = p.agentStrategies.at(5);
    EXPECT_EQ(a5.type, StrategyType1);
    EXPECT_DOUBLE_EQ(a5.s1.searchProbs[0][0][1][2], 1.0 / 6);
    EXPECT_DOUBLE_EQ(a5.s1.searchProbs[1][1][1][2], 1.0);
    EXPECT_DOUBLE_EQ(a5.s1.searchProbs[1][1][0][0], 0.0);
}

TEST_F(ConfigTest, LaterBlockForTheSameAgentReplacesOnlyItsOwnKindOfTable) {
    const std::string place = "placeProbs 1 3 0 0\n";
    readOk(minimalWith({{place, "searchProbsSpecificAgents " + s1Of("1") + "1 3\n" +
                                    "searchProbsSpecificAgents 0 1 0 0  0 1 0 0  0 1 0 0  0 1 0 0  1 3\n" + place +
                                    "placeProbsSpecificAgents 0 1 1 0  1 3\n"}}));
    const AgentStrategy& a3 = p.agentStrategies.at(3);
    EXPECT_DOUBLE_EQ(a3.s1.searchProbs[0][0][0][1], 1.0);
    EXPECT_DOUBLE_EQ(a3.s1.searchProbs[0][0][0][0], 0.0);
    EXPECT_DOUBLE_EQ(a3.s2.placeProbs[0][1], 1.0);
    EXPECT_DOUBLE_EQ(a3.s2.placeProbs[1][0], 1.0);
}

TEST_F(ConfigTest, MainFileWinsForTheGeneralStrategyAndTheExtraFileIsReadStrictlyInOrder) {
    const std::string main = writeTemp(
        minimalWith({{"searchProbs 3 1 2 1   1 2 1 3   2 2 1 1   1 1 2 4\n", ""},
                     {"placeProbs 1 3 0 0\n", "placeProbs 2 1 1 2\nplaceProbsSpecificAgents 1 0 1 0 1 2\n"}}));
    const std::string extra = writeTemp(
        "# extra file\n"
        "searchProbs 1 3 0 0  1 1 0 0  1 1 0 0  1 1 0 0\n"
        "searchProbsSpecificAgents 0 0 1 0  0 0 1 0  0 0 1 0  0 0 1 0 1 2\n"
        "placeProbs 0 1 0 1\n"
        "placeProbsSpecificAgents 0 1 0 1 1 2\n"
        "agentParamsBegin 1 2 maxExploitTreeDepth 2 agentParamsEnd\n");
    expectAccepted(read({main, extra}));
    // S1 from the extra file, which alone has one.
    EXPECT_DOUBLE_EQ(p.generalStrategy.s1.searchProbs[0][0][0][1], 0.75);
    // S2 from the main file; the extra file stays at its "placeProbs", so its later blocks
    // are not found.
    EXPECT_DOUBLE_EQ(p.generalStrategy.s2.placeProbs[0][0], 2.0 / 3);
    const AgentStrategy& a2 = p.agentStrategies.at(2);
    EXPECT_DOUBLE_EQ(a2.s1.searchProbs[0][0][1][0], 1.0);
    EXPECT_DOUBLE_EQ(a2.s2.placeProbs[0][0], 1.0);
    EXPECT_TRUE(p.agentCustomParams.empty());
    EXPECT_EQ(p.nExtraStrategies, 0);
}

TEST_F(ConfigTest, BlocksForSpecificAgentsComeFromBothFilesExtraLast) {
    const std::string main = writeTemp(minimalWith(
        {{"placeProbs 1 3 0 0\n", "searchProbsSpecificAgents " + s1Of("1") + "2 1 3\nplaceProbs 1 3 0 0\n"}}));
    const std::string extra = writeTemp(
        "searchProbsSpecificAgents 0 1 0 0  0 1 0 0  0 1 0 0  0 1 0 0  1 3\n"
        "agentParamsBegin 1 1 useAllExploitAttempts 1 agentParamsEnd\n");
    expectAccepted(read({main, extra}));
    EXPECT_DOUBLE_EQ(p.agentStrategies.at(1).s1.searchProbs[0][0][0][0], 0.25);
    EXPECT_DOUBLE_EQ(p.agentStrategies.at(3).s1.searchProbs[0][0][0][1], 1.0);
    EXPECT_TRUE(p.getCustomParams(1).exploitSearchConfig.useAllAttempts);
}

TEST_F(ConfigTest, AgentParameterBlocksStartFromTheGeneralExploitSettings) {
    readOk(minimalWith({{"exploit 5\n", "useAllExploitAttempts 1\nexploit 5\n"},
                        {"varysearch 1\n",
                         "varysearch 1\nagentParamsBegin 2 0 4 maxExploitTreeDepth 3 agentParamsEnd\n"
                         "# a block over several lines\nagentParamsBegin 1\n4\n"
                         "# comments may stand between its keywords\n"
                         "useAllExploitAttempts 0\nagentParamsEnd\n"}}));
    const SearchPhaseConfig& a0 = p.getCustomParams(0).exploitSearchConfig;
    EXPECT_EQ(a0.maxTreeDepth, 3);
    EXPECT_EQ(a0.maxSteps, 5u);
    EXPECT_TRUE(a0.useAllAttempts);
    // The later block starts again from the general settings and replaces agent 4's record.
    const SearchPhaseConfig& a4 = p.getCustomParams(4).exploitSearchConfig;
    EXPECT_EQ(a4.maxTreeDepth, 0);
    EXPECT_FALSE(a4.useAllAttempts);
    EXPECT_EQ(&p.getCustomParams(1), &p.generalCustomParams);
}

// Compared-strategy files: entries keyed nAgents + i.
class ComparedStrategyTest : public ConfigTest {
protected:
    const std::string main = kConfigs + "minimal.cfg";
    const std::string extra = writeTemp("# no blocks\n");
    const std::string c1 = writeTemp(
        "# compared strategy 1\n"
        "searchProbsSpecificAgents 1 3 0 0  1 3 0 0  1 3 0 0  0 1 0 0 1 0\n"
        "placeProbsSpecificAgents 1 1 1 1 1 0\n"
        "agentParamsBegin 1 0 maxExploitTreeDepth 2 agentParamsEnd\n");
    const std::string c2 = writeTemp("searchProbsSpecificAgents " + s1Of("1") +
                                     "1 0\n"
                                     "placeProbsSpecificAgents 2 1 1 2 1 0\n"
                                     "agentParamsBegin 1 0 useAllExploitAttempts 1 agentParamsEnd\n");
};

TEST_F(ComparedStrategyTest, TwoComparedFilesFillKeysAfterTheAgents) {
    expectAccepted(read({main, extra, c1, c2}));
    EXPECT_EQ(p.nExtraStrategies, 2);
    ASSERT_EQ(p.agentStrategies.size(), 2u);
    EXPECT_DOUBLE_EQ(p.agentStrategies.at(4).s1.searchProbs[0][0][0][1], 0.75);
    EXPECT_DOUBLE_EQ(p.agentStrategies.at(4).s1.searchProbs[1][1][0][1], 1.0);
    EXPECT_DOUBLE_EQ(p.agentStrategies.at(5).s2.placeProbs[0][0], 2.0 / 3);
    EXPECT_EQ(p.getCustomParams(4).exploitSearchConfig.maxTreeDepth, 2);
    EXPECT_EQ(p.getCustomParams(4).exploitSearchConfig.maxSteps, 5u);
    EXPECT_TRUE(p.getCustomParams(5).exploitSearchConfig.useAllAttempts);
    EXPECT_EQ(&p.getCustomParams(0), &p.generalCustomParams);
}

TEST_F(ComparedStrategyTest, FilesArePositionalSoWithoutAnExtraFileTheFirstIsTheExtra) {
    expectAccepted(read({main, c1}));
    EXPECT_EQ(p.nExtraStrategies, 0);
    EXPECT_EQ(p.agentStrategies.count(0), 1u);
    EXPECT_EQ(p.getCustomParams(0).exploitSearchConfig.maxTreeDepth, 2);
}

TEST_F(ComparedStrategyTest, MissingTablesAndTooManyFilesAreFatal) {
    Outcome noS1 = read({main, extra, writeTemp("placeProbsSpecificAgents 1 1 1 1 1 0\n")});
    EXPECT_EQ(noS1.status, 1);
    EXPECT_EQ(noS1.message(), "S1 strategy missing!\n");

    SimuParameters q(names);
    Outcome noS2 = readInto(q, {main, extra, writeTemp("searchProbsSpecificAgents " + s1Of("1") + "1 0\n")});
    EXPECT_EQ(noS2.status, 1);
    EXPECT_EQ(noS2.message(), "S2 strategy missing!\n");

    SimuParameters r(names);
    Outcome three = readInto(r, {main, extra, c1, c2, c1});
    EXPECT_EQ(three.status, 1);
    EXPECT_EQ(three.message(), "Too many config. files: 3 compared strategies given, at most 2 are supported\n");
}

// Network strategies, with the two networks of tiny_pop.xml.
class NetworkStrategyTest : public ConfigTest {
protected:
    const std::string s1 = "searchProbs 3 1 2 1   1 2 1 3   2 2 1 1   1 1 2 4\n";
    const std::string place = "placeProbs 1 3 0 0\n";
    std::string withBlocks(const std::string& blocks, Edits more = {}) {
        more.push_back({s1, blocks});
        more.push_back({place, ""});
        return minimalWith(more);
    }
};

TEST_F(NetworkStrategyTest, GeneralNetworkGetsItsNodeIndicesAndDepth) {
    readOk(withBlocks("NNStrategy " + kPop + " 0\n"));
    EXPECT_TRUE(p.usingNNStrategy);
    EXPECT_NE(p.netActivator, nullptr);
    const NeuralNet& nn = p.generalStrategy.nn;
    ASSERT_TRUE(nn.net);
    // Sensors first in ID order (Bias, INPUT0-3), then OUTPUT0, OUTPUT1, H.
    EXPECT_EQ(nn.bias, 0);
    EXPECT_EQ(nn.i0, 1);
    EXPECT_EQ(nn.i3, 4);
    EXPECT_EQ(nn.i4, -1);
    EXPECT_EQ(nn.i5, -1);
    EXPECT_EQ(nn.o0, 5);
    EXPECT_EQ(nn.o1, 6);
    EXPECT_EQ(nn.depth, 2);
    EXPECT_EQ(p.generalStrategy.type, StrategyType0);
}

TEST_F(NetworkStrategyTest, TypeKeywordAndItsDefault) {
    readOk(withBlocks("NNStrategy " + kPop + " 1 type 3\n"));
    const NeuralNet& nn = p.generalStrategy.nn;
    EXPECT_EQ(p.generalStrategy.type, StrategyType3);
    EXPECT_EQ(nn.i5, 6);
    EXPECT_EQ(nn.o0, 7);
    EXPECT_EQ(nn.o1, -1);
    EXPECT_EQ(nn.depth, 3);

    // Out of range: the default, type 2 when agents form groups.
    SimuParameters grouped(names);
    expectAccepted(readInto(grouped, {writeTemp(withBlocks("NNStrategy " + kPop + " 0 type 7\n",
                                                           {{"nAgents 4\n", "nAgents 6\ngroupSize 3\n"},
                                                            {"agentFitnessGroup 0 3", "agentFitnessGroup 0 5"}}))}));
    EXPECT_EQ(grouped.generalStrategy.type, StrategyType2);
    SimuParameters single(names);
    expectAccepted(readInto(single, {writeTemp(withBlocks("NNStrategy " + kPop + " 0 type 7\n"))}));
    EXPECT_EQ(single.generalStrategy.type, StrategyType0);
}

TEST_F(NetworkStrategyTest, NetworkStrategySwitchesTheTableBlocksOff) {
    // The tables are not asked for, so they stand out of place: reported, never misread.
    const Outcome o = readText(withBlocks("NNStrategy " + kPop + " 0\n" + s1 + place));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.message().rfind("Unexpected \"searchProbs\" in ", 0), 0u) << o.err;
}

TEST_F(ConfigTest, KeywordOutOfPlaceIsReportedWithTheFirstUnreadWord) {
    // A flag not asked for here would block all later keywords.
    const Outcome o = readText(minimalWith({{"nFitnessGroups 1\nagentFitnessGroup 0 3\n", "agentsFitnessUseMax 1\n"}}));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.message().rfind("Unexpected \"agentsFitnessUseMax\" in ", 0), 0u) << o.err;
    EXPECT_NE(o.message().find("keywords must appear in the fixed order"), std::string::npos);
}

TEST_F(NetworkStrategyTest, NetworksForSpecificAgentsAreSharedCopies) {
    readOk(withBlocks("NNStrategySpecificAgents " + kPop + " 1 type 4 2 0 1\n" + "NNStrategySpecificAgents " + kPop +
                      " 0 2 2 3\n"));
    EXPECT_TRUE(p.usingNNStrategy);
    EXPECT_FALSE(p.generalStrategy.nn.net);
    const AgentStrategy& a0 = p.agentStrategies.at(0);
    const AgentStrategy& a1 = p.agentStrategies.at(1);
    EXPECT_EQ(a0.type, StrategyType4);
    EXPECT_EQ(a0.nn.depth, 3);
    EXPECT_EQ(a0.nn.net.get(), a1.nn.net.get());
    EXPECT_EQ(p.agentStrategies.at(3).nn.depth, 2);
    EXPECT_NE(p.agentStrategies.at(3).nn.net.get(), a0.nn.net.get());
}

TEST_F(NetworkStrategyTest, MainFileNetworkWinsOverTheExtraFile) {
    const std::string main = writeTemp(withBlocks("NNStrategy " + kPop + " 1\n"));
    const std::string extra = writeTemp("NNStrategy " + kPop + " 0\n");
    expectAccepted(read({main, extra}));
    EXPECT_EQ(p.generalStrategy.nn.depth, 3);
    SimuParameters fromExtra(names);
    expectAccepted(readInto(fromExtra, {writeTemp(withBlocks("")), extra}));
    EXPECT_EQ(fromExtra.generalStrategy.nn.depth, 2);
}

TEST_F(NetworkStrategyTest, UnloadableGenomeEndsWithErrorOnStandardOutputAndStatusZero) {
    Outcome missing = readText(withBlocks("NNStrategy " + kConfigs + "no-such-pop.xml 0\n"));
    EXPECT_EQ(missing.status, 0);
    EXPECT_EQ(missing.out, "error");
    EXPECT_NE(missing.err.find("Error trying to load the XML file!"), std::string::npos) << missing.err;

    SimuParameters q(names);
    Outcome range = readInto(q, {writeTemp(withBlocks("NNStrategy " + kPop + " 2\n"))});
    EXPECT_EQ(range.status, 0);
    EXPECT_EQ(range.out, "GET_INDIVIDUAL: GENERATION OUT OF RANGE!\nerror");

    SimuParameters r(names);
    Outcome cyclic = readInto(r, {writeTemp(withBlocks("NNStrategy " + kConfigs + "cyclic_pop.xml 0\n"))});
    EXPECT_EQ(cyclic.status, 0);
    EXPECT_EQ(cyclic.out, "error");
}

TEST_F(NetworkStrategyTest, EveryDecisionNeedsANetwork) {
    Outcome count = readText(withBlocks("NNStrategySpecificAgents " + kPop + " 0 x\n"));
    EXPECT_EQ(count.status, 1);
    EXPECT_EQ(count.message(), "Invalid strategy\n\n");

    SimuParameters q(names);
    Outcome agent = readInto(q, {writeTemp(withBlocks("NNStrategySpecificAgents " + kPop + " 0 3 0 1 2\n"))});
    EXPECT_EQ(agent.status, 1);
    EXPECT_EQ(agent.message(), "Agent 3 has no network, but a network strategy is used\n\n");

    SimuParameters r(names);
    const std::string compared =
        writeTemp("searchProbsSpecificAgents " + s1Of("1") + "1 0\n" + "placeProbsSpecificAgents 1 1 1 1 1 0\n");
    Outcome other = readInto(r, {writeTemp(withBlocks("NNStrategy " + kPop + " 0\n")), writeTemp(""), compared});
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.message(), "Compared strategy 1 (agent 4) has no network, but a network strategy is used\n\n");

    // A network for key nAgents + 0 serves the compared strategy; its tables join the record.
    SimuParameters s(names);
    expectAccepted(
        readInto(s, {writeTemp(withBlocks("NNStrategy " + kPop + " 0\nNNStrategySpecificAgents " + kPop + " 1 1 4\n")),
                     writeTemp(""), compared}));
    EXPECT_EQ(s.agentStrategies.at(4).nn.depth, 3);
    EXPECT_DOUBLE_EQ(s.agentStrategies.at(4).s2.placeProbs[0][0], 0.5);
}

TEST(ConfigDeathTest, FatalErrorsExitWithStatusOneAndGenomeFailuresWithZero) {
    std::vector<std::string> names;
    setFatalExitThrows(false);
    const std::string bad = writeTemp(minimalWith({{"\nk 2\n", "\nk 10\n"}}));
    EXPECT_EXIT(SimuParameters(std::vector<std::string>{bad}, names, 0, 0.0), testing::ExitedWithCode(1),
                "ERROR at src/simuparameters\\.cpp:[0-9]+:\nn=10 or k=10 out of bounds");
    const std::string noGenome = writeTemp(minimalWith(
        {{"searchProbs 3 1 2 1   1 2 1 3   2 2 1 1   1 1 2 4\nplaceProbs 1 3 0 0\n", "NNStrategy nofile.xml 0\n"}}));
    EXPECT_EXIT(SimuParameters(std::vector<std::string>{noGenome}, names, 0, 0.0), testing::ExitedWithCode(0),
                "Error trying to load the XML file!");
}

}  // namespace
