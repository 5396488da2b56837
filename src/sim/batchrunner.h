// A batch: every run of a simulation from its first step to its last, scored, with observers
// and a progress line.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "batchobserver.h"
#include "scorer.h"

class Simulation;

// The one loop over runs and steps that every front end's batch goes through (the program,
// the Python module, the tools). It scores where the model scores: each step after the agents
// moved, each run after its last step, before the observers hear of them.
class BatchRunner {
public:
    BatchRunner(Simulation& simulation, bool statsPrinted);
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    // All runs of the batch; `observers` are told of every step and run, in their order.
    void run(const std::vector<BatchObserver*>& observers = {});

    // The progress line on a terminal's standard error; off where runs share the terminal.
    void setProgressLine(bool shown) { progressLine = shown; }

    Simulation& simulation() { return sim; }
    const Simulation& simulation() const { return sim; }
    const Scorer& scores() const { return scorer; }
    bool statsPrinted() const { return scorer.statsPrinted(); }
    // The plain report: averages, and with statistics the deviations and per-run values.
    std::string formatReport() const { return scorer.formatReport(); }

private:
    Simulation& sim;
    Scorer scorer;
    unsigned int curRun = 0;
    bool progressLine = true;
    std::chrono::steady_clock::time_point progressStart, lastProgress;
    bool progressShown = false;

    // Progress line on a terminal's standard error; silent otherwise.
    void showProgress(bool force);
    void clearProgress();
};
