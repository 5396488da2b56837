// The NEAT parameter table and ID counters.
#include "NEAT_Globals.h"
#include "NEAT_GenomeError.h"

namespace NEAT {

Globals::Globals(std::string fileName) {
    if (!fileName.empty())
        throw GenomeError(GenomeFault::Unsupported, "Reading NEAT parameter files is not supported: " + fileName);
}

Globals::~Globals() = default;

void Globals::setParameterValue(std::string name, double value) { parameters[std::move(name)] = value; }

void Globals::addParameter(std::string name, double value) { setParameterValue(std::move(name), value); }

bool Globals::hasParameter(const std::string& name) const { return parameters.count(name) != 0; }

double Globals::getParameterValue(const std::string& name) const {
    auto it = parameters.find(name);
    return it == parameters.end() ? 0.0 : it->second;
}

}  // namespace NEAT
