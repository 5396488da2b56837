// Visual mode as the command line asks for it. The window needs Qt and VTK, which batch runs
// should not have to load: nkswarm hands a visual command line to nkswarm-visual, the same
// program built with the window, and only nkswarm-visual opens it.
#pragma once

#include "viewtypes.h"

class Simulation;

struct VisualOptions {
    VisualizationType visType = VisTypeNone;
    long startingPoint = 0;
    int startSeed = -1;
    bool followAgent = false;
    FollowMode followAgentMode = FollowModeFixedAgent;
};

// Shows one run of `simu` in the window and returns the exit status. `argc` and `argv` are the
// whole command line: nkswarm starts nkswarm-visual with it.
int runVisualMode(Simulation& simu, int argc, char** argv, const VisualOptions& options);
