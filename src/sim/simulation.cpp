// The run driver: runs, steps, evaluation budgets, fitness accounting and the batch report.
#include "simulation.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>

#include "NetworkActivator.h"
#include "agent.h"
#include "rng.h"
#include "scoring.h"
#include "util.h"

namespace {
// Applies `setup` to the freshly defaulted parameters and hands them on, so that the
// landscape (built next) sees the final values.
SimuParameters& applySetup(SimuParameters& p, const std::function<void(SimuParameters&)>& setup) {
    setup(p);
    return p;
}
}  // namespace

Simulation::Simulation(const std::vector<std::string>& simuCfgFileNames, std::vector<std::string>& names,
                       int nRunsOverride, bool statsPrinted, double evalsPerStepLimit, const ConfigTexts& texts,
                       SimulationMode mode)
    : params(simuCfgFileNames, names, nRunsOverride, evalsPerStepLimit, texts),
      run(params, *this, mode == SimulationMode::Visual),
      landscape(params, run.stepClock()),
      fitnessStatsPrinted(statsPrinted) {
    enterMode(mode);
}

Simulation::Simulation(std::vector<std::string>& names, const std::function<void(SimuParameters&)>& setup,
                       bool statsPrinted, SimulationMode mode)
    : params(names),
      run(params, *this, mode == SimulationMode::Visual),
      landscape(applySetup(params, setup), run.stepClock()),
      fitnessStatsPrinted(statsPrinted) {
    enterMode(mode);
}

void Simulation::enterMode(SimulationMode mode) {
    run.setLandscape(landscape);
    // A visual run is stepped by the window and never scored.
    if (mode == SimulationMode::Visual) params.runExternally = false;
}

Simulation::~Simulation() { agents.clear(); }

void Simulation::initRun() {
    landscape.initRun(curRun);
    if (curRun == 0) run.seedStreams(params.startseed, params.searchseed);
    publicMemory = std::make_unique<Memory>(params.maxMemSize, run.stepClock());
    publicMemory->populate(params.initialPublicMemSize, params.nPoints, run.initMemStream(), landscape);
    if (params.groupSize > 1) createGroupMemories();

    for (int i = 0; i < params.nAgents; i++) {
        // Agents beyond the last whole group have no group memory.
        const size_t g = groupsMemory.empty() ? 0 : (size_t)(i / params.groupSize);
        Memory* groupMemory = g < groupsMemory.size() ? groupsMemory[g].get() : nullptr;
        agents.push_back(std::make_unique<Agent>(i, run, publicMemory.get(), groupMemory));
    }
    for (auto& a : agents) a->initRun();

    run.setStep(0);
    countedStepsInRun = 0;
    for (int g = 0; g < kMaxFitnessGroups; g++) {
        countedEvals[g] = 0;
        runFitnessOfGroup[g] = 0.0;
    }
}

void Simulation::createGroupMemories() {
    const int nGroups = params.nAgents / params.groupSize;
    for (int g = 0; g < nGroups; g++)
        groupsMemory.push_back(std::make_unique<Memory>(params.maxMemSize, run.stepClock()));
    for (auto& m : groupsMemory)
        m->populate(params.initialGroupsMemSize, params.nPoints, run.initMemStream(), landscape);
}

void Simulation::executeOneStep() {
    const bool budgetMode = params.evalsPerStepLimit > 0;
    if (budgetMode)
        stepWithBudget();
    else if (params.limitedEvalsFor2Groups)
        stepWithLimitedEvalsMulti();
    else
        stepAllAgents();

    if (run.recordsHistory()) refreshAgentFitness();

    for (BatchObserver* o : observers) o->beforeVisits(*this);
    postStep();

    if (budgetMode) {
        postStepWithBudget();
    } else if (params.limitedEvalsFor2Groups) {
        postStepWithLimitedEvalsMulti();
    } else {
        for (auto& a : agents) a->postStep();
    }

    run.advanceStep();
    if (params.runExternally) accountStepFitness();
}

void Simulation::stepWithBudget() {
    groupActedThisStep[0] = false;
    // Compared as a double: the budget of a long run need not fit an int.
    const double budget = params.evalsPerStepLimit * run.step();
    if (!agents.empty() && countedEvals[0] <= budget) {
        groupActedThisStep[0] = true;
        agents[0]->step(0);
    }
    for (size_t i = 1; i < agents.size(); i++) agents[i]->step(0);
}

void Simulation::postStepWithBudget() {
    if (!agents.empty() && groupActedThisStep[0]) agents[0]->postStep();
    for (size_t i = 1; i < agents.size(); i++) agents[i]->postStep();
}

void Simulation::stepAllAgents() {
    for (int g = 0; g < params.nFitnessGroups; g++) groupActedThisStep[g] = true;
    for (auto& a : agents) {
        for (int s = 1; s <= params.nExtraStrategies; s++) a->step(s);
        a->step(0);
    }
}

void Simulation::accountStepFitness() {
    // Only the last L steps of a run count; the unsigned difference wraps when L exceeds
    // the run's length, and then no step counts.
    if (params.maxTotalSteps - params.lastStepsUsedForFitness >= run.step()) return;
    countedStepsInRun++;

    if (fitnessStatsPrinted) {
        calcStepFitnessForExternalRun2();
    } else if (params.agentsFitnessUseMax) {
        for (int i = params.firstFitnessAgent[0]; i <= params.lastFitnessAgent[0]; i++)
            agents[i]->calcAddToRunFitness(FitTypeMaxInCurStepReal);
    } else {
        double sum = 0.0;
        for (int i = params.firstFitnessAgent[0]; i <= params.lastFitnessAgent[0]; i++)
            sum += agents[i]->calcFitness(FitTypeMaxInCurStepReal);
        // The fixed divisor, not the group's size: intended (see scoring.h).
        totalFitnessForAllRuns[0] += sum / kGroupZeroDivisor;
        runFitnessOfGroup[0] += sum / kGroupZeroDivisor;
    }
}

void Simulation::stepWithLimitedEvalsMulti() {
    const int G = params.nFitnessGroups;
    if (G < 1) return;
    for (int g = 0; g < G; g++) groupActedThisStep[g] = false;
    std::int64_t minNewEvals = INT64_MAX;
    for (int round = 0; round < G; round++) {
        int chosen = -1;
        for (int g = 0; g < G; g++) {
            if (groupActedThisStep[g]) continue;
            if (chosen < 0 || countedEvals[g] < countedEvals[chosen]) chosen = g;
        }
        if (chosen < 0) break;
        groupActedThisStep[chosen] = true;
        for (int i = params.firstFitnessAgent[chosen]; i <= params.lastFitnessAgent[chosen]; i++) agents[i]->step(0);
        if (countedEvals[chosen] < minNewEvals) minNewEvals = countedEvals[chosen];

        std::int64_t minEvals2 = INT64_MAX;
        for (int g = 0; g < G; g++)
            if (!groupActedThisStep[g] && countedEvals[g] < minEvals2) minEvals2 = countedEvals[g];
        if (minEvals2 >= minNewEvals) break;
    }
}

void Simulation::postStepWithLimitedEvalsMulti() {
    for (int g = 0; g < params.nFitnessGroups; g++) {
        if (!groupActedThisStep[g]) continue;
        for (int i = params.firstFitnessAgent[g]; i <= params.lastFitnessAgent[g]; i++) agents[i]->postStep();
    }
}

void Simulation::postStep() {
    landscape.visitQueuedPoints();
    if (publicMemory->hasQueuedPoints()) publicMemory->addQueuedPoints();
    for (auto& m : groupsMemory)
        if (m->hasQueuedPoints()) m->addQueuedPoints();
}

void Simulation::finishRun() {
    agents.clear();
    landscape.finishRun();
    publicMemory.reset();
    groupsMemory.clear();
}

void Simulation::updateFitnessValues() {
    for (auto& a : agents) a->updateFitnessValues();
}

void Simulation::addCountedEvals(int agentId, int numEvals) {
    for (int g = 0; g < params.nFitnessGroups; g++) {
        if (params.firstFitnessAgent[g] <= agentId && agentId <= params.lastFitnessAgent[g]) {
            countedEvals[g] += numEvals;
            return;
        }
    }
}

void Simulation::calcStepFitnessForExternalRun2() {
    if (params.agentsFitnessUseMax) {
        for (int g = 0; g < params.nFitnessGroups; g++) {
            if (!groupActedThisStep[g]) continue;
            for (int i = params.firstFitnessAgent[g]; i <= params.lastFitnessAgent[g]; i++)
                agents[i]->calcAddToRunFitness(FitTypeMaxInCurStepReal);
        }
        return;
    }
    for (int g = 0; g < params.nFitnessGroups; g++) {
        const int size = params.lastFitnessAgent[g] - params.firstFitnessAgent[g] + 1;
        // An empty group has no mean; it contributes nothing and reports 0.
        if (size <= 0) continue;
        double sum = 0.0;
        for (int i = params.firstFitnessAgent[g]; i <= params.lastFitnessAgent[g]; i++)
            sum += agents[i]->calcFitness(FitTypeMaxInCurStepReal);
        const double mean = sum / size;
        totalFitnessForAllRuns[g] += mean;
        runFitnessOfGroup[g] += mean;
    }
}

void Simulation::refreshAgentFitness() {
    for (auto& a : agents) {
        a->calcFitness(FitTypeMaxInPhaseLast);
        a->calcFitness(FitTypeMaxInCurStepReal);
    }
}

void Simulation::accountRunEnd() {
    const unsigned int L = params.lastStepsUsedForFitness;
    // Without statistics only group 0 is scored.
    const int scored = fitnessStatsPrinted ? params.nFitnessGroups : 1;
    for (int g = 0; g < params.nFitnessGroups; g++) {
        double runValue = 0.0;
        if (g < scored && params.agentsFitnessUseMax) {
            double m = 0.0;
            for (int i = params.firstFitnessAgent[g]; i <= params.lastFitnessAgent[g]; i++) {
                const double f = agents[i]->getTotalRunFitness();
                if (f > m) m = f;
            }
            totalFitnessForAllRuns[g] += m;
            runValue = m / L;
        } else if (g < scored) {
            runValue = runFitnessOfGroup[g] / L;
        }
        fitnessForRuns[g].push_back(runValue);
    }
}

void Simulation::runBatch() {
    for (int g = 0; g < params.nFitnessGroups; g++) fitnessForRuns[g].reserve(params.nRuns);

    progressStart = std::chrono::steady_clock::now();
    progressShown = false;
    mostCountedSteps = 0;
    for (curRun = 0; curRun < params.nRuns; curRun++) {
        initRun();
        // An evaluation budget, when set, ends the run instead of the step count.
        while (params.maxTotalEvals > 0 ? countedEvals[0] < params.maxTotalEvals : run.step() < params.maxTotalSteps) {
            executeOneStep();
            for (BatchObserver* o : observers) o->afterStep(*this);
            showProgress(false);
        }
        accountRunEnd();
        mostCountedSteps = std::max(mostCountedSteps, countedStepsInRun);
        for (BatchObserver* o : observers) o->afterRun(*this);
        finishRun();
    }
    clearProgress();
}

double Simulation::groupAverage(int g) const {
    const unsigned int denom = params.lastStepsUsedForFitness * params.nRuns;
    return totalFitnessForAllRuns[g] / denom;
}

double Simulation::groupDeviation(int g) const {
    const double avg = groupAverage(g);
    double sq = 0.0;
    for (unsigned int r = 0; r < params.nRuns && r < fitnessForRuns[g].size(); r++) {
        const double d = fitnessForRuns[g][r] - avg;
        sq += d * d;
    }
    return std::sqrt(sq / params.nRuns);
}

std::string Simulation::formatReport() const {
    std::string out;
    char buf[64];
    for (int g = 0; g < params.nFitnessGroups; g++) {
        snprintf(buf, sizeof buf, "%.6f ", groupAverage(g));
        out += buf;
    }
    out += "\n";
    if (!fitnessStatsPrinted) return out;

    for (int g = 0; g < params.nFitnessGroups; g++) {
        snprintf(buf, sizeof buf, "%.6f ", groupDeviation(g));
        out += buf;
    }
    out += "\n";
    for (unsigned int r = 0; r < params.nRuns; r++) {
        for (int g = 0; g < params.nFitnessGroups; g++) {
            const double v = r < fitnessForRuns[g].size() ? fitnessForRuns[g][r] : 0.0;
            snprintf(buf, sizeof buf, "%.6f ", v);
            out += buf;
        }
        out += "\n";
    }
    return out;
}

const std::vector<double>& Simulation::getChosenAgentFitnessValues() const {
    static const std::vector<double> empty;
    if (chosenAgentId < 0 || chosenAgentId >= (int)agents.size()) return empty;
    return agents[chosenAgentId]->getFitnessValues();
}

void Simulation::printNNStrategyActionProbs(int agentId, int outputId, std::vector<double> stateInputs) {
    if (!params.usingNNStrategy) {
        fprintf(stderr, "Error: Not using NN strategy!\n");
        return;
    }
    if (agentId < 0 || agentId >= params.nAgents)
        NK_FATAL(Usage, "Agent id %d out of range: the configuration has agents 0 to %d\n", agentId,
                 params.nAgents - 1);
    initRun();
    agents[agentId]->printNNStrategyActionProbs(outputId, std::move(stateInputs));
}

// --- progress line ---------------------------------------------------------------------

void Simulation::showProgress(bool force) {
    static const bool onTerminal = isatty(fileno(stderr));
    if (!onTerminal || !progressLine) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastProgress < std::chrono::milliseconds(250)) return;
    lastProgress = now;
    const double elapsed = std::chrono::duration<double>(now - progressStart).count();
    if (!force && elapsed < 1.0) return;  // short runs stay silent
    double done = 0.0;
    if (params.nRuns > 0) {
        double within = 0.0;
        if (params.maxTotalEvals > 0)
            within = std::min(1.0, (double)countedEvals[0] / params.maxTotalEvals);
        else if (params.maxTotalSteps > 0)
            within = std::min(1.0, (double)run.step() / params.maxTotalSteps);
        done = (curRun + within) / params.nRuns;
    }
    const double left = done > 0 ? elapsed * (1.0 - done) / done : 0.0;
    fprintf(stderr, "\r\033[Krun %u/%u  step %u  elapsed %.0fs  left ~%.0fs", curRun + 1, params.nRuns, run.step(),
            elapsed, left);
    fflush(stderr);
    progressShown = true;
}

void Simulation::clearProgress() {
    if (!progressShown) return;
    fprintf(stderr, "\r\033[K");
    fflush(stderr);
    progressShown = false;
}
