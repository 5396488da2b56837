// The visual driver: one run of a simulation shown in the main window.
#pragma once

#include "viewtypes.h"

class Simulation;

// Prints the parameter dump, starts run 0 (with `startSeed` as the start seed when it is 0 or
// more) and shows it in a window with the view `visType` until the window closes; `northPole`
// and the follow settings are for the spherical view. Returns the exit status. A view that
// cannot be drawn, or a missing display, ends the program with a message.
int runVisualized(Simulation& sim, int argc, char** argv, VisualizationType visType, long northPole, int startSeed,
                  bool followAgent, FollowMode followAgentMode);
