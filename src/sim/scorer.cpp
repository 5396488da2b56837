// Fitness accounting per scored step and per run, and the batch report's numbers.
#include "scorer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "agent.h"
#include "scoring.h"
#include "simulation.h"

bool Scorer::scoresStep(const SimuParameters& params, unsigned int step) {
    // Only the last L steps of a run count; the unsigned difference wraps when L exceeds
    // the run's length, and then no step counts.
    if (params.maxTotalSteps - params.lastStepsUsedForFitness >= step) return false;
    return true;
}

void Scorer::startRun() {
    countedSteps = 0;
    for (double& f : runFitnessOfGroup) f = 0.0;
}

void Scorer::accountStep(const Simulation& sim) {
    const std::vector<std::unique_ptr<Agent>>& agents = sim.getAgents();
    const unsigned int step = sim.getCurrentStep();
    if (!scoresStep(params, step)) return;
    countedSteps++;

    if (statsPrinted_) {
        accountGroupMeans(sim);
    } else if (params.agentsFitnessUseMax) {
        for (int i = params.firstFitnessAgent[0]; i <= params.lastFitnessAgent[0]; i++)
            agents[i]->calcAddToRunFitness(FitTypeMaxInCurStepReal);
    } else {
        double sum = 0.0;
        for (int i = params.firstFitnessAgent[0]; i <= params.lastFitnessAgent[0]; i++)
            sum += agents[i]->calcFitness(FitTypeMaxInCurStepReal);
        // The fixed divisor, not the group's size: intended (see scoring.h).
        addToTotal(0, sum / kGroupZeroDivisor);
        runFitnessOfGroup[0] += sum / kGroupZeroDivisor;
    }
}

// With statistics every group is scored: its best agent's sum (added at the run's end), or
// its mean per step.
void Scorer::accountGroupMeans(const Simulation& sim) {
    const std::vector<std::unique_ptr<Agent>>& agents = sim.getAgents();
    if (params.agentsFitnessUseMax) {
        for (int g = 0; g < params.nFitnessGroups; g++) {
            if (!sim.groupActed(g)) continue;
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
        addToTotal(g, mean);
        runFitnessOfGroup[g] += mean;
    }
}

void Scorer::accountRunEnd(const Simulation& sim) {
    const std::vector<std::unique_ptr<Agent>>& agents = sim.getAgents();
    const unsigned int L = params.lastStepsUsedForFitness;
    // Without statistics only group 0 is scored.
    const int scored = statsPrinted_ ? params.nFitnessGroups : 1;
    for (int g = 0; g < params.nFitnessGroups; g++) {
        double runValue = 0.0;
        if (g < scored && params.agentsFitnessUseMax) {
            double m = 0.0;
            for (int i = params.firstFitnessAgent[g]; i <= params.lastFitnessAgent[g]; i++) {
                const double f = agents[i]->getTotalRunFitness();
                if (f > m) m = f;
            }
            addToTotal(g, m);
            runValue = m / L;
        } else if (g < scored) {
            runValue = runFitnessOfGroup[g] / L;
        }
        if (fitnessForRuns[g].empty()) fitnessForRuns[g].reserve(runCount_);
        fitnessForRuns[g].push_back(runValue);
    }
    mostCounted = std::max(mostCounted, countedSteps);
}

void Scorer::mergeRun(const Scorer& run) {
    for (int g = 0; g < params.nFitnessGroups; g++) {
        for (double value : run.additions[g]) totalFitnessForAllRuns[g] += value;
        if (fitnessForRuns[g].empty()) fitnessForRuns[g].reserve(runCount_);
        fitnessForRuns[g].insert(fitnessForRuns[g].end(), run.fitnessForRuns[g].begin(), run.fitnessForRuns[g].end());
    }
    countedSteps = run.countedSteps;
    mostCounted = std::max(mostCounted, run.mostCounted);
}

double Scorer::groupAverage(int g) const {
    const unsigned int denom = params.lastStepsUsedForFitness * runCount_;
    return totalFitnessForAllRuns[g] / denom;
}

double Scorer::groupDeviation(int g) const {
    const double avg = groupAverage(g);
    double sq = 0.0;
    for (unsigned int r = 0; r < runCount_ && r < fitnessForRuns[g].size(); r++) {
        const double d = fitnessForRuns[g][r] - avg;
        sq += d * d;
    }
    return std::sqrt(sq / runCount_);
}

std::string Scorer::formatReport() const {
    std::string out;
    char buf[64];
    for (int g = 0; g < params.nFitnessGroups; g++) {
        snprintf(buf, sizeof buf, "%.6f ", groupAverage(g));
        out += buf;
    }
    out += "\n";
    if (!statsPrinted_) return out;

    for (int g = 0; g < params.nFitnessGroups; g++) {
        snprintf(buf, sizeof buf, "%.6f ", groupDeviation(g));
        out += buf;
    }
    out += "\n";
    for (unsigned int r = 0; r < runCount_; r++) {
        for (int g = 0; g < params.nFitnessGroups; g++) {
            const double v = r < fitnessForRuns[g].size() ? fitnessForRuns[g][r] : 0.0;
            snprintf(buf, sizeof buf, "%.6f ", v);
            out += buf;
        }
        out += "\n";
    }
    return out;
}
