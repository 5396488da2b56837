// nkanalyze: figures of whole NK landscapes (base fitness, no crowding), for the landscape of a
// configuration file or for given N, K and a range of landscape seeds.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis.h"
#include "inline.h"
#include "params.h"
#include "util.h"
#include "version.h"

namespace {

const char* const kUsage =
    "Usage: nkanalyze CONFIG.cfg [OPTIONS]\n"
    "       nkanalyze --n N --k K [--stretch X] --seeds A[..B] [OPTIONS]\n"
    "       nkanalyze --help | --version\n"
    "Analyses the base fitness (no crowding) of whole landscapes: local maxima, global\n"
    "maximum, minimum, mean fitness and the correlation of one-bit neighbours.\n"
    "  --seeds A[..B]     landscape seeds A to B (with CONFIG: replaces its landscapeseed)\n"
    "  --components 0|1   0: seeded components (the default), 1: independent components\n"
    "                     (with CONFIG: replaces its landscapeComponents)\n"
    "  --stretch X        fitnessStretchCoef (default 1, or the configuration's)\n"
    "  --csv              CSV instead of a table\n"
    "  --summary          with several seeds: only the mean and standard error lines\n"
    "N is at most 24: every point's fitness is held in memory.\n";

struct Options {
    std::string config;
    bool nGiven = false, kGiven = false, stretchGiven = false, componentsGiven = false, seedsGiven = false;
    unsigned int n = 0, k = 0;
    double stretch = 1.0;
    int components = 0;
    int firstSeed = 0, lastSeed = 0;
    bool csv = false, summaryOnly = false;
};

long long parseInteger(const char* option, const char* text) {
    errno = 0;
    char* end = nullptr;
    const long long v = strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0') NK_FATAL(Usage, "%s: \"%s\" is not a whole number\n", option, text);
    return v;
}

int parseSeed(const char* text) {
    const long long v = parseInteger("--seeds", text);
    if (v < INT_MIN || v > INT_MAX) NK_FATAL(Usage, "--seeds: %s does not fit a landscape seed\n", text);
    return (int)v;
}

bool takesValue(const std::string& a) {
    return a == "--n" || a == "--k" || a == "--stretch" || a == "--components" || a == "--seeds";
}

// Reads the value of option `a` (one that takesValue).
void parseValue(Options& o, const std::string& a, const char* text) {
    if (a == "--n" || a == "--k") {
        const long long v = parseInteger(a.c_str(), text);
        if (v < 0 || v > 63) NK_FATAL(Usage, "%s %lld is out of range\n", a.c_str(), v);
        (a == "--n" ? o.n : o.k) = (unsigned int)v;
        (a == "--n" ? o.nGiven : o.kGiven) = true;
    } else if (a == "--stretch") {
        char* end = nullptr;
        o.stretch = strtod(text, &end);
        if (end == text || *end != '\0') NK_FATAL(Usage, "--stretch: \"%s\" is not a number\n", text);
        o.stretchGiven = true;
    } else if (a == "--components") {
        const std::string v = text;
        if (v != "0" && v != "1")
            NK_FATAL(Usage, "--components must be 0 (seeded components) or 1 (independent components), not \"%s\"\n",
                     v.c_str());
        o.components = v[0] - '0';
        o.componentsGiven = true;
    } else {
        const std::string v = text;
        const size_t dots = v.find("..");
        o.firstSeed = parseSeed(v.substr(0, dots).c_str());
        o.lastSeed = dots == std::string::npos ? o.firstSeed : parseSeed(v.substr(dots + 2).c_str());
        if (o.lastSeed < o.firstSeed) NK_FATAL(Usage, "--seeds %s: the range is empty\n", v.c_str());
        o.seedsGiven = true;
    }
}

Options parseCommandLine(int argc, char** argv) {
    Options o;
    int i = 1;
    if (argc > 1 && strncmp(argv[1], "--", 2) != 0) o.config = argv[i++];
    for (; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "--csv")
            o.csv = true;
        else if (a == "--summary")
            o.summaryOnly = true;
        else if (!takesValue(a))
            NK_FATAL(Usage, "Unknown argument %s (nkanalyze --help lists the options)\n", a.c_str());
        else if (i + 1 >= argc)
            NK_FATAL(Usage, "%s needs a value\n", a.c_str());
        else
            parseValue(o, a, argv[++i]);
    }
    if (o.config.empty()) {
        if (!o.nGiven || !o.kGiven || !o.seedsGiven)
            NK_FATAL(Usage, "Without a configuration file, --n, --k and --seeds are all needed (nkanalyze --help)\n");
    } else if (o.nGiven || o.kGiven) {
        NK_FATAL(Usage, "--n and --k cannot change a configuration file's N and K; give either the file or both\n");
    }
    return o;
}

// A progress line on standard error, only when that is a terminal, for ranges that take a while.
class Progress {
public:
    explicit Progress(long long total) : total(total), onTerminal(isatty(fileno(stderr))) {}
    ~Progress() { clear(); }

    void update(long long done, int seed) {
        if (!onTerminal) return;
        const auto now = std::chrono::steady_clock::now();
        const double elapsed = std::chrono::duration<double>(now - start).count();
        if (elapsed < 1.0 || now - last < std::chrono::milliseconds(250)) return;
        last = now;
        const double left = done > 0 ? elapsed * (double)(total - done) / (double)done : 0.0;
        fprintf(stderr, "\r\033[Klandscape %lld/%lld (seed %d)  elapsed %.0fs  left ~%.0fs", done, total, seed, elapsed,
                left);
        fflush(stderr);
        shown = true;
    }

    void clear() {
        if (!shown) return;
        fprintf(stderr, "\r\033[K");
        fflush(stderr);
        shown = false;
    }

private:
    long long total;
    bool onTerminal;
    bool shown = false;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now(), last;
};

void emit(const std::string& text, Progress& progress) {
    if (text.empty()) return;
    progress.clear();  // the report may share the terminal
    fputs(text.c_str(), stdout);
    fflush(stdout);
}

// The command line's N, K, stretch and components over the configuration's (or the defaults).
void applyOptions(const Options& o, bool withoutConfig, SimuParameters& params) {
    if (withoutConfig) {
        params.n = o.n;
        params.k = o.k;
        if (params.n < 1 || params.n > Point::kMaxN || params.k > params.n - 1)
            NK_FATAL(Usage, "N=%u or K=%u out of bounds: N must be 1 to %u and K below N\n", params.n, params.k,
                     Point::kMaxN);
    }
    if (o.stretchGiven) params.fitnessStretchCoef = o.stretch;
    if (o.componentsGiven) params.landscapeComponents = o.components;
    if (params.n > analysis::kMaxN)
        NK_FATAL(Usage,
                 "N=%u is too large: the analysis visits all 2^N points and holds their fitness in memory, which is "
                 "practical up to N=%u (2^%u points, 128 MiB, seconds per landscape)\n",
                 params.n, analysis::kMaxN, analysis::kMaxN);
}

// Analyses the landscape of every seed and prints the rows (unless only the summary is
// wanted) and the summary.
void analyzeSeeds(const Options& o, SimuParameters& params) {
    analysis::ReportSetting s;
    s.n = params.n;
    s.k = params.k;
    s.stretch = params.fitnessStretchCoef;
    s.components = params.landscapeComponents;
    s.firstSeed = o.seedsGiven ? o.firstSeed : params.landscapeseed;
    s.lastSeed = o.seedsGiven ? o.lastSeed : params.landscapeseed;
    const long long total = (long long)s.lastSeed - s.firstSeed + 1;
    const bool rows = !(o.summaryOnly && total > 1);

    Progress progress(total);
    emit(o.csv ? analysis::csvHead() : analysis::tableHead(s), progress);
    std::vector<analysis::LandscapeFigures> all;
    all.reserve((size_t)total);
    std::vector<double> fitness;
    for (long long seed = s.firstSeed; seed <= s.lastSeed; seed++) {
        params.landscapeseed = (int)seed;
        const analysis::LandscapeFigures f = analysis::analyzeLandscape(params, fitness);
        all.push_back(f);
        if (rows) emit(o.csv ? analysis::csvRow(s, f) : analysis::tableRow(s, f), progress);
        progress.update((long long)all.size(), (int)seed);
    }
    const analysis::Summary sum = analysis::summarize(all);
    emit(o.csv ? analysis::csvSummary(s, sum) : analysis::tableSummary(s, sum), progress);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0))) {
        fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf("nkanalyze %s\n", NK_VERSION);
        return 0;
    }
    const Options o = parseCommandLine(argc, argv);

    std::vector<std::string> names;
    std::vector<std::string> files;
    if (!o.config.empty()) files.push_back(o.config);
    // The configuration reader checks the whole file, N and K bounds included.
    SimuParameters params = files.empty() ? SimuParameters(names) : SimuParameters(files, names, 0, 0.0);
    applyOptions(o, files.empty(), params);
    // Only run 0's landscape is analysed, which is all runs' landscape only without landscapePerRun.
    if (params.landscapePerRun)
        fprintf(stderr, "warning: %s: landscapePerRun 1: each run draws a landscape of its own; this is run 0's\n",
                o.config.c_str());
    analyzeSeeds(o, params);
    return 0;
}
