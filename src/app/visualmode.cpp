// Starting visual mode, or saying why it cannot start.
#include "visualmode.h"

#include <cstdio>

#include "simulation.h"

int runVisualMode(Simulation& simu, const CommandLine& options) {
#ifdef NK_HAVE_VISUAL
    const VisualizationType type = options.visual == CommandLine::Visual::Rect ? VisTypeTerrain : VisTypeSphericalPolar;
    static const FollowMode modes[] = {FollowModeFixedAgent, FollowModeMovingAgent, FollowModeFixedAgentSearchStart};
    return simu.executeVisualized(options.argc, options.argv, type, options.startingPoint, options.startSeed,
                                  options.followAgent, modes[static_cast<int>(options.followMode)]);
#else
    (void)simu;
    (void)options;
    fprintf(stderr,
            "Visual mode is not built into this program: install Qt 5 and VTK 9 (scripts/install-deps.sh --visual) "
            "and rebuild.\n");
    return 1;
#endif
}
