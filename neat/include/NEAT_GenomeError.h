// The one exception the genome library throws: what went wrong, as a kind the caller can act
// on, and the text that says so (the messages users have long seen).
#pragma once

#include <stdexcept>
#include <string>

namespace NEAT {

enum class GenomeFault {
    Unreadable,   // the file cannot be opened, decompressed or parsed as XML
    Malformed,    // the XML does not describe a population (missing elements or attributes)
    OutOfRange,   // an individual or generation the file does not hold
    Unsupported,  // a feature the library does not provide (parameter files)
    BadNetwork,   // a network that cannot be evaluated (unknown activation, a cycle)
};

struct GenomeError : std::runtime_error {
    GenomeFault fault;
    GenomeError(GenomeFault f, const std::string& text) : std::runtime_error(text), fault(f) {}
};

}  // namespace NEAT
