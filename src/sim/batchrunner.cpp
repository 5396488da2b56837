// The batch loop: runs, steps, scoring, observers and the progress line.
#include "batchrunner.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "simulation.h"

BatchRunner::BatchRunner(Simulation& simulation, bool statsPrinted)
    : sim(simulation), scorer(simulation.getParameters(), statsPrinted) {}

void BatchRunner::run(const std::vector<BatchObserver*>& observers) {
    const SimuParameters& params = sim.getParameters();
    progressStart = std::chrono::steady_clock::now();
    progressShown = false;
    for (curRun = 0; curRun < params.nRuns; curRun++) {
        sim.initRun(curRun);
        scorer.startRun();
        while (sim.runGoesOn()) {
            sim.executeOneStep(observers);
            if (params.runExternally) scorer.accountStep(sim);
            for (BatchObserver* o : observers) o->afterStep(sim);
            showProgress(false);
        }
        scorer.accountRunEnd(sim);
        for (BatchObserver* o : observers) o->afterRun(sim, scorer);
        sim.finishRun();
    }
    clearProgress();
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
    double done = 0.0;
    if (params.nRuns > 0) {
        double within = 0.0;
        if (params.maxTotalEvals > 0)
            within = std::min(1.0, (double)sim.getCountedEvals(0) / params.maxTotalEvals);
        else if (params.maxTotalSteps > 0)
            within = std::min(1.0, (double)sim.getCurrentStep() / params.maxTotalSteps);
        done = (curRun + within) / params.nRuns;
    }
    const double left = done > 0 ? elapsed * (1.0 - done) / done : 0.0;
    fprintf(stderr, "\r\033[Krun %u/%u  step %u  elapsed %.0fs  left ~%.0fs", curRun + 1, params.nRuns,
            sim.getCurrentStep(), elapsed, left);
    fflush(stderr);
    progressShown = true;
}

void BatchRunner::clearProgress() {
    if (!progressShown) return;
    fprintf(stderr, "\r\033[K");
    fflush(stderr);
    progressShown = false;
}
