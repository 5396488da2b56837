// Writing the effective configuration back in the order of the keyword table.
#include "configdump.h"

#include <map>

#include "keywords.h"

namespace {

// The values of one keyword from its fields; `index` picks a repeated keyword's group.
std::vector<std::string> fieldValues(const KeywordEntry& entry, SimuParameters& p, int index) {
    std::vector<std::string> words;
    for (const ValueRule& v : entry.values)
        for (int i = 0; i < v.count; i++) words.push_back(formatField(v, p, v.count > 1 ? i : index));
    return words;
}

// A keyword whose every value lives in a field; others (the keyword alone, a subset flag
// that only shapes the groups) are written in the form that has fields.
bool writable(const KeywordEntry& entry, SimuParameters& p) {
    if (entry.values.empty()) return false;
    for (const ValueRule& v : entry.values)
        if (!v.field || std::holds_alternative<std::monostate>(v.field(p, 0))) return false;
    return true;
}

std::string line(const std::string& keyword, const std::vector<std::string>& words) {
    std::string out = keyword;
    for (const std::string& w : words) out += " " + w;
    return out + "\n";
}

}  // namespace

std::string configDump(SimuParameters& p, const std::string& header) {
    std::string out;
    size_t start = 0;
    for (size_t end; (end = header.find('\n', start)) != std::string::npos; start = end + 1)
        out += "# " + header.substr(start, end - start) + "\n";

    // What the reader will have read before each keyword, for the keywords' conditions.
    std::map<std::string, std::string> written;
    const auto firstValue = [&written](const std::string& keyword) -> const std::string* {
        const auto it = written.find(keyword);
        return it == written.end() ? nullptr : &it->second;
    };
    for (const KeywordEntry& entry : keywordTable()) {
        if (!entry.condition.holds(firstValue)) continue;
        const bool block = entry.kind != KeywordKind::Values && entry.kind != KeywordKind::SeparateValues &&
                           entry.kind != KeywordKind::NoValue;
        if (block) {
            for (const ConfigBlock& b : p.blocksRead) {
                if (b.keyword != entry.name) continue;
                out += line(entry.name, b.words);
                written.emplace(entry.name, "");
            }
            continue;
        }
        if (!writable(entry, p)) continue;
        const int times = entry.presence == Presence::Repeated ? p.nFitnessGroups : 1;
        for (int g = 0; g < times; g++) {
            const std::vector<std::string> words = fieldValues(entry, p, g);
            out += line(entry.name, words);
            written.emplace(entry.name, words[0]);
        }
    }
    return out;
}
