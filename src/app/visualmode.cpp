// Visual mode inside nkswarm-visual: the visual driver shows the run.
#include "visualmode.h"

#include "visualdriver.h"

int runVisualMode(Simulation& simu, int argc, char** argv, const VisualOptions& options) {
    return runVisualized(simu, argc, argv, options.visType, options.startingPoint, options.startSeed,
                         options.followAgent, options.followAgentMode);
}
