// What the configuration reader has asked for and read so far: the keywords' conditions
// depend on it, and so do the messages that say where a misplaced keyword belongs.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "configfile.h"
#include "keywords.h"

class ReadProgress {
public:
    ReadProgress() : requested_(keywordTable().size(), false) {}

    // The keyword's condition held, so it was asked for.
    void noteRequested(const KeywordEntry& entry) { requested_[keywordRank(entry)] = true; }
    // The keyword was found; its first reading's value ("" for a block) and line are kept.
    void noteRead(const KeywordEntry& entry, const std::string& firstValue, int line);
    bool holds(const Condition& condition) const;
    // The line keyword `name` was read on; 0 when it was not read.
    int lineOf(const char* name) const;

    // The message for `found` standing where keyword `expected` is asked for.
    std::string keywordExpected(const char* expected, const std::string& found, int nFitnessGroups) const;
    // Why a word stands where `expected` is asked for (null: after the last keyword read).
    std::string explainWord(const std::string& word, const char* expected, int nFitnessGroups) const;
    // The file ends where `keyword` is asked for.
    static std::string endOfFile(const ConfigFile& file, const char* keyword);

private:
    struct ReadKeyword {
        std::string value;  // its first value as read ("" for a block)
        int line;
    };

    std::string placeOf(const KeywordEntry& found, const char* expected, int nFitnessGroups) const;

    std::map<std::string, ReadKeyword> read_;
    std::vector<bool> requested_;  // by table rank: asked for (its condition held)
};
