// The batch loop: runs, steps, scoring, observers and the progress line; runs in worker
// threads merged in run order.
#include "batchrunner.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

#include "simulation.h"
#include "util.h"

BatchRunner::BatchRunner(Simulation& simulation, bool statsPrinted)
    : sim(simulation), scorer(simulation.getParameters(), statsPrinted), endRun(simulation.getParameters().nRuns) {}

namespace {

// The cores this process may run on (a Slurm task's, not the whole node's).
unsigned int coresAvailable() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return (unsigned int)std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

std::string BatchRunner::setThreads(unsigned int requested) {
    const unsigned int n = requested == 0 ? coresAvailable() : requested;
    threads = 1;
    if (n == 1) return "";
    if (sim.getParameters().runSeeding != kRunSeedingIndependent)
        return "--threads " + std::to_string(n) +
               ": with runSeeding 0 the runs depend on each other (each continues the random streams of the one "
               "before), so they run on one thread; runSeeding 1 seeds each run by itself";
    threads = n;
    return "";
}

void BatchRunner::setOnlyRuns(unsigned int first, unsigned int last) {
    const SimuParameters& p = sim.getParameters();
    if (p.runSeeding != kRunSeedingIndependent)
        NK_FATAL(Usage,
                 "--only-runs needs runSeeding 1: with runSeeding 0 each run continues the random streams of the run "
                 "before, so a run cannot be made alone\n");
    if (first > last || last >= p.nRuns)
        NK_FATAL(Usage, "--only-runs %u-%u: the batch has the runs 0 to %u\n", first, last, p.nRuns - 1);
    firstRun = first;
    endRun = last + 1;
    scorer.setRuns(firstRun, endRun - firstRun);
}

void BatchRunner::run(const std::vector<BatchObserver*>& observers) {
    progressStart = std::chrono::steady_clock::now();
    progressShown = false;
    runsDone = 0;
    const unsigned int workers = std::min(threads, endRun - firstRun);
    // An observer that cannot record a run apart keeps the runs on this thread.
    if (workers > 1 &&
        std::all_of(observers.begin(), observers.end(), [](BatchObserver* o) { return o->runRecorder() != nullptr; })) {
        runInThreads(observers, workers);
    } else {
        for (curRun = firstRun; curRun < endRun; curRun++) runOne(sim, scorer, observers, curRun);
    }
    clearProgress();
}

void BatchRunner::runOne(Simulation& world, Scorer& runScorer, const std::vector<BatchObserver*>& observers,
                         unsigned int run) {
    const SimuParameters& params = world.getParameters();
    const bool ownWorld = &world == &sim;  // the progress line follows the steps of its own runs only
    world.initRun(run);
    runScorer.startRun();
    while (world.runGoesOn()) {
        world.executeOneStep(observers);
        if (params.runExternally) runScorer.accountStep(world);
        for (BatchObserver* o : observers) o->afterStep(world);
        if (ownWorld) showProgress(false);
    }
    runScorer.accountRunEnd(world);
    for (BatchObserver* o : observers) o->afterRun(world, runScorer);
    world.finishRun();
}

namespace {

// What a worker made of one run, waiting to be merged.
struct RunRecord {
    Scorer scorer;
    std::vector<std::unique_ptr<BatchObserver>> observers;
    RunRecord(const SimuParameters& params, bool statsPrinted) : scorer(params, statsPrinted) {}
};

// The runs that the workers and the merging thread share: the next run to make, the runs done
// and not merged yet, and the first failure. A run is taken only while it is at most `ahead`
// runs past the merge, so that the runs waiting to be merged stay few.
class RunQueue {
public:
    RunQueue(unsigned int first, unsigned int end, unsigned int ahead)
        : first(first), end(end), ahead(ahead), next(first), merged(first), done(end - first) {}

    // The next run to make, or `end` when there is none to take: all are taken, the queue is too
    // far ahead of the merge (waited out when `wait`), or a run failed.
    unsigned int take(bool wait) {
        std::unique_lock<std::mutex> lock(mutex);
        const auto mayTake = [&] { return failure || next >= end || next < merged + ahead; };
        if (wait) changed.wait(lock, mayTake);
        if (failure || !mayTake() || next >= end) return end;
        return next++;
    }
    void put(unsigned int run, std::unique_ptr<RunRecord> record) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            done[run - first] = std::move(record);
        }
        changed.notify_all();
    }
    // Run `run`'s record once it is done, for merging; null while it is not (waiting a while
    // for it when `wait`) or after a failure.
    std::unique_ptr<RunRecord> takeDone(unsigned int run, bool wait) {
        std::unique_lock<std::mutex> lock(mutex);
        const auto ready = [&] { return failure || done[run - first]; };
        if (wait) changed.wait_for(lock, std::chrono::milliseconds(250), ready);
        if (failure || !done[run - first]) return nullptr;
        merged = run + 1;
        changed.notify_all();
        return std::move(done[run - first]);
    }
    // Keeps the first failure and stops every worker at its next take.
    void fail(std::exception_ptr error) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!failure) failure = std::move(error);
        }
        changed.notify_all();
    }
    bool failed() {
        std::lock_guard<std::mutex> lock(mutex);
        return bool(failure);
    }
    // After the merge loop: stops the workers; a merge that ended early without a failure is a fault.
    std::exception_ptr finish(unsigned int mergedEnd) {
        if (mergedEnd < end) fail(std::make_exception_ptr(std::logic_error("runs left unmerged")));
        std::lock_guard<std::mutex> lock(mutex);
        changed.notify_all();
        return failure;
    }

private:
    const unsigned int first, end, ahead;
    unsigned int next, merged;
    std::vector<std::unique_ptr<RunRecord>> done;
    std::exception_ptr failure;
    std::mutex mutex;
    std::condition_variable changed;
};

// A run's score and observations, added to the batch's.
void mergeRecord(Scorer& scorer, const std::vector<BatchObserver*>& observers, RunRecord& record) {
    scorer.mergeRun(record.scorer);
    for (size_t i = 0; i < observers.size(); i++) observers[i]->mergeRun(*record.observers[i]);
}

}  // namespace

// Each worker takes the next run to make, in its own world; this thread is one of them, with
// the simulation's world, and between its runs merges the runs done in run order.
void BatchRunner::runInThreads(const std::vector<BatchObserver*>& observers, unsigned int workers) {
    RunQueue queue(firstRun, endRun, 2 * workers);
    const auto makeRun = [&](Simulation& world, unsigned int run) {
        auto record = std::make_unique<RunRecord>(world.getParameters(), scorer.statsPrinted());
        record->scorer.keepAdditions();
        record->scorer.setRuns(run, 1);
        std::vector<BatchObserver*> recorders;
        for (BatchObserver* o : observers) {
            record->observers.push_back(o->runRecorder());
            recorders.push_back(record->observers.back().get());
        }
        runOne(world, record->scorer, recorders, run);
        runsDone++;
        queue.put(run, std::move(record));
    };
    const auto work = [&](Simulation& world) {
        try {
            for (unsigned int run; (run = queue.take(true)) < endRun;) makeRun(world, run);
        } catch (...) {
            queue.fail(std::current_exception());
        }
    };
    const auto merge = [&](RunRecord& record) {
        mergeRecord(scorer, observers, record);
        curRun++;
    };

    inThreads = true;
    std::vector<std::unique_ptr<Simulation>> worlds;
    std::vector<std::thread> pool;
    curRun = firstRun;
    try {
        for (unsigned int w = 1; w < workers; w++)
            worlds.push_back(std::make_unique<Simulation>(sim, Simulation::WorkerWorld{}));
        for (auto& world : worlds) pool.emplace_back(work, std::ref(*world));
        while (curRun < endRun && !queue.failed()) {
            if (std::unique_ptr<RunRecord> record = queue.takeDone(curRun, false)) {
                merge(*record);
                continue;
            }
            const unsigned int run = queue.take(false);
            if (run < endRun) {
                makeRun(sim, run);
            } else if (std::unique_ptr<RunRecord> record = queue.takeDone(curRun, true)) {
                merge(*record);  // nothing left to take: waited for the run to merge next
            }
            showProgress(false);
        }
    } catch (...) {
        queue.fail(std::current_exception());
    }
    const std::exception_ptr failure = queue.finish(curRun);
    for (std::thread& t : pool) t.join();
    inThreads = false;
    if (failure) std::rethrow_exception(failure);
}

void BatchRunner::showProgress(bool force) {
    static const bool onTerminal = isatty(fileno(stderr));
    if (!onTerminal || !progressLine) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastProgress < std::chrono::milliseconds(250)) return;
    lastProgress = now;
    const double elapsed = std::chrono::duration<double>(now - progressStart).count();
    if (!force && elapsed < 1.0) return;  // short runs stay silent
    const SimuParameters& params = sim.getParameters();
    const unsigned int runs = endRun - firstRun;
    double done = 0.0;
    if (inThreads) {
        // Runs go on side by side: the runs finished tell how far the batch is.
        done = runs > 0 ? (double)runsDone / runs : 0.0;
        const double left = done > 0 ? elapsed * (1.0 - done) / done : 0.0;
        fprintf(stderr, "\r\033[Kruns %u/%u finished (%u threads)  elapsed %.0fs  left ~%.0fs", runsDone.load(), runs,
                std::min(threads, runs), elapsed, left);
    } else {
        if (runs > 0) {
            double within = 0.0;
            if (params.maxTotalEvals > 0)
                within = std::min(1.0, (double)sim.getCountedEvals(0) / params.maxTotalEvals);
            else if (params.maxTotalSteps > 0)
                within = std::min(1.0, (double)sim.getCurrentStep() / params.maxTotalSteps);
            done = (curRun - firstRun + within) / runs;
        }
        const double left = done > 0 ? elapsed * (1.0 - done) / done : 0.0;
        fprintf(stderr, "\r\033[Krun %u/%u  step %u  elapsed %.0fs  left ~%.0fs", curRun + 1, params.nRuns,
                sim.getCurrentStep(), elapsed, left);
    }
    fflush(stderr);
    progressShown = true;
}

void BatchRunner::clearProgress() {
    if (!progressShown) return;
    fprintf(stderr, "\r\033[K");
    fflush(stderr);
    progressShown = false;
}
