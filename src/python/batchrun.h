// One batch for the Python module: the configuration files (held in memory or on disk), the
// command line's options, and the report's numbers and per-step series as plain vectors.
#pragma once

#include <string>
#include <vector>

#include "params.h"
#include "series.h"

struct BatchRequest {
    // Main, extra and compared-strategy files, as the command line gives them.
    std::vector<std::string> fileNames;
    ConfigTexts texts;
    std::vector<std::string> comparedNames;
    int runs = 0;  // above 0: replaces nRuns (--num-runs)
    bool stats = false;
    double stepEvals = 0.0;  // above 0: --step-evals
    bool series = false;
    unsigned int agentsEvery = 0;  // above 0: the per-agent rows of every such step (--agents-every)
    unsigned int threads = 1;      // --threads (0: one per core)
    bool onlyRuns = false;         // --only-runs onlyFirst-onlyLast
    unsigned int onlyFirst = 0, onlyLast = 0;
};

struct BatchResult {
    int groups = 0;
    unsigned int runs = 0;
    // Per group: the report's first line and its deviations; per run and group (row-major):
    // the run values and the counted evaluations; per run: the scored steps.
    std::vector<double> scores, deviations, runValues;
    // The same of the base fitness (uncrowded), accounted as the group mean.
    std::vector<double> baseScores, baseDeviations, baseRunValues;
    std::vector<long long> evaluations;
    std::vector<unsigned int> countedSteps;
    std::vector<SeriesRow> series;
    std::string agents;  // the --agents CSV, header included (agentsEvery above 0)
    // Per group, how the report scored it: "mean", "max", "sum/11", or "" (not scored, 0).
    std::vector<std::string> scoring;
    std::vector<std::string> warnings;
    std::string report;    // the plain report, as the program prints it
    double seconds = 0.0;  // reading the configuration and running the batch
};

// Runs the batch on the calling thread; a configuration error throws FatalExit.
BatchResult runBatch(const BatchRequest& request);
