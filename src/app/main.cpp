// Program entry: turns the command line into one Simulation and runs one driver.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "constants.h"
#include "simulation.h"
#include "version.h"
#include "visualmode.h"

namespace {

void printUsage(const char* prog) {
    printf(
        "Usage: %s <sim.cfg.file> [--extra-cfg <sim.cfg.file-extra>] [--visual-rect | --visual-spherical "
        "[--follow]]\n",
        prog);
}

// Switches are matched exactly; a missing word never matches.
bool is(int argc, char** argv, int i, const char* word) { return i < argc && strcmp(argv[i], word) == 0; }

// Numbers are read as "%ld", "%d" and "%lf" read them (leading blanks, a sign, then digits;
// trailing text ignored), but a value that does not fit, or is not finite, does not
// convert and leaves the variable as it was; sscanf's behaviour there is undefined.
bool parseLong(const char* text, long* value) {
    char* end;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (end == text || errno == ERANGE) return false;
    *value = v;
    return true;
}

bool parseInt(const char* text, int* value) {
    long v;
    if (!parseLong(text, &v) || v < INT_MIN || v > INT_MAX) return false;
    *value = static_cast<int>(v);
    return true;
}

bool parseDouble(const char* text, double* value) {
    char* end;
    double v = strtod(text, &end);
    if (end == text || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

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

    // A caller may start the program with no words at all, not even its name.
    const char* progName = argc > 0 && argv[0] ? argv[0] : "nkswarm";
    if (argc < 2) {
        printUsage(progName);
        return 0;
    }
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        printUsage(progName);
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
            parseInt(argv[3], &nRunsOverride);
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
        parseDouble(argv[argi + 1], &evalsPerStepLimit);
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
                    parseLong(next, &startingPoint);
                }
                argi += 2;
                if (argi < argc) parseInt(argv[argi], &startSeed);
            }
        }
    }

    if (argc > argi + 3 && is(argc, argv, argi, "--print-action-probs")) {
        int agentId = -1;
        int outputId = -1;
        parseInt(argv[argi + 1], &agentId);
        parseInt(argv[argi + 2], &outputId);
        std::vector<double> stateInputs;
        for (int i = argi + 3; i < argc; i++) {
            double v;
            if (!parseDouble(argv[i], &v)) break;
            stateInputs.push_back(v);
        }
        simu.printNNStrategyActionProbs(agentId, outputId, stateInputs);
    } else if (visType != VisTypeNone) {
        return runVisualMode(simu, argc, argv, {visType, startingPoint, startSeed, followAgent, followAgentMode});
    } else {
        simu.execute();
    }
    return 0;
}
