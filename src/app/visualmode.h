// Visual mode as the command line asks for it. The window needs Qt and VTK, which batch runs
// should not have to load: nkswarm hands a visual command line to nkswarm-visual, the same
// program built with the window, and only nkswarm-visual opens it.
#pragma once

#include <string>

#include "commandline.h"

class Simulation;

// In nkswarm-visual: shows one run of `simu` in the window; returns the exit status.
int runVisualMode(Simulation& simu, const CommandLine& options);

// In nkswarm: replaces this process with nkswarm-visual, found beside this program, with the
// same command line. Returns only when that fails, with the message that says why.
std::string launchVisualProgram(char** argv);
