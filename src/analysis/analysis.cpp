// Whole-landscape figures of the base fitness and their report lines.
#include "analysis.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "landscape.h"
#include "params.h"
#include "util.h"

namespace analysis {

namespace {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

// printf gives "-nan" or "nan" depending on the sign bit; a report says "nan".
std::string number(const char* fmt, double v) { return std::isnan(v) ? std::string("nan") : format(fmt, v); }

const char* componentsName(int components) { return components == 1 ? "independent" : "seeded"; }

}  // namespace

void baseFitnessOfAllPoints(const Landscape& landscape, unsigned int n, unsigned int k, double stretch,
                            std::vector<double>& fitness) {
    const uint64_t count = 1ull << n;
    const uint64_t contextMask = (1ull << k) - 1;
    fitness.assign(count, 0.0);
    std::vector<double> components;
    // Locus by locus, so that each point's sum is formed in the order getBaseFitness uses
    // and only one locus's components are held at a time.
    for (unsigned int dim = 0; dim < n; dim++) {
        landscape.locusComponents(dim, components);
        const double* c = components.data();
        for (uint64_t p = 0; p < count; p++) {
            // Two copies of the bit string side by side turn the cyclic context into a shift.
            const uint64_t twice = p | (p << n);
            const uint64_t index = ((twice >> (dim + 1)) & contextMask) | (((p >> dim) & 1u) << k);
            fitness[p] += c[index];
        }
    }
    for (double& f : fitness) {
        const double mean = f / n;
        f = 0.5 + (mean - 0.5) * stretch;
    }
}

LandscapeFigures figuresOf(const std::vector<double>& fitness, unsigned int n) {
    LandscapeFigures r;
    const uint64_t count = 1ull << n;
    if (fitness.size() != count) NK_FATAL(Internal, "figuresOf: the table must hold 2^n values\n");
    double sum = 0.0;
    r.globalMaxPoint = r.minPoint = 0;
    r.globalMax = r.minimum = fitness[0];
    for (uint64_t p = 0; p < count; p++) {
        const double f = fitness[p];
        sum += f;
        // Strict comparisons: the lowest-numbered point wins a tie.
        if (f > r.globalMax) {
            r.globalMax = f;
            r.globalMaxPoint = (long)p;
        }
        if (f < r.minimum) {
            r.minimum = f;
            r.minPoint = (long)p;
        }
    }
    r.mean = sum / (double)count;

    // Deviations from the mean keep the sums of products accurate.
    double squares = 0.0, products = 0.0;
    unsigned long maxima = 0;
    for (uint64_t p = 0; p < count; p++) {
        const double f = fitness[p];
        bool isMax = true;
        double neighbours = 0.0;
        for (unsigned int i = 0; i < n; i++) {
            const double g = fitness[p ^ (1ull << i)];
            if (g > f) isMax = false;
            neighbours += g - r.mean;
        }
        if (isMax) maxima++;
        squares += (f - r.mean) * (f - r.mean);
        products += (f - r.mean) * neighbours;
    }
    r.localMaxima = maxima;
    r.neighbourCorrelation = squares > 0 ? products / (n * squares) : std::numeric_limits<double>::quiet_NaN();
    return r;
}

void landscapeFitness(const SimuParameters& params, std::vector<double>& fitness) {
    if (params.n < 1 || params.n > kMaxN)
        NK_FATAL(Internal, "N=%u: whole-landscape analysis needs N in 1..%u\n", params.n, kMaxN);
    if (params.k >= params.n) NK_FATAL(Internal, "K=%u must be below N=%u\n", params.k, params.n);
    const StepClock clock;
    Landscape landscape(params, clock);
    landscape.initRun(0);
    baseFitnessOfAllPoints(landscape, params.n, params.k, params.fitnessStretchCoef, fitness);
}

LandscapeFigures analyzeLandscape(const SimuParameters& params, std::vector<double>& fitness) {
    landscapeFitness(params, fitness);
    LandscapeFigures r = figuresOf(fitness, params.n);
    r.landscapeseed = params.landscapeseed;
    return r;
}

Estimate estimate(const std::vector<double>& values) {
    Estimate e;
    const size_t m = values.size();
    if (m == 0) {
        e.mean = e.standardError = std::numeric_limits<double>::quiet_NaN();
        return e;
    }
    double sum = 0.0;
    for (double v : values) sum += v;
    e.mean = sum / (double)m;
    if (m < 2) {
        e.standardError = std::numeric_limits<double>::quiet_NaN();
        return e;
    }
    double squares = 0.0;
    for (double v : values) squares += (v - e.mean) * (v - e.mean);
    e.standardError = std::sqrt(squares / (double)(m - 1)) / std::sqrt((double)m);
    return e;
}

Summary summarize(const std::vector<LandscapeFigures>& figures) {
    Summary s;
    s.count = figures.size();
    std::vector<double> v(figures.size());
    auto of = [&](auto field) {
        for (size_t i = 0; i < figures.size(); i++) v[i] = (double)(figures[i].*field);
        return estimate(v);
    };
    s.localMaxima = of(&LandscapeFigures::localMaxima);
    s.globalMax = of(&LandscapeFigures::globalMax);
    s.minimum = of(&LandscapeFigures::minimum);
    s.mean = of(&LandscapeFigures::mean);
    s.neighbourCorrelation = of(&LandscapeFigures::neighbourCorrelation);
    return s;
}

// --- report formatting -------------------------------------------------------------------

std::string bitString(long point, unsigned int n) {
    std::string s(n, '0');
    for (unsigned int d = 0; d < n; d++)
        if ((point >> d) & 1) s[n - 1 - d] = '1';
    return s;
}

namespace {

// The bit-string column is as wide as N or its title, whichever is wider.
int bitsWidth(const ReportSetting& s) { return s.n > 8 ? (int)s.n : 8; }

std::string tableLine(const ReportSetting& s, const std::string& seed, const std::string& maxima,
                      const std::string& maxPoint, const std::string& bits, const std::string& max,
                      const std::string& min, const std::string& mean, const std::string& corr) {
    return format("%8s %10s %10s  %-*s %10s %10s %10s %10s\n", seed.c_str(), maxima.c_str(), maxPoint.c_str(),
                  bitsWidth(s), bits.c_str(), max.c_str(), min.c_str(), mean.c_str(), corr.c_str());
}

}  // namespace

std::string tableHead(const ReportSetting& s) {
    std::string seeds = s.firstSeed == s.lastSeed ? format("%d", s.firstSeed)
                                                  : format("%d..%d (%lld landscapes)", s.firstSeed, s.lastSeed,
                                                           (long long)s.lastSeed - s.firstSeed + 1);
    return format("# N=%u K=%u fitnessStretchCoef %g landscapeComponents %d (%s components) landscapeseed %s\n", s.n,
                  s.k, s.stretch, s.components, componentsName(s.components), seeds.c_str()) +
           tableLine(s, "seed", "local_max", "max_point", "max_bits", "global_max", "minimum", "mean", "nb_corr");
}

std::string tableRow(const ReportSetting& s, const LandscapeFigures& f) {
    return tableLine(s, format("%d", f.landscapeseed), format("%lu", f.localMaxima), format("%ld", f.globalMaxPoint),
                     bitString(f.globalMaxPoint, s.n), format("%.6f", f.globalMax), format("%.6f", f.minimum),
                     format("%.6f", f.mean), number("%.6f", f.neighbourCorrelation));
}

std::string tableSummary(const ReportSetting& s, const Summary& sum) {
    if (sum.count < 2) return "";
    return tableLine(s, "mean", number("%.2f", sum.localMaxima.mean), "", "", number("%.6f", sum.globalMax.mean),
                     number("%.6f", sum.minimum.mean), number("%.6f", sum.mean.mean),
                     number("%.6f", sum.neighbourCorrelation.mean)) +
           tableLine(s, "s.e.", number("%.2f", sum.localMaxima.standardError), "", "",
                     number("%.6f", sum.globalMax.standardError), number("%.6f", sum.minimum.standardError),
                     number("%.6f", sum.mean.standardError), number("%.6f", sum.neighbourCorrelation.standardError));
}

std::string csvHead() {
    return "seed,n,k,stretch,components,local_maxima,global_max_point,global_max_bits,global_max,min_point,minimum,"
           "mean,neighbour_corr\n";
}

std::string csvRow(const ReportSetting& s, const LandscapeFigures& f) {
    return format("%d,%u,%u,%.12g,%d,%lu,%ld,%s,%.12g,%ld,%.12g,%.12g,", f.landscapeseed, s.n, s.k, s.stretch,
                  s.components, f.localMaxima, f.globalMaxPoint, bitString(f.globalMaxPoint, s.n).c_str(), f.globalMax,
                  f.minPoint, f.minimum, f.mean) +
           number("%.12g", f.neighbourCorrelation) + "\n";
}

std::string csvSummary(const ReportSetting& s, const Summary& sum) {
    if (sum.count < 2) return "";
    auto line = [&](const char* name, double maxima, double max, double min, double mean, double corr) {
        return format("%s,%u,%u,%.12g,%d,", name, s.n, s.k, s.stretch, s.components) + number("%.12g", maxima) + ",,," +
               number("%.12g", max) + ",," + number("%.12g", min) + "," + number("%.12g", mean) + "," +
               number("%.12g", corr) + "\n";
    };
    return line("mean", sum.localMaxima.mean, sum.globalMax.mean, sum.minimum.mean, sum.mean.mean,
                sum.neighbourCorrelation.mean) +
           line("se", sum.localMaxima.standardError, sum.globalMax.standardError, sum.minimum.standardError,
                sum.mean.standardError, sum.neighbourCorrelation.standardError);
}

}  // namespace analysis
