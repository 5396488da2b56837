// Reading and printing the simulation settings.
#include "params.h"

#include "NetworkActivator.h"
#include "util.h"

SimuParameters::SimuParameters(std::vector<std::string>& names) : comparedStrategyNames(names) {}

SimuParameters::SimuParameters(const std::vector<std::string>& simuCfgFileNames,
                               std::vector<std::string>& names, int nRunsOverride, double evalsPerStepLimit_)
    : evalsPerStepLimit(evalsPerStepLimit_), comparedStrategyNames(names) {
    readFromFile(simuCfgFileNames, nRunsOverride);
}

SimuParameters::~SimuParameters() { delete netActivator; }
