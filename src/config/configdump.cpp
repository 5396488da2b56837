// Writing the settings back from the keyword table: as a main configuration file, and as the
// listing SimuParameters::print() writes.
#include "configdump.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <type_traits>

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

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (size_t i = 0; i < words.size(); i++) out += (i ? " " : "") + words[i];
    return out;
}

// One value as print() writes it (the widest, "%f" of the lowest double, has 317 characters).
std::string listedValue(FieldRef field, bool asUnsigned) {
    char buf[400] = "";
    std::visit(
        [&buf, asUnsigned](auto f) {
            using T = std::remove_pointer_t<decltype(f)>;
            if constexpr (std::is_same_v<T, double>) {
                snprintf(buf, sizeof buf, "%f", *f);
            } else if constexpr (std::is_same_v<T, unsigned int>) {
                if (asUnsigned)
                    snprintf(buf, sizeof buf, "%u", *f);
                else
                    snprintf(buf, sizeof buf, "%d", static_cast<int>(*f));
            } else if constexpr (!std::is_same_v<T, std::monostate>) {
                snprintf(buf, sizeof buf, "%lld", static_cast<long long>(*f));
            }
        },
        field);
    return buf;
}

}  // namespace

std::string parameterListing(const SimuParameters& params) {
    // The table's field accessors serve the reader too; here the fields are only read.
    SimuParameters& p = const_cast<SimuParameters&>(params);
    std::vector<const KeywordEntry*> listed;
    for (const KeywordEntry& entry : keywordTable())
        if (entry.print.place > 0) listed.push_back(&entry);
    std::sort(listed.begin(), listed.end(),
              [](const KeywordEntry* a, const KeywordEntry* b) { return a->print.place < b->print.place; });
    std::string out;
    for (const KeywordEntry* entry : listed) {
        const PrintRule& rule = entry->print;
        if (rule.shown && !rule.shown(params)) continue;
        out += rule.label ? rule.label : entry->name;
        for (const ValueRule& v : entry->values)
            for (int i = 0; i < v.count; i++) out += " " + listedValue(v.field(p, i), rule.asUnsigned);
        out += (rule.tail ? rule.tail(params) : "") + "\n";
    }
    char sizes[80];
    snprintf(sizes, sizeof sizes, "\nnpoints %lu\nncontexts %lu\n", params.nPoints, params.nContexts);
    return out + sizes;
}

std::vector<DumpedSetting> dumpedSettings(const SimuParameters& params) {
    // The table's field accessors serve the reader too, which writes through them; the dump
    // only reads.
    SimuParameters& p = const_cast<SimuParameters&>(params);
    std::vector<DumpedSetting> out;
    // What the reader will have read before each keyword, for the keywords' conditions.
    std::map<std::string, std::string> written;
    const auto firstValue = [&written](const std::string& keyword) -> const std::string* {
        const auto it = written.find(keyword);
        return it == written.end() ? nullptr : &it->second;
    };
    for (const KeywordEntry& entry : keywordTable()) {
        if (!entry.condition.holds(firstValue)) continue;
        if (isBlock(entry)) {
            for (const ConfigBlock& b : p.blocksRead) {
                if (b.keyword != entry.name) continue;
                out.push_back({entry.name, joined(b.words)});
                written.emplace(entry.name, "");
            }
            continue;
        }
        if (!writable(entry, p)) continue;
        const int times = entry.presence == Presence::Repeated ? p.nFitnessGroups : 1;
        for (int g = 0; g < times; g++) {
            const std::vector<std::string> words = fieldValues(entry, p, g);
            if (entry.onlyWhenSet && std::all_of(words.begin(), words.end(), [](const auto& w) { return w == "0"; }))
                continue;
            out.push_back({entry.name, joined(words)});
            written.emplace(entry.name, words[0]);
        }
    }
    return out;
}

std::string configDump(const SimuParameters& params, const std::string& header) {
    std::string out;
    size_t start = 0;
    for (size_t end; (end = header.find('\n', start)) != std::string::npos; start = end + 1)
        out += "# " + header.substr(start, end - start) + "\n";
    for (const DumpedSetting& s : dumpedSettings(params))
        out += s.keyword + (s.values.empty() ? "" : " " + s.values) + "\n";
    return out;
}
