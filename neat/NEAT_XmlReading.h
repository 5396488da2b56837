// Library-internal helpers for reading genome files: opening (plain or gzip),
// attribute parsing and load-error reporting.
#ifndef NEAT_XMLREADING_H
#define NEAT_XMLREADING_H

#include <tinyxml2.h>

#include <string>

#include "NEAT_GenomeError.h"

namespace NEAT {

// Throws a GenomeError of the given kind (the reader of the configuration reports it).
[[noreturn]] void reportLoadError(const std::string& text, GenomeFault fault = GenomeFault::Malformed);

// Parses the file into doc; a name longer than three characters ending in ".gz" is
// decompressed in memory first. Returns false when the file cannot be read, is not
// valid gzip data, or is not well-formed XML. More than 256 MiB of XML is reported as
// a load error (reportLoadError) while reading.
bool loadXmlDocument(const std::string& fileName, tinyxml2::XMLDocument& doc);

// Genome attributes are read the way strtol/strtod read text: leading white space and
// a sign allowed, parsing stops at the first character that does not fit, text
// without a number reads 0. A missing required attribute is a load error naming the
// element, its line and the attribute.
const char* requireAttribute(const tinyxml2::XMLElement* element, const char* name);
int requireIntAttribute(const tinyxml2::XMLElement* element, const char* name);
double requireRealAttribute(const tinyxml2::XMLElement* element, const char* name);
int parseIntText(const char* text);
double parseRealText(const char* text);

}  // namespace NEAT

#endif
