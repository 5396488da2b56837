// Whole-landscape analysis: exact figures against brute force over landscapes rebuilt here with
// the C library generator, statistical checks against known results of the NK model (tolerances
// from standard errors), report formatting and the nkanalyze program.
#include "analysis.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "landscape.h"
#include "params.h"
#include "run_program.h"

namespace {

// One generator step adds a * 2^16 to the state when the seed grows by one, so consecutive
// seeded components of a locus differ by this fraction modulo 1.
const double kSeededStep = (double)((0x5DEECE66DULL << 16) & ((1ULL << 48) - 1)) / 281474976710656.0;  // 0.870802...

// A landscape rebuilt from its definition with the C library generator: seeded components
// (srand48(locus seed + index), then drand48) or independent ones (erand48 draws of the
// landscape stream after the locus seeds, locus by locus, index by index).
struct ReferenceLandscape {
    unsigned int n, k;
    double stretch;
    std::vector<std::vector<double>> components;  // [locus][index]

    ReferenceLandscape(unsigned int n, unsigned int k, int seed, int kind, double stretch = 1.0)
        : n(n), k(k), stretch(stretch), components(n, std::vector<double>(2ul << k)) {
        unsigned short st[3];
        st[0] = st[1] = st[2] = (unsigned short)(seed & 0xffff);
        std::vector<long> seeds;
        for (unsigned int d = 0; d < n; d++) seeds.push_back(::nrand48(st));
        for (unsigned int d = 0; d < n; d++) {
            for (unsigned long i = 0; i < (2ul << k); i++) {
                if (kind == 0) {
                    srand48((long)(int32_t)(uint32_t)(seeds[d] + i));
                    components[d][i] = drand48();
                } else {
                    components[d][i] = ::erand48(st);
                }
            }
        }
    }

    double fitness(long v) const {
        double sum = 0;
        for (unsigned int d = 0; d < n; d++) {
            unsigned long context = 0;
            for (unsigned int j = 0; j < k; j++) context |= (unsigned long)((v >> ((d + 1 + j) % n)) & 1) << j;
            sum += components[d][(unsigned long)((v >> d) & 1) * (1ul << k) + context];
        }
        return 0.5 + (sum / n - 0.5) * stretch;
    }
};

struct Analysed {
    analysis::LandscapeFigures figures;
    std::vector<double> fitness;
};

Analysed analyse(unsigned int n, unsigned int k, int seed, int kind, double stretch = 1.0) {
    std::vector<std::string> names;
    SimuParameters p(names);
    p.n = n;
    p.k = k;
    p.landscapeseed = seed;
    p.landscapeComponents = kind;
    p.fitnessStretchCoef = stretch;
    Analysed a;
    a.figures = analysis::analyzeLandscape(p, a.fitness);
    return a;
}

// Within-landscape variance of the fitness (over all 2^N points), computed here.
double varianceOf(const std::vector<double>& f) {
    double m = 0;
    for (double v : f) m += v;
    m /= (double)f.size();
    double s = 0;
    for (double v : f) s += (v - m) * (v - m);
    return s / (double)f.size();
}

struct MeanAndError {
    double mean, se;
};

MeanAndError meanAndError(const std::vector<double>& v) {
    double m = 0;
    for (double x : v) m += x;
    m /= (double)v.size();
    double s = 0;
    for (double x : v) s += (x - m) * (x - m);
    return {m, std::sqrt(s / (double)(v.size() - 1) / (double)v.size())};
}

double binomial(int n, int r) {
    double c = 1;
    for (int i = 1; i <= r; i++) c = c * (n - r + i) / i;
    return c;
}

// Expected correlation of one-flip neighbours with independent components: the landscape's
// variance spreads evenly over the 2^(K+1) - 1 nonconstant Walsh terms of each locus, and a
// term of order p keeps its sign under a random flip with probability 1 - p/N.
double expectedNeighbourCorrelation(int n, int k) {
    double r = 0;
    for (int p = 1; p <= k + 1; p++) r += binomial(k + 1, p) * (1 - 2.0 * p / n);
    return r / (std::pow(2.0, k + 1) - 1);
}

}  // namespace

// ---- Exact figures ----------------------------------------------------------------------

TEST(AnalysisTest, FitnessTableEqualsBaseFitnessBitForBit) {
    for (int kind : {0, 1}) {
        std::vector<std::string> names;
        SimuParameters p(names);
        p.n = 9;
        p.k = 4;
        p.landscapeseed = 77;
        p.landscapeComponents = kind;
        p.fitnessStretchCoef = 1.3;
        std::vector<double> table;
        analysis::analyzeLandscape(p, table);
        const unsigned int step = 0;
        Landscape l(p, step);
        l.initRun(0);
        ASSERT_EQ(table.size(), 512u);
        for (long v = 0; v < 512; v++)
            ASSERT_EQ(table[v], l.getBaseFitness(Point(v))) << "kind " << kind << " point " << v;
    }
}

TEST(AnalysisTest, SmallLandscapesOfBothKindsMatchABruteForceLoop) {
    for (int kind : {0, 1}) {
        const unsigned int n = 8, k = 3;
        const double stretch = 1.5;
        const ReferenceLandscape ref(n, k, 4242, kind, stretch);
        const Analysed a = analyse(n, k, 4242, kind, stretch);
        const long count = 1L << n;
        std::vector<double> f(count);
        for (long v = 0; v < count; v++) f[v] = ref.fitness(v);

        unsigned long maxima = 0;
        long best = 0, worst = 0;
        double sum = 0;
        for (long v = 0; v < count; v++) {
            bool isMax = true;
            for (unsigned int i = 0; i < n; i++)
                if (f[v ^ (1L << i)] > f[v]) isMax = false;
            maxima += isMax;
            if (f[v] > f[best]) best = v;
            if (f[v] < f[worst]) worst = v;
            sum += f[v];
        }
        // Pearson correlation of the list of all ordered neighbour pairs, from scratch.
        double sx = 0, sy = 0, pairs = 0;
        for (long v = 0; v < count; v++)
            for (unsigned int i = 0; i < n; i++) sx += f[v], sy += f[v ^ (1L << i)], pairs++;
        const double mx = sx / pairs, my = sy / pairs;
        double sxy = 0, sxx = 0, syy = 0;
        for (long v = 0; v < count; v++)
            for (unsigned int i = 0; i < n; i++) {
                const double x = f[v] - mx, y = f[v ^ (1L << i)] - my;
                sxy += x * y, sxx += x * x, syy += y * y;
            }

        const analysis::LandscapeFigures& g = a.figures;
        EXPECT_EQ(g.landscapeseed, 4242);
        EXPECT_EQ(g.localMaxima, maxima) << "kind " << kind;
        EXPECT_EQ(g.globalMaxPoint, best);
        EXPECT_DOUBLE_EQ(g.globalMax, f[best]);
        EXPECT_EQ(g.minPoint, worst);
        EXPECT_DOUBLE_EQ(g.minimum, f[worst]);
        EXPECT_NEAR(g.mean, sum / count, 1e-14);
        EXPECT_NEAR(g.neighbourCorrelation, sxy / std::sqrt(sxx * syy), 1e-12);
        EXPECT_GT(maxima, 1u);  // a rugged enough landscape to make the count a test
    }
}

TEST(AnalysisTest, PlateauPointsAllCountAndTheLowestPointWinsTies) {
    // Points 0..7 of N = 3: a plateau at the top shared by points 3 and 5, and point 6 alone
    // below its neighbours 2 (x), 4, 7.
    const std::vector<double> f = {0.1, 0.2, 0.3, 0.9, 0.4, 0.9, 0.2, 0.5};
    const analysis::LandscapeFigures g = analysis::figuresOf(f, 3);
    // 3: neighbours 2, 1, 7 -> max. 5: neighbours 4, 7, 1 -> max. 6: neighbours 7 (0.5) -> no.
    // 4: neighbours 5 (0.9) -> no. 7: neighbours 6, 5 (0.9) -> no. 2: neighbour 3 -> no.
    EXPECT_EQ(g.localMaxima, 2u);
    EXPECT_EQ(g.globalMaxPoint, 3);
    EXPECT_EQ(g.minPoint, 0);

    const std::vector<double> flat(16, 0.5);
    const analysis::LandscapeFigures h = analysis::figuresOf(flat, 4);
    EXPECT_EQ(h.localMaxima, 16u);
    EXPECT_EQ(h.globalMaxPoint, 0);
    EXPECT_TRUE(std::isnan(h.neighbourCorrelation));
}

TEST(AnalysisTest, RefusesLandscapesTooLargeToEnumerateAndKNotBelowN) {
    std::vector<double> table;
    std::vector<std::string> names;
    SimuParameters p(names);
    p.n = analysis::kMaxN + 1;
    p.k = 2;
    EXPECT_THROW(analysis::analyzeLandscape(p, table), std::invalid_argument);
    p.n = 6;
    p.k = 6;
    EXPECT_THROW(analysis::analyzeLandscape(p, table), std::invalid_argument);
    EXPECT_TRUE(table.empty());
}

// ---- Seeded components ------------------------------------------------------------------

TEST(AnalysisTest, SeededComponentsOfOneLocusDifferByAFixedStepModuloOne) {
    EXPECT_NEAR(kSeededStep, 0.870802, 1e-6);
    // N = 6 keeps the component table; N = 20, K = 17 computes components on demand.
    for (const auto& [n, k] : {std::pair<unsigned, unsigned>{6, 3}, {20, 17}}) {
        std::vector<std::string> names;
        SimuParameters p(names);
        p.n = n;
        p.k = k;
        p.landscapeseed = 31337;
        const unsigned int step = 0;
        Landscape l(p, step);
        l.initRun(0);
        std::vector<double> c;
        for (unsigned int dim = 0; dim < n; dim += 5) {
            l.locusComponents(dim, c);
            ASSERT_EQ(c.size(), 2ul << k);
            for (size_t i = 0; i + 1 < c.size(); i++) {
                double d = c[i + 1] - c[i];  // both are multiples of 2^-48: exact
                if (d < 0) d += 1;
                ASSERT_EQ(d, kSeededStep) << "N " << n << " locus " << dim << " index " << i;
            }
        }
    }
}

TEST(AnalysisTest, SeededKZeroHasOneMaximumAndAMeanPeakNearHalfPlusStepTimesOneMinusStep) {
    // With K = 0 each locus offers u and u + s (mod 1); the better of the two averages
    // 1/2 + s(1 - s) for uniform u, and the additive landscape has a single peak.
    std::vector<double> peaks;
    for (int seed = 1; seed <= 150; seed++) {
        const Analysed a = analyse(10, 0, seed, 0);
        EXPECT_EQ(a.figures.localMaxima, 1u) << "seed " << seed;
        peaks.push_back(a.figures.globalMax);
    }
    const MeanAndError e = meanAndError(peaks);
    const double expected = 0.5 + kSeededStep * (1 - kSeededStep);
    EXPECT_NEAR(expected, 0.6125, 0.0005);
    EXPECT_NEAR(e.mean, expected, 3 * e.se) << "standard error " << e.se;
}

// ---- Independent components -------------------------------------------------------------

TEST(AnalysisTest, IndependentKZeroHasOneMaximumAPeakNearTwoThirdsAndExactNeighbourCorrelation) {
    std::vector<double> peaks;
    for (int seed = 1; seed <= 150; seed++) {
        const Analysed a = analyse(10, 0, seed, 1);
        EXPECT_EQ(a.figures.localMaxima, 1u) << "seed " << seed;
        // Additive: a flip moves one of N equally weighted terms to its other value, so the
        // correlation is 1 - 2/N in every landscape, not only on average.
        EXPECT_NEAR(a.figures.neighbourCorrelation, 1 - 2.0 / 10, 1e-9) << "seed " << seed;
        peaks.push_back(a.figures.globalMax);
    }
    const MeanAndError e = meanAndError(peaks);  // the mean of N maxima of two uniforms
    EXPECT_NEAR(e.mean, 2.0 / 3.0, 3 * e.se) << "standard error " << e.se;
}

TEST(AnalysisTest, IndependentKNMinusOneHasTwoToTheNOverNPlusOneLocalMaxima) {
    // Every point's fitness is then a fresh draw: a point is the highest of itself and its N
    // neighbours with probability 1/(N + 1) (Kauffman and Levin 1987).
    for (const auto& [n, landscapes] : {std::pair<unsigned, int>{8, 300}, {10, 150}, {12, 60}}) {
        std::vector<double> counts;
        for (int seed = 1; seed <= landscapes; seed++)
            counts.push_back((double)analyse(n, n - 1, 1000 + seed, 1).figures.localMaxima);
        const MeanAndError e = meanAndError(counts);
        const double expected = std::pow(2.0, n) / (n + 1);
        EXPECT_NEAR(e.mean, expected, 3 * e.se) << "N " << n << ", standard error " << e.se;
    }
}

TEST(AnalysisTest, IndependentNeighbourCorrelationFollowsTheWalshWeights) {
    // The formula is the ratio of the expected covariance to the expected variance, so the
    // landscapes' covariances and variances are summed before dividing (a mean of the ratios
    // would be biased low by a few thousandths). Standard error of the ratio estimator.
    for (const auto& [n, k] : {std::pair<unsigned, unsigned>{12, 3}, {10, 6}}) {
        std::vector<double> cov, var;
        for (int seed = 1; seed <= 200; seed++) {
            const Analysed a = analyse(n, k, seed, 1);
            const double v = varianceOf(a.fitness);
            var.push_back(v);
            cov.push_back(a.figures.neighbourCorrelation * v);
        }
        double sc = 0, sv = 0;
        for (size_t i = 0; i < var.size(); i++) sc += cov[i], sv += var[i];
        const double ratio = sc / sv;
        double residuals = 0;
        for (size_t i = 0; i < var.size(); i++) residuals += std::pow(cov[i] - ratio * var[i], 2);
        const double m = (double)var.size();
        const double se = std::sqrt(residuals / (m - 1) / m) / (sv / m);
        const double expected = expectedNeighbourCorrelation((int)n, (int)k);
        EXPECT_NEAR(ratio, expected, 3 * se) << "N " << n << " K " << k << ", standard error " << se;
    }
}

// ---- Summaries and reports --------------------------------------------------------------

TEST(AnalysisTest, EstimateIsTheMeanAndTheSampleStandardDeviationOverRootCount) {
    // 2, 4, 9: mean 5, squares 9 + 1 + 16 = 26, sd sqrt(13), se sqrt(13 / 3).
    const analysis::Estimate e = analysis::estimate({2, 4, 9});
    EXPECT_DOUBLE_EQ(e.mean, 5.0);
    EXPECT_DOUBLE_EQ(e.standardError, std::sqrt(13.0 / 3.0));
    EXPECT_TRUE(std::isnan(analysis::estimate({3}).standardError));

    std::vector<analysis::LandscapeFigures> all(2);
    all[0].localMaxima = 3, all[1].localMaxima = 6;
    all[0].globalMax = 0.7, all[1].globalMax = 0.8;
    const analysis::Summary s = analysis::summarize(all);
    EXPECT_EQ(s.count, 2u);
    EXPECT_DOUBLE_EQ(s.localMaxima.mean, 4.5);
    EXPECT_DOUBLE_EQ(s.localMaxima.standardError, 1.5);  // sd 3/sqrt(2), over sqrt(2)
    EXPECT_DOUBLE_EQ(s.globalMax.mean, 0.75);
}

TEST(AnalysisTest, ReportLinesCarryEveryFigure) {
    analysis::ReportSetting s;
    s.n = 10, s.k = 4, s.stretch = 1, s.components = 1, s.firstSeed = 3, s.lastSeed = 4;
    analysis::LandscapeFigures f;
    f.landscapeseed = 3, f.localMaxima = 25, f.globalMaxPoint = 6, f.globalMax = 0.75;
    f.minPoint = 1, f.minimum = 0.25, f.mean = 0.5, f.neighbourCorrelation = 0.48;
    EXPECT_EQ(analysis::bitString(6, 10), "0000000110");
    EXPECT_EQ(analysis::csvHead(),
              "seed,n,k,stretch,components,local_maxima,global_max_point,global_max_bits,global_max,min_point,"
              "minimum,mean,neighbour_corr\n");
    EXPECT_EQ(analysis::csvRow(s, f), "3,10,4,1,1,25,6,0000000110,0.75,1,0.25,0.5,0.48\n");
    EXPECT_EQ(analysis::tableRow(s, f),
              "       3         25          6  0000000110   0.750000   0.250000   0.500000   0.480000\n");
    EXPECT_NE(analysis::tableHead(s).find("landscapeComponents 1 (independent components) landscapeseed 3..4"),
              std::string::npos);

    std::vector<analysis::LandscapeFigures> one(1, f);
    EXPECT_EQ(analysis::tableSummary(s, analysis::summarize(one)), "");
    EXPECT_EQ(analysis::csvSummary(s, analysis::summarize(one)), "");
    std::vector<analysis::LandscapeFigures> two(2, f);
    two[1].localMaxima = 27;
    EXPECT_EQ(analysis::csvSummary(s, analysis::summarize(two)),
              "mean,10,4,1,1,26,,,0.75,,0.25,0.5,0.48\nse,10,4,1,1,1,,,0,,0,0,0\n");
}

// ---- The program --------------------------------------------------------------------------

namespace {

ProgramResult analyzeProgram(const std::vector<std::string>& args) {
    return runProgram(NK_ANALYZE_BINARY, "nkanalyze", args, NK_TESTS_DIR, 60);
}

std::vector<std::vector<std::string>> csvLines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream l(line);
        std::string cell;
        while (std::getline(l, cell, ',')) cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.push_back("");
        lines.push_back(cells);
    }
    return lines;
}

// minimal.cfg (N = 10, K = 2, landscapeseed 11) with the first `from` replaced by `to`,
// written to a temporary file.
std::string minimalConfigWith(const std::string& from, const std::string& to) {
    std::string text = readFileText(std::string(NK_TESTS_DIR) + "/configs/minimal.cfg");
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    const std::string path = testing::TempDir() + "nkanalyze_" + std::to_string(getpid()) + ".cfg";
    std::ofstream(path) << text;
    return path;
}

}  // namespace

TEST(AnalysisProgramTest, CsvOfASeedRangeEqualsTheAnalysisInProcess) {
    const ProgramResult r = analyzeProgram({"--n", "8", "--k", "3", "--seeds", "5..7", "--components", "1", "--csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = csvLines(r.out);
    ASSERT_EQ(lines.size(), 6u);  // header, three landscapes, mean, se
    EXPECT_EQ(lines[0][0], "seed");
    std::vector<double> maxima;
    for (int i = 1; i <= 3; i++) {
        ASSERT_EQ(lines[i].size(), 13u);
        const Analysed a = analyse(8, 3, 4 + i, 1);
        EXPECT_EQ(lines[i][0], std::to_string(4 + i));
        EXPECT_EQ(lines[i][4], "1");
        EXPECT_EQ(lines[i][5], std::to_string(a.figures.localMaxima));
        EXPECT_EQ(lines[i][6], std::to_string(a.figures.globalMaxPoint));
        EXPECT_EQ(lines[i][7], analysis::bitString(a.figures.globalMaxPoint, 8));
        EXPECT_NEAR(std::stod(lines[i][8]), a.figures.globalMax, 1e-11);
        EXPECT_NEAR(std::stod(lines[i][12]), a.figures.neighbourCorrelation, 1e-11);
        maxima.push_back((double)a.figures.localMaxima);
    }
    EXPECT_EQ(lines[4][0], "mean");
    EXPECT_NEAR(std::stod(lines[4][5]), (maxima[0] + maxima[1] + maxima[2]) / 3, 1e-9);
    EXPECT_EQ(lines[5][0], "se");
    EXPECT_NEAR(std::stod(lines[5][5]), meanAndError(maxima).se, 1e-9);
}

TEST(AnalysisProgramTest, ConfigurationFileGivesTheLandscapeAndOptionsReplaceItsChoices) {
    const std::string cfg = minimalConfigWith("k 2\n", "k 2\nlandscapeComponents 1\n");
    ProgramResult r = analyzeProgram({cfg, "--csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = csvLines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    Analysed a = analyse(10, 2, 11, 1);
    EXPECT_EQ(lines[1][0], "11");
    EXPECT_EQ(lines[1][4], "1");
    EXPECT_EQ(lines[1][5], std::to_string(a.figures.localMaxima));
    EXPECT_EQ(lines[1][6], std::to_string(a.figures.globalMaxPoint));

    r = analyzeProgram({cfg, "--components", "0", "--seeds", "12", "--csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    lines = csvLines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    a = analyse(10, 2, 12, 0);
    EXPECT_EQ(lines[1][4], "0");
    EXPECT_EQ(lines[1][5], std::to_string(a.figures.localMaxima));
    EXPECT_EQ(lines[1][6], std::to_string(a.figures.globalMaxPoint));

    r = analyzeProgram({cfg, "--seeds", "1..4", "--summary"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("landscapeComponents 1 (independent components) landscapeseed 1..4 (4 landscapes)"),
              std::string::npos);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;  // comment, header, mean, s.e.
    std::remove(cfg.c_str());
}

TEST(AnalysisProgramTest, LandscapesTooLargeToEnumerateAreRefusedWithAClearMessage) {
    ProgramResult r = analyzeProgram({"--n", "25", "--k", "3", "--seeds", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("ERROR at src/tools/nkanalyze.cpp:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("N=25 is too large"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("up to N=24"), std::string::npos) << r.err;

    const std::string cfg = minimalConfigWith("n 10\n", "n 28\n");
    r = analyzeProgram({cfg});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("N=28 is too large"), std::string::npos) << r.err;
    std::remove(cfg.c_str());
}

TEST(AnalysisProgramTest, BadArgumentsEndWithStatusOne) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--n", "8", "--k", "3"},                  // no seeds
                                               {"--n", "8", "--k", "8", "--seeds", "1"},  // K not below N
                                               {"--n", "8", "--k", "3", "--seeds", "1", "--components", "2"},
                                               {"--n", "8", "--k", "3", "--seeds", "9..2"},
                                               {"--n", "8", "--k", "3", "--seeds", "x"},
                                               {"--n", "8", "--k", "3", "--seeds", "1", "--frobnicate"},
                                               {"no-such-file.cfg"}}) {
        const ProgramResult r = analyzeProgram(args);
        EXPECT_EQ(r.status, 1) << args.back() << ": " << r.err;
        EXPECT_EQ(r.err.rfind("ERROR at ", 0), 0u) << r.err;
    }
    const ProgramResult help = analyzeProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: nkanalyze"), std::string::npos);
}
