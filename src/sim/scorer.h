// The score of a batch: what each scored step and each run add per fitness group, and the
// report's numbers made from them.
#pragma once

#include <string>
#include <vector>

#include "constants.h"
#include "params.h"

class Simulation;

// Scoring evaluates the agents' points, so it advances the landscape's time stamps: the run
// driver calls it exactly where the model scores, in agent order.
class Scorer {
public:
    Scorer(const SimuParameters& params, bool statsPrinted)
        : params(params), statsPrinted_(statsPrinted), runCount_(params.nRuns) {}

    // The report covers the `count` runs from `first` on (--only-runs), not all nRuns.
    void setRuns(unsigned int first, unsigned int count) {
        firstRun_ = first;
        runCount_ = count;
    }
    unsigned int firstRun() const { return firstRun_; }
    unsigned int runCount() const { return runCount_; }
    // A scorer of one run made in another thread: it also keeps what it added to the totals,
    // in order, so that merging runs in run order gives the totals to the bit.
    void keepAdditions() { keepsAdditions = true; }
    // Takes over the one run `run` scored (a keepAdditions scorer's).
    void mergeRun(const Scorer& run);

    // Whether step `step` (numbered from 1, as it ends) is one of a run's scored steps.
    static bool scoresStep(const SimuParameters& params, unsigned int step);
    // A run starts: nothing of it is scored yet.
    void startRun();
    // The step that just ended, when it is one of the run's last lastStepsUsedForFitness
    // steps; only the groups that took the step count where the stepping mode skips some.
    void accountStep(const Simulation& sim);
    // After a run's last step.
    void accountRunEnd(const Simulation& sim);

    bool statsPrinted() const { return statsPrinted_; }
    // A group's average over the runs (the report's first line) and the population standard
    // deviation of its run values (divided by the number of runs); over the runs made where
    // only some are (runCount).
    double groupAverage(int g) const;
    double groupDeviation(int g) const;
    // Per run, a group's value (its share of the average line; 0 for a group not scored).
    const std::vector<double>& runValues(int g) const { return fitnessForRuns[g]; }
    // Steps of the current run that were scored so far.
    unsigned int countedStepsInRun() const { return countedSteps; }
    // The most steps any run scored: more than lastStepsUsedForFitness when an evaluation
    // budget ran past maxTotalSteps.
    unsigned int mostCountedSteps() const { return mostCounted; }
    // The batch report: averages, and with statistics the deviations and per-run values.
    std::string formatReport() const;

private:
    const SimuParameters& params;
    bool statsPrinted_;
    double totalFitnessForAllRuns[kMaxFitnessGroups] = {};
    std::vector<double> fitnessForRuns[kMaxFitnessGroups];
    // Per group, what the counted steps of the current run added to its total without
    // agentsFitnessUseMax (group means with statistics, group 0's sum / 11 without).
    double runFitnessOfGroup[kMaxFitnessGroups] = {};
    unsigned int countedSteps = 0;
    unsigned int mostCounted = 0;
    unsigned int firstRun_ = 0;
    unsigned int runCount_;
    bool keepsAdditions = false;
    std::vector<double> additions[kMaxFitnessGroups];

    void accountGroupMeans(const Simulation& sim);
    void addToTotal(int g, double value) {
        totalFitnessForAllRuns[g] += value;
        if (keepsAdditions) additions[g].push_back(value);
    }
};
