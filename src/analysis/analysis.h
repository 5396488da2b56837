// Whole-landscape figures of the base fitness (no crowding): local maxima, extremes, mean and
// the correlation of one-bit neighbours, per landscape and over a range of landscape seeds.
#pragma once

#include <string>
#include <vector>

class Landscape;
class SimuParameters;

namespace analysis {

// Every point's fitness is held in memory: 2^24 doubles are 128 MiB and a landscape takes a
// few seconds; each further locus doubles both.
constexpr unsigned int kMaxN = 24;

struct LandscapeFigures {
    int landscapeseed = 0;
    // Points none of whose N one-bit neighbours is strictly fitter (plateau points all count).
    unsigned long localMaxima = 0;
    long globalMaxPoint = -1;  // the lowest-numbered point of highest fitness
    double globalMax = 0.0;
    long minPoint = -1;  // the lowest-numbered point of lowest fitness
    double minimum = 0.0;
    double mean = 0.0;
    // Pearson correlation of f(x) and f(x'), x' one bit away, over all N * 2^N ordered pairs
    // (both sides then have the landscape's own mean and variance). NaN on a flat landscape.
    double neighbourCorrelation = 0.0;
};

// Mean over landscapes and its standard error (sample standard deviation / sqrt(count));
// the error is NaN for fewer than two landscapes.
struct Estimate {
    double mean = 0.0;
    double standardError = 0.0;
};

struct Summary {
    unsigned long count = 0;
    Estimate localMaxima, globalMax, minimum, mean, neighbourCorrelation;
};

// The base fitness of every point of a landscape whose run 0 has been set up, indexed by the
// point's bit pattern: bit for bit what Landscape::getBaseFitness returns, computed locus by
// locus. Needs K < N and N <= kMaxN.
void baseFitnessOfAllPoints(const Landscape& landscape, unsigned int n, unsigned int k, double stretch,
                            std::vector<double>& fitness);

// The figures of a table of 2^n fitness values indexed by point.
LandscapeFigures figuresOf(const std::vector<double>& fitness, unsigned int n);

// Builds the landscape that `params` describes (n, k, fitnessStretchCoef, landscapeseed,
// landscapeComponents); `fitness` receives every point's base fitness. N must be in
// 1..kMaxN and K below N (the callers check; anything else is an internal error).
void landscapeFitness(const SimuParameters& params, std::vector<double>& fitness);
// The same, and its figures.
LandscapeFigures analyzeLandscape(const SimuParameters& params, std::vector<double>& fitness);

Estimate estimate(const std::vector<double>& values);
Summary summarize(const std::vector<LandscapeFigures>& figures);

// --- report formatting -------------------------------------------------------------------
// What every line of a report shares.
struct ReportSetting {
    unsigned int n = 0, k = 0;
    double stretch = 1.0;
    int components = 0;
    int firstSeed = 0, lastSeed = 0;
};

// The point's bits, locus N-1 first and locus 0 last (as the terrain view labels points).
std::string bitString(long point, unsigned int n);

// Readable table: a comment line naming the landscapes, a header, one row per landscape and,
// for more than one landscape, a "mean" and an "s.e." row.
std::string tableHead(const ReportSetting& s);
std::string tableRow(const ReportSetting& s, const LandscapeFigures& f);
std::string tableSummary(const ReportSetting& s, const Summary& sum);

// CSV: a header, one line per landscape and, for more than one landscape, lines whose seed
// column reads "mean" and "se" (their point columns are empty).
std::string csvHead();
std::string csvRow(const ReportSetting& s, const LandscapeFigures& f);
std::string csvSummary(const ReportSetting& s, const Summary& sum);

}  // namespace analysis
