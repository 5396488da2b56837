// The simulation: parameters, landscape, memories and agents, and the run driver.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "constants.h"
#include "landscape.h"
#include "memory.h"
#include "params.h"

class Agent;

class Simulation {
public:
    SimuParameters params;
    Landscape landscape;
    std::vector<Agent*> agents;
    unsigned int curRun = 0;
    unsigned int curStep = 0;
    std::int64_t countedEvals[10] = {};  // a long run counts past 2^31
    bool visualizationOn = false;
    Memory* publicMemory = nullptr;
    std::vector<Memory*>* groupsMemory = nullptr;
    unsigned short initMemRandomState[3] = {};
    unsigned short searchRandomState[3] = {};
    int chosenAgentId = 0;
    double totalFitnessForAllRuns[10] = {};
    bool groupActedThisStep[10] = {};
    std::vector<double> fitnessForRuns[10];
    bool fitnessStatsPrinted;

    static const MemType actionMemTypeMapS1[StrategyTypeNum][4];
    static const MemType actionMemTypeMapS2[StrategyTypeNum][4];

    Simulation(const std::vector<std::string>& simuCfgFileNames, std::vector<std::string>& comparedStrategyNames,
               int nRunsOverride, bool fitnessStatsPrinted, double evalsPerStepLimit);
    // Builds a simulation without configuration files: `setup` fills the default parameters
    // before the landscape is made. For tests and tools.
    Simulation(std::vector<std::string>& comparedStrategyNames, const std::function<void(SimuParameters&)>& setup,
               bool fitnessStatsPrinted = false);
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    void execute();
    int executeVisualized(int argc, char** argv, VisualizationType visType, long startingPoint, int startSeed,
                          bool followAgent, FollowMode followAgentMode);
    void initRun();
    void executeOneStep();
    void stepWithLimitedEvalsMulti();
    void postStep();
    void finishRun();
    void updateFitnessValues();

    void addCountedEvals(int agentId, int numEvals);
    void calcStepFitnessForExternalRun2();
    void printFitness(bool onlyCompute);
    // The batch report: averages, and with statistics the deviations and per-run values.
    std::string formatReport() const;

    // Runs the network scoring of one agent for given state values; no step is made.
    void printNNStrategyActionProbs(int agentId, int outputId, std::vector<double> stateInputs);

    void setChosenAgent(int id) { chosenAgentId = id; }
    int getChosenAgent() const { return chosenAgentId; }
    unsigned int getCurrentStep() const { return curStep; }
    unsigned int getCurrentRun() const { return curRun; }
    const SimuParameters& getParameters() const { return params; }
    Landscape& getLandscape() { return landscape; }
    const std::vector<Agent*>& getAgents() const { return agents; }
    const Memory* getPublicMemory() const { return publicMemory; }
    bool isVisualizationOn() const { return visualizationOn; }
    const std::vector<double>& getChosenAgentFitnessValues(int i) const;

    // Strategy evaluation helpers shared by every decision.
    static double computeNNOutput4Inputs(const NeuralNet& nn, double v0, double v1, double v2, double v3,
                                         int outputIndex);
    static double computeNNOutput5Inputs(const NeuralNet& nn, double v0, double v1, double v2, double v3, double v4,
                                         int outputIndex);
    static double computeNNOutput6Inputs(const NeuralNet& nn, double v0, double v1, double v2, double v3, double v4,
                                         double v5, int outputIndex);
    static void normalizeProbabilities(int n, double* probs);
    static int rouletteWheelSelection(int n, const double* probs, unsigned short* seed);

private:
    // Per-group sum of the counted steps' group means in the current run (statistics
    // without agentsFitnessUseMax).
    double runFitnessOfGroup[10] = {};
    std::chrono::steady_clock::time_point progressStart, lastProgress;
    bool progressShown = false;

    // End-of-run fitness accounting, before finishRun().
    void accountRunEnd();
    // Progress line on a terminal's standard error; silent otherwise.
    void showProgress(bool force);
    void clearProgress();
};
