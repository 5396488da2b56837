// The simulation: parameters, landscape, memories and agents, and the run driver.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "batchobserver.h"
#include "constants.h"
#include "evalcounter.h"
#include "landscape.h"
#include "memory.h"
#include "params.h"
#include "runcontext.h"

class Agent;

// Batch: the runs are scored and reported. Visual: one run shown step by step, each agent
// keeping its path, nothing scored.
enum class SimulationMode { Batch, Visual };

class Simulation : public EvalCounter {
public:
    SimuParameters params;

private:
    // What the agents use of the run: declared before the landscape, which reads its step.
    RunContext run;

public:
    Landscape landscape;
    std::vector<std::unique_ptr<Agent>> agents;
    unsigned int curRun = 0;
    std::int64_t countedEvals[kMaxFitnessGroups] = {};  // a long run counts past 2^31
    std::unique_ptr<Memory> publicMemory;
    std::vector<std::unique_ptr<Memory>> groupsMemory;  // one per group; empty without groups
    int chosenAgentId = 0;
    double totalFitnessForAllRuns[kMaxFitnessGroups] = {};
    bool groupActedThisStep[kMaxFitnessGroups] = {};
    // Per fitness group, each run's value (its share of the average line; 0 for a group that is
    // not scored), recorded with and without statistics.
    std::vector<double> fitnessForRuns[kMaxFitnessGroups];
    bool fitnessStatsPrinted;
    // Told of every step and run of a batch; they read, never change, the simulation.
    std::vector<BatchObserver*> observers;
    // The progress line on a terminal's standard error; off where runs share the terminal.
    bool progressLine = true;

    Simulation(const std::vector<std::string>& simuCfgFileNames, std::vector<std::string>& comparedStrategyNames,
               int nRunsOverride, bool fitnessStatsPrinted, double evalsPerStepLimit, const ConfigTexts& texts = {},
               SimulationMode mode = SimulationMode::Batch);
    // Builds a simulation without configuration files: `setup` fills the default parameters
    // before the landscape is made. For tests and tools.
    Simulation(std::vector<std::string>& comparedStrategyNames, const std::function<void(SimuParameters&)>& setup,
               bool fitnessStatsPrinted = false, SimulationMode mode = SimulationMode::Batch);
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    // All runs of the batch, without the report.
    void runBatch();
    void initRun();
    void executeOneStep();
    void stepWithLimitedEvalsMulti();
    void postStep();
    void finishRun();
    void updateFitnessValues();

    void addCountedEvals(int agentId, int numEvals) override;
    void calcStepFitnessForExternalRun2();
    // Visual mode: every agent's shown fitness values, computed again after its move.
    void refreshAgentFitness();
    // The batch report: averages, and with statistics the deviations and per-run values.
    std::string formatReport() const;
    // A group's average over the runs (the report's first line) and the population standard
    // deviation of its run values (divided by the number of runs).
    double groupAverage(int g) const;
    double groupDeviation(int g) const;
    // Steps of the current run that were scored so far.
    unsigned int getCountedStepsInRun() const { return countedStepsInRun; }
    // The most steps any run of the last batch scored: more than lastStepsUsedForFitness when
    // an evaluation budget ran past maxTotalSteps.
    unsigned int getMostCountedSteps() const { return mostCountedSteps; }

    // Runs the network scoring of one agent for given state values; no step is made.
    void printNNStrategyActionProbs(int agentId, int outputId, std::vector<double> stateInputs);

    void setChosenAgent(int id) { chosenAgentId = id; }
    int getChosenAgent() const { return chosenAgentId; }
    unsigned int getCurrentStep() const { return run.step(); }
    unsigned int getCurrentRun() const { return curRun; }
    const SimuParameters& getParameters() const { return params; }
    Landscape& getLandscape() { return landscape; }
    const std::vector<std::unique_ptr<Agent>>& getAgents() const { return agents; }
    const Memory* getPublicMemory() const { return publicMemory.get(); }
    bool isVisualizationOn() const { return run.recordsHistory(); }
    // The agents' view of the run (tests step agents and searches through it).
    RunContext& context() { return run; }
    const std::vector<double>& getChosenAgentFitnessValues() const;

private:
    // Per group, what the counted steps of the current run added to its total without
    // agentsFitnessUseMax (group means with statistics, group 0's sum / 11 without).
    double runFitnessOfGroup[kMaxFitnessGroups] = {};
    unsigned int countedStepsInRun = 0;
    unsigned int mostCountedSteps = 0;
    std::chrono::steady_clock::time_point progressStart, lastProgress;
    bool progressShown = false;

    // The agent steps and post-steps of one step, one pair per stepping mode: a per-step
    // evaluation budget for agent 0, group turns, or every agent with its compared strategies.
    void stepWithBudget();
    void postStepWithBudget();
    void postStepWithLimitedEvalsMulti();
    void stepAllAgents();
    // The step's share of the run fitness (external runs only).
    void accountStepFitness();
    void createGroupMemories();
    // End-of-run fitness accounting, before finishRun().
    void accountRunEnd();
    // Progress line on a terminal's standard error; silent otherwise.
    void showProgress(bool force);
    void enterMode(SimulationMode mode);
    void clearProgress();
};
