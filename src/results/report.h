// The labelled batch report (--report json|csv): the plain report's numbers with their labels
// and with what produced them (files, seeds, version, compared strategies, and the settings as
// --dump-config writes them).
#pragma once

#include <memory>
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

// The one way a batch is run for its results: every run, with the series and the agents'
// trajectories (when given) and then the report collector as observers, in this order. The
// program and the Python module both run batches through it.
void runBatchFor(BatchRunner& batch, ReportCollector& collector, BatchObserver* series = nullptr,
                 BatchObserver* agents = nullptr);

class ReportCollector : public BatchObserver {
public:
    // On the scored steps, the base score's accounting.
    void afterStep(Simulation& simulation) override;
    // Keeps what the simulation does not: each run's scored steps and evaluations.
    void afterRun(Simulation& simulation, const Scorer& scores) override;
    // A run made in a worker thread: a collector that also keeps its additions to the base
    // total, in order, so that merging runs in run order gives the total to the bit.
    std::unique_ptr<BatchObserver> runRecorder() const override;
    void mergeRun(BatchObserver& recorder) override;

    // The base score of a group: the accounting of the group mean (the group's mean per
    // scored step, summed, divided by lastStepsUsedForFitness, averaged over the runs) on the
    // base fitness of the points the agents stand on, which crowding does not change. Per run,
    // and its population standard deviation over the runs.
    double baseScore(int group) const;
    const std::vector<double>& baseValues(int group) const { return baseRunValues[group]; }
    double baseDeviation(int group) const;

    std::string json(const BatchRunner& batch, const RunLabels& labels) const;
    // One row per fitness group and run.
    std::string csv(const BatchRunner& batch, const RunLabels& labels) const;

    const std::vector<unsigned int>& getCountedSteps() const { return countedSteps; }
    const std::vector<long long>& getEvaluations(int group) const { return evaluations[group]; }

private:
    std::vector<unsigned int> countedSteps;                 // per run
    std::vector<long long> evaluations[kMaxFitnessGroups];  // per group, per run
    double baseTotal[kMaxFitnessGroups] = {};               // over all runs
    double baseOfRun[kMaxFitnessGroups] = {};               // the current run's sum
    std::vector<double> baseRunValues[kMaxFitnessGroups];   // per group, per run
    unsigned int baseDivisor = 0;                           // lastStepsUsedForFitness x runs
    unsigned int lastSteps = 0;                             // lastStepsUsedForFitness
    bool keepsAdditions = false;
    std::vector<double> baseAdditions[kMaxFitnessGroups];
};
