// A batch: every run of a simulation from its first step to its last, scored, with observers
// and a progress line.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "batchobserver.h"
#include "scorer.h"

class Simulation;

// The one loop over runs and steps that every front end's batch goes through (the program,
// the Python module, the tools). It scores where the model scores: each step after the agents
// moved, each run after its last step, before the observers hear of them. Runs seeded one by
// one (runSeeding 1) may run in worker threads, each with a world of its own; their scores and
// observations are merged on the calling thread in run order, so every result is the same.
class BatchRunner {
public:
    BatchRunner(Simulation& simulation, bool statsPrinted);
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    // Worker threads for the runs (0: one per core). Returns a warning where the runs cannot
    // use them (they continue each other's random streams), "" otherwise.
    std::string setThreads(unsigned int requested);
    // Only the runs first..last (from 0, inclusive) of a batch seeded run by run; their values
    // are those of the whole batch, and the averages are over them. Ends with a usage error
    // where the seeding or the range does not allow it.
    void setOnlyRuns(unsigned int first, unsigned int last);

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
    unsigned int threads = 1;
    unsigned int firstRun = 0, endRun;  // the runs made: [firstRun, endRun)
    unsigned int curRun = 0;
    std::atomic<unsigned int> runsDone{0};  // with worker threads
    bool inThreads = false;
    bool progressLine = true;
    std::chrono::steady_clock::time_point progressStart, lastProgress;
    bool progressShown = false;

    // One run in `world`, scored by `runScorer`, told to `observers`.
    void runOne(Simulation& world, Scorer& runScorer, const std::vector<BatchObserver*>& observers, unsigned int run);
    void runInThreads(const std::vector<BatchObserver*>& observers, unsigned int workers);
    // Progress line on a terminal's standard error; silent otherwise.
    void showProgress(bool force);
    void clearProgress();
};
