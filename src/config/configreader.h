// Reads the configuration files into SimuParameters in the order of the keyword table.
//
// Reading follows the fixed keyword sequence exactly as a lenient reader would (a value that
// does not convert leaves the default, a number ends where its digits end), so that the errors
// that reading is known to end with keep their first line. On top of that every value must
// convert completely and lie in its range, and every required keyword must stand where it is
// asked for: the first such problem is kept, named by file, line and keyword, and reported
// when reading is over, or under the first line of an error that ends reading earlier.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "NEAT_GenomeError.h"
#include "configfile.h"
#include "keywords.h"
#include "params.h"

class ConfigReader {
public:
    // Opens the main file. A file with an entry in `texts` is read from there.
    ConfigReader(SimuParameters& params, const std::vector<std::string>& fileNames, int nRunsOverride,
                 const ConfigTexts& texts);

    // Every keyword of one section of the sequence, in table order.
    void readSection(Section section);
    // The extra and compared-strategy files, opened after the search phases.
    void openOtherFiles();
    void readComparedStrategies();
    // Ends the program with the first problem found, if any.
    void finish();

private:
    struct ReadKeyword {
        std::string value;  // its first value as read ("" for a block)
        int line;
    };

    void open(ConfigFile& file, size_t index, const std::string& role);
    // Kept in params.warnings and, when messages are printed, written to standard error.
    void warn(const std::string& text);
    void request(const KeywordEntry& entry);
    bool conditionHolds(const Condition& condition) const;
    bool matchKeyword(ConfigFile& file, const KeywordEntry& entry, bool required);
    bool absentFlag(const ConfigFile& file, const KeywordEntry& entry, const Word& next);
    void readValueKeyword(const KeywordEntry& entry, int repetition);
    bool readValue(ConfigFile& file, const KeywordEntry& entry, const ValueRule& value, FieldRef field, bool sole,
                   std::string* text);
    bool readFlag(ConfigFile& file, const std::string& name, FieldRef field, bool sole, std::string* text);
    void checkValueText(const ConfigFile& file, const Word& word, const std::string& name, const ValueRule& value,
                        FieldRef field, bool rangeChecked);
    void afterRead(const KeywordEntry& entry, bool matched);

    // Checks and settings that follow a keyword's values.
    void checkLandscapeSize(const KeywordEntry& entry, bool matched);
    void applyRunOverride(const KeywordEntry& entry, bool matched);
    void startSubsetGroups(const KeywordEntry& entry, bool matched);
    void completeSubsetGroups(const KeywordEntry& entry, bool matched);
    void checkGroupCount(const KeywordEntry& entry, bool matched);
    void unboundMemory(const KeywordEntry& entry, bool matched);
    void checkExploreRange(const KeywordEntry& entry, bool matched);
    void warnAboutSeed(const KeywordEntry& entry, bool matched);

    // Strategy and agent parameter blocks.
    void readBlocks(const KeywordEntry& entry);
    bool matchBlock(ConfigFile* file, const KeywordEntry& entry);
    void readGeneralBlock(ConfigFile& file, const KeywordEntry& entry);
    void readListBlock(ConfigFile& file, const KeywordEntry& entry);
    void readNetwork(ConfigFile& file, const char* keyword, AgentStrategy& s);
    [[noreturn]] void reportGenomeError(const std::string& what, const std::string& path,
                                        const NEAT::GenomeError& thrown, int index);
    void readNetworkType(ConfigFile& file, AgentStrategy& s);
    void readS1(ConfigFile& file, const char* keyword, AgentStrategy& s);
    void readS2(ConfigFile& file, const char* keyword, AgentStrategy& s);
    double readWeight(ConfigFile& file, const char* keyword, int index, int count, const std::string& specFirstLine);
    std::vector<int> readAgentList(ConfigFile& file, const char* keyword, long long limit,
                                   const std::string& specFirstLine);
    long long agentsAndCompared() const;
    std::string agentRange(long long limit) const;
    int agentKey(long long offset, int agentId);
    void readS1List(ConfigFile& file, const char* keyword, StrategyType type, long long offset, long long limit);
    void readS2List(ConfigFile& file, const char* keyword, long long offset, long long limit);
    void readAgentParams(ConfigFile& file, long long offset, long long limit);
    void rejectLeftoverWords(ConfigFile& file);
    // Adds a word to the block being recorded (blocks of the main and extra files only).
    void record(const std::string& word);

    // Messages.
    void problem(const ConfigFile& file, int line, const std::string& text);
    void problemText(const std::string& text);
    [[noreturn]] void specError(const std::string& firstLine, const std::string& details);
    [[noreturn]] void stop(const std::string& text);
    std::string where(const ConfigFile& file, int line) const;
    std::string foundAt(const ConfigFile& file, const Word& w) const;
    std::string keywordExpected(const char* expected, const std::string& found) const;
    std::string explainWord(const std::string& word, const char* expected) const;
    std::string placeOf(const KeywordEntry& found, const char* expected) const;
    std::string endOfFile(const ConfigFile& file, const char* keyword) const;

    SimuParameters& p;
    const std::vector<std::string>& fileNames;
    const ConfigTexts& texts;
    int nRunsOverride;
    ConfigFile mainFile;
    std::unique_ptr<ConfigFile> extra;
    std::vector<ConfigFile> compared;
    bool readingCompared = false;
    std::map<std::string, ReadKeyword> readKeywords;
    std::vector<bool> requested;  // by table rank: asked for (its condition held)
    std::string firstProblem;
    ConfigBlock* recording = nullptr;  // the last entry of p.blocksRead while its block is read
};
