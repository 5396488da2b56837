// The labelled batch report (--report json|csv): the plain report's numbers with their labels
// and with what produced them (files, seeds, version, compared strategies, and the settings as
// --dump-config writes them).
#pragma once

#include <string>
#include <vector>

#include "batchobserver.h"
#include "params.h"

class BatchRunner;

// What a labelled report records of how the batch was started.
struct RunLabels {
    std::vector<std::string> configFiles;  // the main file, the extra file, the compared strategies' files
    std::vector<std::string> comparedStrategyNames;
    bool printStats = false;  // --print-stats
};

class ReportCollector;

// The one way a batch is run for its results: every run, with the series (when given) and
// then the report collector as observers, in this order. The program and the Python module
// both run batches through it.
void runBatchFor(BatchRunner& batch, ReportCollector& collector, BatchObserver* series = nullptr);

class ReportCollector : public BatchObserver {
public:
    void afterStep(Simulation&) override {}
    // Keeps what the simulation does not: each run's scored steps and evaluations.
    void afterRun(Simulation& simulation, const Scorer& scores) override;

    std::string json(const BatchRunner& batch, const RunLabels& labels) const;
    // One row per fitness group and run.
    std::string csv(const BatchRunner& batch, const RunLabels& labels) const;

    const std::vector<unsigned int>& getCountedSteps() const { return countedSteps; }
    const std::vector<long long>& getEvaluations(int group) const { return evaluations[group]; }

private:
    std::vector<unsigned int> countedSteps;                 // per run
    std::vector<long long> evaluations[kMaxFitnessGroups];  // per group, per run
};
