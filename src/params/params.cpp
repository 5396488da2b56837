// The record's own lifecycle: the defaults of every field are in its declaration; the
// NEAT objects it owns are complete here.
#include "params.h"
#include "NEAT_Globals.h"
#include "NetworkActivator.h"

SimuParameters::SimuParameters(const std::vector<std::string>& names) : comparedStrategyNames(names) {}

SimuParameters::~SimuParameters() = default;
