// The NEAT parameter table and ID counters.
#include "NEAT_Globals.h"

#include <iostream>

namespace NEAT {

bool signedActivation = false;

Globals* Globals::singleton = nullptr;

namespace {
const char* const MISSING_GLOBALS = "You didn't initialize Globals before using it!";
}

Globals::Globals(std::string fileName) {
    if (!fileName.empty()) {
        std::string text = "Reading NEAT parameter files is not supported: " + fileName;
        std::cerr << text << std::endl;
        throw text;
    }
}

Globals::~Globals() = default;

void Globals::setParameterValue(std::string name, double value) { parameters[std::move(name)] = value; }

void Globals::addParameter(std::string name, double value) { setParameterValue(std::move(name), value); }

bool Globals::hasParameter(const std::string& name) const { return parameters.count(name) != 0; }

double Globals::getParameterValue(const std::string& name) const {
    auto it = parameters.find(name);
    return it == parameters.end() ? 0.0 : it->second;
}

Globals& requireGlobals() {
    if (!Globals::singleton) {
        std::cerr << MISSING_GLOBALS;
        throw std::string(MISSING_GLOBALS);
    }
    return *Globals::singleton;
}

void setParameter(std::string name, double value) { requireGlobals().setParameterValue(std::move(name), value); }

}  // namespace NEAT
