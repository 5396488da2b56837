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
    if (workers > 1) {
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

}  // namespace

// Each worker takes the next run to make, in its own world; this thread is one of them, with
// the simulation's world, and between its runs merges the runs done in run order. A worker
// stays at most a few runs ahead of the merge, so that the runs waiting for it stay few.
void BatchRunner::runInThreads(const std::vector<BatchObserver*>& observers, unsigned int workers) {
    for (BatchObserver* o : observers)
        if (!o->runRecorder()) {
            for (curRun = firstRun; curRun < endRun; curRun++) runOne(sim, scorer, observers, curRun);
            return;
        }
    const unsigned int ahead = 2 * workers;
    std::vector<std::unique_ptr<RunRecord>> done(endRun - firstRun);
    std::mutex mutex;
    std::condition_variable changed;
    unsigned int next = firstRun, merged = firstRun;
    std::exception_ptr failure;

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
        {
            std::lock_guard<std::mutex> lock(mutex);
            done[run - firstRun] = std::move(record);
        }
        runsDone++;
        changed.notify_all();
    };
    const auto fail = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure) failure = std::current_exception();
        changed.notify_all();
    };
    const auto work = [&](Simulation& world) {
        try {
            for (;;) {
                unsigned int run;
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(lock, [&] { return failure || next >= endRun || next < merged + ahead; });
                    if (failure || next >= endRun) return;
                    run = next++;
                }
                makeRun(world, run);
            }
        } catch (...) {
            fail();
        }
    };
    // The next run in run order, once it is done; null while it is not (or after a failure).
    const auto takeNext = [&](bool wait) -> std::unique_ptr<RunRecord> {
        std::unique_lock<std::mutex> lock(mutex);
        const auto ready = [&] { return failure || done[curRun - firstRun]; };
        if (wait) changed.wait_for(lock, std::chrono::milliseconds(250), ready);
        if (failure || !done[curRun - firstRun]) return nullptr;
        merged = curRun + 1;
        changed.notify_all();
        return std::move(done[curRun - firstRun]);
    };

    const auto merge = [&](RunRecord& record) {
        scorer.mergeRun(record.scorer);
        for (size_t i = 0; i < observers.size(); i++) observers[i]->mergeRun(*record.observers[i]);
        curRun++;
    };

    inThreads = true;
    std::vector<std::unique_ptr<Simulation>> worlds;
    std::vector<std::thread> pool;
    try {
        for (unsigned int w = 1; w < workers; w++)
            worlds.push_back(std::make_unique<Simulation>(sim, Simulation::WorkerWorld{}));
        for (auto& world : worlds) pool.emplace_back(work, std::ref(*world));
        curRun = firstRun;
        while (curRun < endRun) {
            if (std::unique_ptr<RunRecord> record = takeNext(false)) {
                merge(*record);
                continue;
            }
            unsigned int run = endRun;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (failure) break;
                if (next < endRun && next < merged + ahead) run = next++;
            }
            if (run < endRun) {
                makeRun(sim, run);
            } else {
                // Nothing left to take: wait for the run to merge next.
                if (std::unique_ptr<RunRecord> record = takeNext(true)) merge(*record);
            }
            showProgress(false);
        }
    } catch (...) {
        fail();
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure && curRun < endRun) failure = std::make_exception_ptr(std::logic_error("runs left unmerged"));
    }
    changed.notify_all();
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
