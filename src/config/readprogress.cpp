// The keywords asked for and read, and the messages about misplaced keywords.
#include "readprogress.h"

#include <strings.h>

#include "configtext.h"

void ReadProgress::noteRead(const KeywordEntry& entry, const std::string& firstValue, int line) {
    read_.emplace(entry.name, ReadKeyword{firstValue, line});
}

int ReadProgress::lineOf(const char* name) const {
    const auto it = read_.find(name);
    return it == read_.end() ? 0 : it->second.line;
}

bool ReadProgress::holds(const Condition& condition) const {
    return condition.holds([this](const std::string& keyword) -> const std::string* {
        const auto it = read_.find(keyword);
        return it == read_.end() ? nullptr : &it->second.value;
    });
}

std::string ReadProgress::keywordExpected(const char* expected, const std::string& found, int nFitnessGroups) const {
    return std::string("keyword ") + expected + " expected, found " + shownWord(found) +
           explainWord(found, expected, nFitnessGroups);
}

std::string ReadProgress::explainWord(const std::string& word, const char* expected, int nFitnessGroups) const {
    if (const KeywordEntry* found = findKeyword(word)) return ": " + placeOf(*found, expected, nFitnessGroups);
    if (strcasecmp(word.c_str(), kNetworkTypeWord) == 0)
        return std::string(": ") + kNetworkTypeWord + " belongs right after NNStrategy FILE INDEX";
    if (strcasecmp(word.c_str(), kAgentParamsEnd) == 0)
        return std::string(": ") + kAgentParamsEnd + " ends an agentParamsBegin block";
    double number;
    if (parseReal(word, &number)) return ": a value without its keyword, or one value too many";
    if (const char* near = nearestKeyword(word)) return std::string(": did you mean ") + near + "?";
    return ": not a keyword";
}

std::string ReadProgress::placeOf(const KeywordEntry& found, const char* expected, int nFitnessGroups) const {
    const std::vector<KeywordEntry>& table = keywordTable();
    const int at = keywordRank(found);
    const int now = expected ? keywordRank(*findKeyword(expected)) : static_cast<int>(table.size());
    if (at > now) return std::string(found.name) + " belongs after " + expected;
    if (!requested_[at])
        return std::string(found.name) + " is not read in this configuration: it is read only " +
               found.condition.inWords();
    if (found.presence == Presence::Repeated)
        return std::string("more ") + found.name + " lines than nFitnessGroups (" + std::to_string(nFitnessGroups) +
               ")";
    // It was asked for earlier and not found: name the keyword it should precede.
    for (int r = at + 1; r < now; r++) {
        const auto it = read_.find(table[r].name);
        if (it != read_.end())
            return std::string(found.name) + " belongs before " + table[r].name + " (line " +
                   std::to_string(it->second.line) + ")";
    }
    return std::string(found.name) + " belongs before " + (expected ? expected : "the end of the file");
}

std::string ReadProgress::endOfFile(const ConfigFile& file, const char* keyword) {
    if (file.lastKeyword().empty())
        return file.name() + ": no keyword in the file (empty, only comments, or not readable) where " + keyword +
               " is expected";
    return file.name() + ": the file ends where keyword " + keyword + " is expected (the last keyword read is " +
           file.lastKeyword() + " on line " + std::to_string(file.lastKeywordLine()) + ")";
}
