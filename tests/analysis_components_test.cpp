// The "landscapeComponents" keyword and the independent components it selects: reading,
// validation, the parameter dump, the components against the C library generator in the
// documented draw order, and whole runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "landscape.h"
#include "params.h"
#include "run_program.h"
#include "util.h"

namespace {

const std::string kConfigs = std::string(NK_TESTS_DIR) + "/configs/";

// minimal.cfg (N = 10, K = 2, no fitnessStretchCoef) with the first `from` replaced by `to`,
// in a temporary file named after `tag`.
std::string minimalWith(const std::string& from, const std::string& to, const std::string& tag) {
    std::string text = readFileText(kConfigs + "minimal.cfg");
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    const std::string path = testing::TempDir() + "nkcomp_" + std::to_string(getpid()) + "_" + tag + ".cfg";
    std::ofstream(path) << text;
    return path;
}

struct ReadOutcome {
    int status = -1;  // -1: the reader returned
    std::string out, err;
};

ReadOutcome readConfig(SimuParameters& p, const std::string& path) {
    ReadOutcome o;
    setFatalExitThrows(true);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
        p.readFromFile({path}, 0);
    } catch (const FatalExit& e) {
        o.status = e.status;
    }
    o.out = testing::internal::GetCapturedStdout();
    o.err = testing::internal::GetCapturedStderr();
    setFatalExitThrows(false);
    return o;
}

std::string dumpOf(const SimuParameters& p) {
    testing::internal::CaptureStdout();
    p.print();
    return testing::internal::GetCapturedStdout();
}

// The independent components as documented, drawn with the C library: the landscape stream
// (all three words = low 16 bits of landscapeseed) gives the N locus seeds with nrand48, then
// the components with erand48, locus 0 first, each locus in index order.
std::vector<std::vector<double>> referenceIndependent(unsigned int n, unsigned int k, int seed) {
    unsigned short st[3];
    st[0] = st[1] = st[2] = (unsigned short)(seed & 0xffff);
    for (unsigned int d = 0; d < n; d++) ::nrand48(st);
    std::vector<std::vector<double>> c(n, std::vector<double>(2ul << k));
    for (auto& locus : c)
        for (double& v : locus) v = ::erand48(st);
    return c;
}

double referenceFitness(const std::vector<std::vector<double>>& c, unsigned int k, long v) {
    const unsigned int n = (unsigned int)c.size();
    double sum = 0;
    for (unsigned int d = 0; d < n; d++) {
        unsigned long context = 0;
        for (unsigned int j = 0; j < k; j++) context |= (unsigned long)((v >> ((d + 1 + j) % n)) & 1) << j;
        sum += c[d][(unsigned long)((v >> d) & 1) * (1ul << k) + context];
    }
    return 0.5 + (sum / n - 0.5);
}

class ComponentsKeywordTest : public testing::Test {
protected:
    std::vector<std::string> names;
    SimuParameters p{names};
};

}  // namespace

// ---- Reading, validation, dump ----------------------------------------------------------------

TEST_F(ComponentsKeywordTest, AbsentKeywordMeansTheSeededComponents) {
    const ReadOutcome o = readConfig(p, kConfigs + "minimal.cfg");
    ASSERT_EQ(o.status, -1) << o.err;
    EXPECT_EQ(p.landscapeComponents, 0);
}

TEST_F(ComponentsKeywordTest, IsReadRightAfterFitnessStretchCoefOrInItsPlace) {
    const std::string alone = minimalWith("k 2\n", "k 2\nlandscapeComponents 1\n", "alone");
    ReadOutcome o = readConfig(p, alone);
    ASSERT_EQ(o.status, -1) << o.err;
    EXPECT_EQ(o.out + o.err, "");
    EXPECT_EQ(p.landscapeComponents, 1);
    EXPECT_EQ(p.nAgents, 4);  // the keywords after it are read as before

    std::vector<std::string> names2;
    SimuParameters q(names2);
    const std::string both =
        minimalWith("k 2\n", "k 2\nfitnessStretchCoef 1.5\n# independent ones\nlandscapeComponents 1\n", "both");
    o = readConfig(q, both);
    ASSERT_EQ(o.status, -1) << o.err;
    EXPECT_EQ(q.landscapeComponents, 1);
    EXPECT_DOUBLE_EQ(q.fitnessStretchCoef, 1.5);
    EXPECT_EQ(q.nAgents, 4);

    std::vector<std::string> names3;
    SimuParameters r(names3);
    const std::string zero = minimalWith("k 2\n", "k 2\nlandscapeComponents 0\n", "zero");
    o = readConfig(r, zero);
    ASSERT_EQ(o.status, -1) << o.err;
    EXPECT_EQ(r.landscapeComponents, 0);
    for (const std::string& f : {alone, both, zero}) std::remove(f.c_str());
}

TEST_F(ComponentsKeywordTest, AnyValueOtherThanZeroOrOneIsAFatalConfigurationError) {
    for (const char* word : {"2", "-1", "yes", "1.0", "nAgents"}) {
        const std::string value = word;
        std::vector<std::string> n2;
        SimuParameters q(n2);
        const std::string path = minimalWith("k 2\n", "k 2\nlandscapeComponents " + value + "\n", "bad");
        const ReadOutcome o = readConfig(q, path);
        EXPECT_EQ(o.status, 1) << value;
        EXPECT_EQ(o.err.rfind("ERROR at src/core/configreader.cpp:", 0), 0u) << o.err;
        EXPECT_NE(o.err.find("landscapeComponents needs a whole number from 0 to 1, found \"" + value + "\""),
                  std::string::npos)
            << o.err;
        std::remove(path.c_str());
    }
    // The program itself ends with status 1.
    const std::string path = minimalWith("k 2\n", "k 2\nlandscapeComponents 2\n", "badrun");
    const ProgramResult r = runProgram(NK_BINARY, "nkswarm", {path}, NK_TESTS_DIR, 60);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("landscapeComponents needs a whole number from 0 to 1"), std::string::npos) << r.err;
    std::remove(path.c_str());
}

TEST_F(ComponentsKeywordTest, DumpPrintsTheKeywordOnlyWhenItIsOne) {
    ASSERT_EQ(readConfig(p, kConfigs + "minimal.cfg").status, -1);
    const std::string plain = dumpOf(p);
    EXPECT_EQ(plain.find("landscapeComponents"), std::string::npos);

    std::vector<std::string> n0;
    SimuParameters zero(n0);
    const std::string zeroPath = minimalWith("k 2\n", "k 2\nlandscapeComponents 0\n", "dump0");
    ASSERT_EQ(readConfig(zero, zeroPath).status, -1);
    EXPECT_EQ(dumpOf(zero), plain);

    std::vector<std::string> n1;
    SimuParameters one(n1);
    const std::string onePath = minimalWith("k 2\n", "k 2\nlandscapeComponents 1\n", "dump1");
    ASSERT_EQ(readConfig(one, onePath).status, -1);
    std::string expected = plain;
    const std::string stretchLine = "fitnessStretchCoef 1.000000\n";
    ASSERT_NE(expected.find(stretchLine), std::string::npos) << plain;
    expected.insert(expected.find(stretchLine) + stretchLine.size(), "landscapeComponents 1\n");
    EXPECT_EQ(dumpOf(one), expected);
    std::remove(zeroPath.c_str());
    std::remove(onePath.c_str());
}

// ---- The independent component source ------------------------------------------------------

TEST(IndependentComponentsTest, TableFollowsTheDocumentedDrawOrder) {
    std::vector<std::string> names;
    SimuParameters p(names);
    p.n = 7;
    p.k = 3;
    p.landscapeseed = 0x12345;  // only the low 16 bits count, as for the seeded components
    p.landscapeComponents = 1;
    const unsigned int step = 0;
    Landscape l(p, step);
    l.initRun(0);
    const auto ref = referenceIndependent(7, 3, 0x2345);
    std::vector<double> c;
    for (unsigned int d = 0; d < 7; d++) {
        l.locusComponents(d, c);
        ASSERT_EQ(c, ref[d]) << "locus " << d;
    }
    for (long v = 0; v < 128; v++) ASSERT_EQ(l.getBaseFitness(Point(v)), referenceFitness(ref, 3, v)) << v;

    // The locus seeds, the landscape stream's first draws, are those of the seeded landscape.
    std::vector<std::string> names0;
    SimuParameters p0(names0);
    p0.n = 7;
    p0.k = 3;
    p0.landscapeseed = 0x12345;
    Landscape seeded(p0, step);
    seeded.initRun(0);
    for (unsigned int d = 0; d < 7; d++) EXPECT_EQ(l.fitnessDimBaseSeeds[d], seeded.fitnessDimBaseSeeds[d]);
}

TEST(IndependentComponentsTest, ComponentsComputedOnDemandEqualTheDrawOrderToo) {
    // N * 2^(K+1) above the table's limit: each component is found by skipping ahead.
    const unsigned int n = 20, k = 17;
    std::vector<std::string> names;
    SimuParameters p(names);
    p.n = n;
    p.k = k;
    p.landscapeseed = 99;
    p.landscapeComponents = 1;
    const unsigned int step = 0;
    Landscape l(p, step);
    l.initRun(0);
    const auto ref = referenceIndependent(n, k, 99);
    std::vector<double> c;
    for (unsigned int d : {0u, 1u, 13u, 19u}) {
        l.locusComponents(d, c);
        ASSERT_EQ(c, ref[d]) << "locus " << d;
    }
    unsigned short st[3] = {5, 6, 7};
    for (int i = 0; i < 2000; i++) {
        const long v = ::nrand48(st) & ((1L << n) - 1);
        ASSERT_EQ(l.getBaseFitness(Point(v)), referenceFitness(ref, k, v)) << v;
    }
}

// ---- Whole runs ---------------------------------------------------------------------------

TEST(IndependentComponentsRunTest, RunsAreReproducibleAndTheKeywordTakesEffect) {
    const std::string one = minimalWith("k 2\n", "k 2\nlandscapeComponents 1\n", "run1");
    const std::string zero = minimalWith("k 2\n", "k 2\nlandscapeComponents 0\n", "run0");
    auto run = [](const std::string& cfg) {
        return runProgram(NK_BINARY, "nkswarm", {cfg, "--print-stats"}, NK_TESTS_DIR, 60);
    };
    const ProgramResult a = run(one), b = run(one);
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(a.err, "");
    EXPECT_EQ(a.out.find("nan"), std::string::npos) << a.out;

    const ProgramResult plain = run(kConfigs + "minimal.cfg"), explicitZero = run(zero);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(explicitZero.out, plain.out);
    EXPECT_NE(a.out, plain.out);
    std::remove(one.c_str());
    std::remove(zero.c_str());
}
