// Opening genome files (plain or gzip, decompressed in process) and reading their
// attributes leniently, as C's strtol/strtod do.
#include "NEAT_XmlReading.h"

#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace NEAT {

namespace {

// Far above any population file this system reads. Without a bound, a name such as
// /dev/zero or a small gzip bomb would take all memory before parsing could fail.
constexpr std::size_t kMaxXmlBytes = std::size_t(256) << 20;

[[noreturn]] void tooLarge(const std::string& fileName) {
    reportLoadError("Genome file " + fileName + " holds more than " + std::to_string(kMaxXmlBytes >> 20) +
                    " MiB of XML!");
}

bool readPlainFile(const std::string& fileName, std::string& text) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file) return false;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
        if (text.size() > kMaxXmlBytes) {
            std::fclose(file);
            tooLarge(fileName);
        }
    }
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool readGzipFile(const std::string& fileName, std::string& text) {
    gzFile file = gzopen(fileName.c_str(), "rb");
    if (!file) return false;
    char buffer[65536];
    int got;
    bool ok = true;
    while ((got = gzread(file, buffer, sizeof buffer)) > 0) {
        // gzip itself refuses data that is not compressed; so do we, so that a
        // mislabelled file fails the same way.
        if (gzdirect(file)) {
            ok = false;
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > kMaxXmlBytes) {
            gzclose(file);
            tooLarge(fileName);
        }
    }
    if (got < 0) ok = false;
    // A truncated stream shows up only when closing.
    if (gzclose(file) != Z_OK) ok = false;
    return ok;
}

bool isGzipName(const std::string& fileName) {
    return fileName.size() > 3 && fileName.compare(fileName.size() - 3, 3, ".gz") == 0;
}

[[noreturn]] void missingAttribute(const tinyxml2::XMLElement* element, const char* name) {
    reportLoadError("Genome file: element \"" + std::string(element->Name()) + "\" on line " +
                    std::to_string(element->GetLineNum()) + " lacks the attribute \"" + name + "\"!");
}

}  // namespace

void reportLoadError(const std::string& text, GenomeFault fault) { throw GenomeError(fault, text); }

bool loadXmlDocument(const std::string& fileName, tinyxml2::XMLDocument& doc) {
    std::string text;
    bool ok = isGzipName(fileName) ? readGzipFile(fileName, text) : readPlainFile(fileName, text);
    if (!ok) return false;
    return doc.Parse(text.data(), text.size()) == tinyxml2::XML_SUCCESS;
}

const char* requireAttribute(const tinyxml2::XMLElement* element, const char* name) {
    const char* value = element->Attribute(name);
    if (!value) missingAttribute(element, name);
    return value;
}

int requireIntAttribute(const tinyxml2::XMLElement* element, const char* name) {
    return parseIntText(requireAttribute(element, name));
}

double requireRealAttribute(const tinyxml2::XMLElement* element, const char* name) {
    return parseRealText(requireAttribute(element, name));
}

int parseIntText(const char* text) {
    long value = std::strtol(text, nullptr, 10);
    // Saturate like strtol does for long, so a huge ID cannot wrap into a small one.
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

double parseRealText(const char* text) { return std::strtod(text, nullptr); }

}  // namespace NEAT
