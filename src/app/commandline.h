// The command line of nkswarm, parsed by its positional rules into one record.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
    // What the program is asked to do.
    enum class Request { Run, Usage, Help, Version, Keywords };
    enum class Visual { None, Rect, Spherical };
    enum class Follow { FixedAgent, MovingAgent, FixedAgentSearchStart };
    enum class Report { Plain, Json, Csv };

    Request request = Request::Run;
    const char* programName = "nkswarm";
    std::vector<std::string> simuCfgFileNames;
    std::vector<std::string> comparedStrategyNames;
    int nRunsOverride = 0;
    bool fitnessStatsPrinted = false;
    double evalsPerStepLimit = 0.0;

    Visual visual = Visual::None;
    long startingPoint = 0;
    int startSeed = -1;
    bool followAgent = false;
    Follow followMode = Follow::FixedAgent;

    bool actionProbs = false;
    int agentId = -1;
    int outputId = -1;
    std::vector<double> stateInputs;

    // Result options, which may stand anywhere: the per-step series of a batch, the form of
    // its report, and the effective configuration written back.
    std::string seriesFile;
    Report report = Report::Plain;
    std::string dumpConfigFile;
    // The per-agent trajectories, every agentsEvery-th step.
    std::string agentsFile;
    unsigned int agentsEvery = 1;
    // Worker threads for the runs (0: one per core), and --only-runs A-B (from 0, inclusive).
    unsigned int threads = 1;
    bool onlyRuns = false;
    unsigned int onlyFirst = 0, onlyLast = 0;
    // A result option without a valid value, or given twice; the program stops with it.
    std::string error;

    // One line each for arguments the rules leave unused and values that do not convert, or
    // convert only in part (what is used then).
    std::vector<std::string> warnings;
    // The whole command line, for the window toolkit.
    int argc = 0;
    char** argv = nullptr;
};

// Options are recognised only in their documented order and positions; nothing else is
// taken, but every argument left over gets a warning. The result options (--series, --report,
// --dump-config, --agents, --agents-every, --threads, --only-runs) are taken out first, wherever
// they stand.
CommandLine parseCommandLine(int argc, char** argv);

// The short usage line (no arguments) and the full help (--help).
void printUsage(const char* programName);
void printHelp(const char* programName);
