// Whole-landscape analysis: exact figures against a brute-force loop over the landscape's own
// base fitness, statistical checks against known results of the NK model (tolerances from
// standard errors), and the report lines.
#include "analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "landscape.h"
#include "params.h"

namespace {

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
    // The table is the base fitness the simulation sees, bit for bit.
    const StepClock clock;
    Landscape l(p, clock);
    l.initRun(0);
    for (long v = 0; v < (1L << n); v += 7) EXPECT_EQ(a.fitness[v], l.getBaseFitness(Point(v))) << v;
    return a;
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

}  // namespace

TEST(AnalysisTest, SmallLandscapesOfBothKindsMatchABruteForceLoop) {
    for (int kind : {0, 1}) {
        const unsigned int n = 8;
        const Analysed a = analyse(n, 3, 4242, kind, 1.5);
        const std::vector<double>& f = a.fitness;
        const long count = 1L << n;
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
        EXPECT_GT(maxima, 1u);  // a rugged enough landscape to make the count a test
        EXPECT_TRUE(g.globalMaxPoint == best && g.globalMax == f[best] && g.minPoint == worst && g.minimum == f[worst]);
        EXPECT_NEAR(g.mean, sum / count, 1e-14);
        EXPECT_NEAR(g.neighbourCorrelation, sxy / std::sqrt(sxx * syy), 1e-12);
    }
}

TEST(AnalysisTest, PlateauPointsAllCountAndTheLowestPointWinsTies) {
    // Points 0..7 of N = 3: a plateau at the top shared by points 3 and 5 (not neighbours).
    const analysis::LandscapeFigures g = analysis::figuresOf({0.1, 0.2, 0.3, 0.9, 0.4, 0.9, 0.2, 0.5}, 3);
    EXPECT_EQ(g.localMaxima, 2u);
    EXPECT_EQ(g.globalMaxPoint, 3);
    EXPECT_EQ(g.minPoint, 0);
    const analysis::LandscapeFigures h = analysis::figuresOf(std::vector<double>(16, 0.5), 4);
    EXPECT_EQ(h.localMaxima, 16u);
    EXPECT_TRUE(std::isnan(h.neighbourCorrelation));
}

TEST(AnalysisTest, IndependentComponentsFollowTheRandomFieldResults) {
    // K = N - 1: every point's fitness is a fresh draw, so a point is the highest of itself and
    // its N neighbours with probability 1/(N + 1) (Kauffman and Levin 1987).
    std::vector<double> counts;
    for (int seed = 1; seed <= 150; seed++)
        counts.push_back((double)analyse(10, 9, 1000 + seed, 1).figures.localMaxima);
    MeanAndError e = meanAndError(counts);
    EXPECT_NEAR(e.mean, 1024.0 / 11, 3 * e.se) << "standard error " << e.se;
    // K = 0 is additive: a flip moves one of N equal terms to its other value, so the
    // neighbour correlation is 1 - 2/N in every landscape.
    for (int seed = 1; seed <= 20; seed++)
        EXPECT_NEAR(analyse(10, 0, seed, 1).figures.neighbourCorrelation, 0.8, 1e-9) << "seed " << seed;
}

TEST(AnalysisTest, EstimatesAndReportLines) {
    // 2, 4, 9: mean 5, squares 9 + 1 + 16 = 26, sd sqrt(13), se sqrt(13 / 3).
    const analysis::Estimate e = analysis::estimate({2, 4, 9});
    EXPECT_DOUBLE_EQ(e.mean, 5.0);
    EXPECT_DOUBLE_EQ(e.standardError, std::sqrt(13.0 / 3.0));
    EXPECT_TRUE(std::isnan(analysis::estimate({3}).standardError));

    analysis::ReportSetting s;
    s.n = 10, s.k = 4, s.stretch = 1, s.components = 1, s.firstSeed = 3, s.lastSeed = 4;
    analysis::LandscapeFigures f;
    f.landscapeseed = 3, f.localMaxima = 25, f.globalMaxPoint = 6, f.globalMax = 0.75;
    f.minPoint = 1, f.minimum = 0.25, f.mean = 0.5, f.neighbourCorrelation = 0.48;
    EXPECT_EQ(analysis::csvRow(s, f), "3,10,4,1,1,25,6,0000000110,0.75,1,0.25,0.5,0.48\n");
    EXPECT_EQ(analysis::tableRow(s, f),
              "       3         25          6  0000000110   0.750000   0.250000   0.500000   0.480000\n");
    std::vector<analysis::LandscapeFigures> two(2, f);
    two[1].localMaxima = 27;
    EXPECT_EQ(analysis::csvSummary(s, analysis::summarize(two)),
              "mean,10,4,1,1,26,,,0.75,,0.25,0.5,0.48\nse,10,4,1,1,1,,,0,,0,0,0\n");
    EXPECT_EQ(analysis::csvSummary(s, analysis::summarize({f})), "");
}
