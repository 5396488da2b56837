// A run's world and its steps: memories and agents per run, the stepping modes, the
// evaluation counts.
#include "simulation.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "agent.h"
#include "rng.h"
#include "util.h"

namespace {
// Applies `setup` to the freshly defaulted parameters and hands them on, so that the
// landscape (built next) sees the final values.
SimuParameters& applySetup(SimuParameters& p, const std::function<void(SimuParameters&)>& setup) {
    setup(p);
    return p;
}
}  // namespace

Simulation::Simulation(const std::vector<std::string>& simuCfgFileNames, const std::vector<std::string>& names,
                       int nRunsOverride, double evalsPerStepLimit, const ConfigTexts& texts, SimulationMode mode)
    : params(simuCfgFileNames, names, nRunsOverride, evalsPerStepLimit, texts),
      run(params, *this, mode == SimulationMode::Visual),
      landscape(params, run.stepClock()) {
    enterMode(mode);
}

Simulation::Simulation(const std::vector<std::string>& names, const std::function<void(SimuParameters&)>& setup,
                       SimulationMode mode)
    : params(names),
      run(params, *this, mode == SimulationMode::Visual),
      landscape(applySetup(params, setup), run.stepClock()) {
    enterMode(mode);
}

Simulation::Simulation(const Simulation& other, WorkerWorld)
    : params(other.params, SimuParameters::ForWorker{}), run(params, *this, false), landscape(params, run.stepClock()) {
    enterMode(SimulationMode::Batch);
}

void Simulation::enterMode(SimulationMode mode) {
    run.setLandscape(landscape);
    // A visual run is stepped by the window and never scored.
    if (mode == SimulationMode::Visual) params.runExternally = false;
}

Simulation::~Simulation() { agents.clear(); }

void Simulation::initRun(unsigned int runIndex) {
    curRun = runIndex;
    landscape.initRun(curRun);
    if (params.runSeeding == kRunSeedingIndependent)
        run.seedStreamsForRun(params.startseed, params.searchseed, curRun);
    else if (curRun == 0)
        run.seedStreams(params.startseed, params.searchseed);
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
    for (std::int64_t& evals : countedEvals) evals = 0;
}

void Simulation::createGroupMemories() {
    const int nGroups = params.nAgents / params.groupSize;
    for (int g = 0; g < nGroups; g++)
        groupsMemory.push_back(std::make_unique<Memory>(params.maxMemSize, run.stepClock()));
    for (auto& m : groupsMemory)
        m->populate(params.initialGroupsMemSize, params.nPoints, run.initMemStream(), landscape);
}

bool Simulation::runGoesOn() const {
    return params.maxTotalEvals > 0 ? countedEvals[0] < params.maxTotalEvals : run.step() < params.maxTotalSteps;
}

void Simulation::executeOneStep(const std::vector<BatchObserver*>& observers) {
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

void Simulation::refreshAgentFitness() {
    for (auto& a : agents) {
        a->calcFitness(FitTypeMaxInPhaseLast);
        a->calcFitness(FitTypeMaxInCurStepReal);
    }
}

const std::vector<double>& Simulation::getChosenAgentFitnessValues() const {
    static const std::vector<double> empty;
    if (chosenAgentId < 0 || chosenAgentId >= (int)agents.size()) return empty;
    return agents[chosenAgentId]->getFitnessValues();
}
