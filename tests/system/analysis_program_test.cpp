// The nkanalyze program: its report equals the analysis in process, a configuration file gives
// the landscape and options replace its choices, and bad arguments end with status 1.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis.h"
#include "params.h"
#include "run_program.h"

namespace {

ProgramResult analyzeProgram(const std::vector<std::string>& args) {
    return runProgram(NK_ANALYZE_BINARY, "nkanalyze", args, NK_TESTS_DIR, 60);
}

// The cells of each CSV line.
std::vector<std::vector<std::string>> csvLines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::stringstream l(line);
        for (std::string cell; std::getline(l, cell, ',');) cells.push_back(cell);
        lines.push_back(cells);
    }
    return lines;
}

analysis::LandscapeFigures figures(unsigned int n, unsigned int k, int seed, int kind) {
    std::vector<std::string> names;
    SimuParameters p(names);
    p.n = n, p.k = k, p.landscapeseed = seed, p.landscapeComponents = kind;
    std::vector<double> fitness;
    return analysis::analyzeLandscape(p, fitness);
}

// Checks a CSV line against the figures of the same landscape in process.
void expectLine(const std::vector<std::string>& line, const analysis::LandscapeFigures& f, int kind) {
    ASSERT_EQ(line.size(), 13u);
    EXPECT_EQ(line[0], std::to_string(f.landscapeseed));
    EXPECT_EQ(line[4], std::to_string(kind));
    EXPECT_EQ(line[5], std::to_string(f.localMaxima));
    EXPECT_EQ(line[6], std::to_string(f.globalMaxPoint));
    EXPECT_NEAR(std::stod(line[8]), f.globalMax, 1e-11);
    EXPECT_NEAR(std::stod(line[12]), f.neighbourCorrelation, 1e-11);
}

TEST(AnalysisProgramTest, ReportsEqualTheAnalysisInProcess) {
    ProgramResult r = analyzeProgram({"--n", "8", "--k", "3", "--seeds", "5..7", "--components", "1", "--csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = csvLines(r.out);
    ASSERT_EQ(lines.size(), 6u);  // header, three landscapes, mean, se
    for (int i = 1; i <= 3; i++) expectLine(lines[i], figures(8, 3, 4 + i, 1), 1);
    EXPECT_TRUE(lines[4][0] == "mean" && lines[5][0] == "se");

    // A configuration file (N = 10, K = 2, landscapeseed 11) with options replacing its choices.
    std::string text = readFileText(std::string(NK_TESTS_DIR) + "/data/minimal.cfg");
    text.replace(text.find("k 2\n"), 4, "k 2\nlandscapeComponents 1\n");
    const std::string cfg = testing::TempDir() + "nkanalyze_" + std::to_string(getpid()) + ".cfg";
    std::ofstream(cfg) << text;
    r = analyzeProgram({cfg, "--csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    expectLine(csvLines(r.out).at(1), figures(10, 2, 11, 1), 1);
    r = analyzeProgram({cfg, "--components", "0", "--seeds", "12", "--csv"});
    expectLine(csvLines(r.out).at(1), figures(10, 2, 12, 0), 0);
    r = analyzeProgram({cfg, "--seeds", "1..4", "--summary"});
    EXPECT_NE(r.out.find("landscapeComponents 1 (independent components) landscapeseed 1..4 (4 landscapes)"),
              std::string::npos);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;  // comment, header, mean, s.e.
    EXPECT_EQ(r.err, "");

    // With a landscape per run it analyses run 0's, and says so.
    std::ofstream(cfg) << text << "runSeeding 1\nlandscapePerRun 1\n";
    r = analyzeProgram({cfg, "--csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> names;
    SimuParameters p(names);
    p.n = 10, p.k = 2, p.landscapeseed = 11, p.landscapeComponents = 1;
    p.runSeeding = kRunSeedingIndependent, p.landscapePerRun = true;
    std::vector<double> fitness;
    expectLine(csvLines(r.out).at(1), analysis::analyzeLandscape(p, fitness), 1);
    EXPECT_EQ(r.err,
              "warning: " + cfg + ": landscapePerRun 1: each run draws a landscape of its own; this is run 0's\n");
    std::remove(cfg.c_str());
}

TEST(AnalysisProgramTest, BadArgumentsEndWithStatusOne) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--n", "8", "--k", "3"},                  // no seeds
                                               {"--n", "8", "--k", "8", "--seeds", "1"},  // K not below N
                                               {"--n", "25", "--k", "3", "--seeds", "1"},
                                               {"--n", "8", "--k", "3", "--seeds", "1", "--components", "2"},
                                               {"--n", "8", "--k", "3", "--seeds", "9..2"},
                                               {"--n", "8", "--k", "3", "--seeds", "1", "--frobnicate"},
                                               {"no-such-file.cfg"}}) {
        const ProgramResult r = analyzeProgram(args);
        EXPECT_EQ(r.status, 1) << args.back() << ": " << r.err;
        EXPECT_EQ(r.err.rfind("ERROR at src/", 0), 0u) << r.err;
    }
    EXPECT_NE(analyzeProgram({"--n", "25", "--k", "3", "--seeds", "1"}).err.find("N=25 is too large"),
              std::string::npos);
    EXPECT_NE(analyzeProgram({"--help"}).out.find("Usage: nkanalyze"), std::string::npos);
}

}  // namespace
