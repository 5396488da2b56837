// Network strategy blocks: the genome file, the individual, the optional type word, and what
// happens when the genome file cannot serve the network (the genome-error policy).
#pragma once

#include <string>
#include <vector>

#include "NEAT_GenomeError.h"
#include "configfile.h"
#include "configmessages.h"
#include "keywords.h"
#include "params.h"
#include "valuereader.h"

class NetworkReader {
public:
    NetworkReader(SimuParameters& p, ConfigMessages& messages, ValueReader& values)
        : p_(p), messages_(messages), values_(values) {}

    // Reads "FILE INDEX [type T]" after `entry`'s keyword into `s`, and the words as they read
    // back (the type in effect included) into `words`. A genome file that cannot serve the
    // network ends the program.
    void read(ConfigFile& file, const KeywordEntry& entry, AgentStrategy& s, std::vector<std::string>& words);

private:
    void readType(ConfigFile& file, const KeywordEntry& entry, AgentStrategy& s, std::vector<std::string>& words);
    [[noreturn]] void reportGenomeError(const std::string& what, const std::string& path,
                                        const NEAT::GenomeError& thrown, int index);

    SimuParameters& p_;
    ConfigMessages& messages_;
    ValueReader& values_;
};
