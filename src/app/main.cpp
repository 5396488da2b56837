// Program entry: parses the command line, builds one Simulation and runs one driver.
#include <cstdio>

#include "commandline.h"
#include "keywords.h"
#include "runheap.h"
#include "simulation.h"
#include "version.h"
#include "visualmode.h"

namespace {

void printWarnings(const CommandLine& cl) {
    for (const std::string& warning : cl.warnings) fprintf(stderr, "warning: %s\n", warning.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine cl = parseCommandLine(argc, argv);
    switch (cl.request) {
        case CommandLine::Request::Usage:
            printUsage(cl.programName);
            return 0;
        case CommandLine::Request::Help:
            printHelp(cl.programName);
            return 0;
        case CommandLine::Request::Version:
            printf("nkswarm %s\n", NK_VERSION);
            return 0;
        case CommandLine::Request::Keywords:
            printKeywordTable(stdout);
            return 0;
        case CommandLine::Request::Run:
            break;
    }
#ifndef NK_VISUAL_PROGRAM
    // The window lives in nkswarm-visual, so that batch runs do not load Qt and VTK.
    const std::string noVisualMode = cl.visual != CommandLine::Visual::None ? launchVisualProgram(cl.argv) : "";
#endif
    printWarnings(cl);
    reserveRunHeap();

    // All configuration reading and checking happens here, before any visual or probability option counts.
    std::vector<std::string> comparedStrategyNames = cl.comparedStrategyNames;
    Simulation simu(cl.simuCfgFileNames, comparedStrategyNames, cl.nRunsOverride, cl.fitnessStatsPrinted,
                    cl.evalsPerStepLimit);
    if (cl.actionProbs) {
        simu.printNNStrategyActionProbs(cl.agentId, cl.outputId, cl.stateInputs);
    } else if (cl.visual != CommandLine::Visual::None) {
#ifdef NK_VISUAL_PROGRAM
        return runVisualMode(simu, cl);
#else
        fprintf(stderr, "%s\n", noVisualMode.c_str());
        return 1;
#endif
    } else {
        simu.execute();
    }
    return 0;
}
