// Visual mode inside nkswarm-visual: the visual driver shows the run.
#include "visualmode.h"

#include "visualdriver.h"

int runVisualMode(Simulation& simu, const CommandLine& options) {
    const VisualizationType type = options.visual == CommandLine::Visual::Rect ? VisTypeTerrain : VisTypeSphericalPolar;
    static const FollowMode modes[] = {FollowModeFixedAgent, FollowModeMovingAgent, FollowModeFixedAgentSearchStart};
    return runVisualized(simu, options.argc, options.argv, type, options.startingPoint, options.startSeed,
                         options.followAgent, modes[static_cast<int>(options.followMode)]);
}
