// Program entry: turns the command line into one Simulation and runs one driver.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "constants.h"
#include "simulation.h"
#include "version.h"

namespace {

void printUsage(const char* prog) {
    printf("Usage: %s <sim.cfg.file> [--extra-cfg <sim.cfg.file-extra>] [--visual-rect | --visual-spherical "
           "[--follow]]\n",
           prog);
}

// Switches are matched exactly; a missing word never matches.
bool is(int argc, char** argv, int i, const char* word) { return i < argc && strcmp(argv[i], word) == 0; }

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> simuCfgFileNames;
    std::vector<std::string> comparedStrategyNames;
    int nRunsOverride = 0;
    VisualizationType visType = VisTypeNone;
    int argi = 2;
    bool fitnessStatsPrinted = false;
    double evalsPerStepLimit = 0.0;
    long startingPoint = 0;
    int startSeed = -1;
    bool followAgent = false;
    FollowMode followAgentMode = FollowModeFixedAgent;

    if (argc < 2) {
        printUsage(argv[0]);
        return 0;
    }
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        printUsage(argv[0]);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf("nkswarm %s\n", NK_VERSION);
        return 0;
    }

    simuCfgFileNames.push_back(argv[1]);
    if (argc > 3) {
        bool skip = false;
        if (is(argc, argv, 2, "--num-runs")) {
            sscanf(argv[3], "%d", &nRunsOverride);
            argi = 4;
            if (argc <= 5) skip = true;
        }
        if (!skip) {
            if (is(argc, argv, argi, "--extra-cfg")) {
                simuCfgFileNames.push_back(argv[argi + 1]);
                argi += 2;
            }
            if (argc > argi + 5 && is(argc, argv, argi, "--compare-strategies")) {
                comparedStrategyNames.push_back(argv[argi + 1]);
                simuCfgFileNames.push_back(argv[argi + 2]);
                comparedStrategyNames.push_back(argv[argi + 3]);
                if (strcmp(argv[argi + 4], "0") != 0) {
                    simuCfgFileNames.push_back(argv[argi + 4]);
                    comparedStrategyNames.push_back(argv[argi + 5]);
                }
                argi += 6;
            }
        }
    }
    if (is(argc, argv, argi, "--print-stats")) {
        fitnessStatsPrinted = true;
        argi += 1;
    }
    if (argc > argi + 1 && is(argc, argv, argi, "--step-evals")) {
        sscanf(argv[argi + 1], "%lf", &evalsPerStepLimit);
        argi += 2;
    }

    Simulation simu(simuCfgFileNames, comparedStrategyNames, nRunsOverride, fitnessStatsPrinted, evalsPerStepLimit);

    if (argi < argc) {
        if (is(argc, argv, argi, "--visual-rect")) {
            visType = VisTypeTerrain;
        } else if (is(argc, argv, argi, "--visual-spherical")) {
            visType = VisTypeSphericalPolar;
            if (argi + 1 >= argc) {
                argi += 1;
            } else {
                const char* next = argv[argi + 1];
                if (strcmp(next, "--follow") == 0) {
                    followAgent = true;
                    followAgentMode = FollowModeFixedAgent;
                } else if (strcmp(next, "--follow2") == 0) {
                    followAgent = true;
                    followAgentMode = FollowModeMovingAgent;
                } else if (strcmp(next, "--follow3") == 0) {
                    followAgent = true;
                    followAgentMode = FollowModeFixedAgentSearchStart;
                } else {
                    sscanf(next, "%ld", &startingPoint);
                }
                argi += 2;
                if (argi < argc) sscanf(argv[argi], "%d", &startSeed);
            }
        }
    }

    if (argc > argi + 3 && is(argc, argv, argi, "--print-action-probs")) {
        int agentId = -1;
        int outputId = -1;
        sscanf(argv[argi + 1], "%d", &agentId);
        sscanf(argv[argi + 2], "%d", &outputId);
        std::vector<double> stateInputs;
        for (int i = argi + 3; i < argc; i++) {
            double v;
            if (sscanf(argv[i], "%lf", &v) != 1) break;
            stateInputs.push_back(v);
        }
        simu.printNNStrategyActionProbs(agentId, outputId, stateInputs);
    } else if (visType != VisTypeNone) {
#ifdef NK_HAVE_VISUAL
        return simu.executeVisualized(argc, argv, visType, startingPoint, startSeed, followAgent, followAgentMode);
#else
        (void)startingPoint;
        (void)startSeed;
        (void)followAgent;
        (void)followAgentMode;
        fprintf(stderr,
                "Visual mode is not built into this program: install Qt 5 and VTK 9 (scripts/install-deps.sh "
                "--visual) and rebuild.\n");
        return 1;
#endif
    } else {
        simu.execute();
    }
    return 0;
}
