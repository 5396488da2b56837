// What an agent and its search methods use of the run they take part in.
#pragma once

#include "evalcounter.h"
#include "params.h"
#include "rng.h"
#include "stepclock.h"

class Landscape;

// The parameters, the landscape, where evaluations are counted, the two random streams, the
// step and whether agents keep their paths (visual mode). The run driver owns it and advances
// the step; agents and search methods hold it instead of the driver, so that one search step
// can run with a context of its own.
class RunContext {
public:
    RunContext(const SimuParameters& params, EvalCounter& evals, bool recordsHistory = false)
        : params_(params), evals_(evals), recordsHistory_(recordsHistory) {}
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    // The landscape is made after the context, which lends it the step clock.
    void setLandscape(Landscape& landscape) { landscape_ = &landscape; }

    const SimuParameters& params() const { return params_; }
    Landscape& landscape() const { return *landscape_; }
    EvalCounter& evals() const { return evals_; }

    // The initial memories draw from one stream, every decision and search from the other.
    unsigned short* initMemStream() { return initMemState_; }
    unsigned short* searchStream() { return searchState_; }
    void seedStreams(int startSeed, int searchSeed) {
        rng48::seedState(initMemState_, startSeed);
        rng48::seedState(searchState_, searchSeed);
    }
    // runSeeding 1: the streams of run `run` alone, from the seeds and the run index.
    void seedStreamsForRun(int startSeed, int searchSeed, unsigned int run) {
        rng48::seedRunStream(initMemState_, startSeed, run, rng48::RunStream::InitialMemories);
        rng48::seedRunStream(searchState_, searchSeed, run, rng48::RunStream::Search);
    }

    unsigned int step() const { return clock_.now(); }
    // The step as the landscape and the memories read it when they stamp a visit.
    const StepClock& stepClock() const { return clock_; }
    void setStep(unsigned int step) { clock_.set(step); }
    void advanceStep() { clock_.advance(); }

    bool recordsHistory() const { return recordsHistory_; }

private:
    const SimuParameters& params_;
    Landscape* landscape_ = nullptr;
    EvalCounter& evals_;
    unsigned short initMemState_[3] = {};
    unsigned short searchState_[3] = {};
    StepClock clock_;
    bool recordsHistory_;
};
