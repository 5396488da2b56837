// Visual mode as the program starts it: one run of the simulation in a window.
#pragma once

#include "commandline.h"

class Simulation;

// Runs the window for the visual switches of the command line; returns the exit status.
int runVisualMode(Simulation& simu, const CommandLine& options);
