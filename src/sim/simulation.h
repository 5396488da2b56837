// The simulation: a run's world (parameters, landscape, memories, agents) and its stepping
// modes. A BatchRunner runs a batch of it, and a Scorer scores it.
#pragma once

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
    Simulation(const std::vector<std::string>& simuCfgFileNames, const std::vector<std::string>& comparedStrategyNames,
               int nRunsOverride, double evalsPerStepLimit, const ConfigTexts& texts = {},
               SimulationMode mode = SimulationMode::Batch);
    // Builds a simulation without configuration files: `setup` fills the default parameters
    // before the landscape is made. For tests and tools.
    Simulation(const std::vector<std::string>& comparedStrategyNames, const std::function<void(SimuParameters&)>& setup,
               SimulationMode mode = SimulationMode::Batch);
    // A world of its own for a batch's worker thread: the settings of `other`, read once.
    struct WorkerWorld {};
    Simulation(const Simulation& other, WorkerWorld);
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    // Builds run `runIndex`'s memories and agents; the first run seeds the random streams.
    void initRun(unsigned int runIndex = 0);
    // Whether the run goes on: its step count, or an evaluation budget when one is set.
    bool runGoesOn() const;
    // One step of every agent the stepping mode lets act; `observers` see the agents moved
    // before their visits are recorded.
    void executeOneStep(const std::vector<BatchObserver*>& observers = {});
    void finishRun();
    void updateFitnessValues();

    void addCountedEvals(int agentId, int numEvals) override;
    // Visual mode: every agent's shown fitness values, computed again after its move.
    void refreshAgentFitness();

    void setChosenAgent(int id) { chosenAgentId = id; }
    int getChosenAgent() const { return chosenAgentId; }
    unsigned int getCurrentStep() const { return run.step(); }
    unsigned int getCurrentRun() const { return curRun; }
    // The visual driver starts its one run from a seed of the command line.
    void setStartSeed(int seed) { params.startseed = seed; }
    const SimuParameters& getParameters() const { return params; }
    Landscape& getLandscape() { return landscape; }
    const Landscape& getLandscape() const { return landscape; }
    const std::vector<std::unique_ptr<Agent>>& getAgents() const { return agents; }
    const Memory* getPublicMemory() const { return publicMemory.get(); }
    // Evaluations fitness group g has made in the current run.
    std::int64_t getCountedEvals(int g) const { return countedEvals[g]; }
    // Whether fitness group g took part in the last step (the stepping modes may skip groups).
    bool groupActed(int g) const { return groupActedThisStep[g]; }
    bool isVisualizationOn() const { return run.recordsHistory(); }
    // The agents' view of the run (tests step agents and searches through it).
    RunContext& context() { return run; }
    const std::vector<double>& getChosenAgentFitnessValues() const;

private:
    SimuParameters params;
    // What the agents use of the run: declared before the landscape, which reads its step.
    RunContext run;
    Landscape landscape;
    std::vector<std::unique_ptr<Agent>> agents;
    unsigned int curRun = 0;
    std::int64_t countedEvals[kMaxFitnessGroups] = {};  // a long run counts past 2^31
    std::unique_ptr<Memory> publicMemory;
    std::vector<std::unique_ptr<Memory>> groupsMemory;  // one per group; empty without groups
    int chosenAgentId = 0;
    bool groupActedThisStep[kMaxFitnessGroups] = {};

    // The agent steps and post-steps of one step, one pair per stepping mode: a per-step
    // evaluation budget for agent 0, group turns, or every agent with its compared strategies.
    void stepWithBudget();
    void postStepWithBudget();
    void stepWithLimitedEvalsMulti();
    void postStepWithLimitedEvalsMulti();
    void stepAllAgents();
    void postStep();
    void createGroupMemories();
    void enterMode(SimulationMode mode);
};
