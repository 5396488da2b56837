// Something that follows a batch run step by step and run by run (the per-step series, the
// labelled report). It reads the simulation and must change no result.
#pragma once

#include <memory>

class Simulation;
class Scorer;

class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    // After each step of a batch run, once the step's fitness is accounted.
    virtual void afterStep(Simulation& simulation) = 0;
    // Within each step, after the agents have moved and before their visits are recorded.
    virtual void beforeVisits(Simulation&) {}
    // After a run's end-of-run accounting, while its agents and memories still exist.
    virtual void afterRun(Simulation& simulation, const Scorer& scores) = 0;

    // Runs made in worker threads: an observer that keeps what this one would make of one run,
    // and the call that takes it over on the batch's thread, run by run in run order. Null:
    // this observer follows runs only as they are made, and the batch keeps to one thread.
    virtual std::unique_ptr<BatchObserver> runRecorder() const { return nullptr; }
    virtual void mergeRun(BatchObserver& recorder) { (void)recorder; }
};
