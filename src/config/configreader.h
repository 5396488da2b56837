// Reads the configuration files into SimuParameters in the order of the keyword table.
//
// Reading follows the fixed keyword sequence exactly as a lenient reader would (a value that
// does not convert leaves the default, a number ends where its digits end), so that the errors
// that reading is known to end with keep their first line. On top of that every value must
// convert completely and lie in its range, and every required keyword must stand where it is
// asked for: the first such problem is kept, named by file, line and keyword, and reported
// when reading is over, or under the first line of an error that ends reading earlier.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "blockreader.h"
#include "configfile.h"
#include "configmessages.h"
#include "keywords.h"
#include "params.h"
#include "readprogress.h"
#include "valuereader.h"

class ConfigReader {
public:
    // Opens the main file. A file with an entry in `texts` is read from there.
    ConfigReader(SimuParameters& params, const std::vector<std::string>& fileNames, int nRunsOverride,
                 const ConfigTexts& texts);

    // Every keyword of one section of the sequence, in table order.
    void readSection(Section section);
    // The extra and compared-strategy files, opened after the search phases.
    void openOtherFiles();
    void readComparedStrategies() { blocks_.readComparedStrategies(compared_); }
    // Ends the program with the first problem found, if any.
    void finish() const { messages_.finish(); }

private:
    void open(ConfigFile& file, size_t index, const std::string& role);
    void request(const KeywordEntry& entry);
    bool matchKeyword(ConfigFile& file, const KeywordEntry& entry, bool required);
    bool absentFlag(const ConfigFile& file, const KeywordEntry& entry, const Word& next);
    void readValueKeyword(const KeywordEntry& entry, int repetition);
    std::string readValues(const KeywordEntry& entry, int repetition);

    SimuParameters& p_;
    const std::vector<std::string>& fileNames_;
    const ConfigTexts& texts_;
    int nRunsOverride_;
    ConfigMessages messages_;
    ValueReader values_;
    ReadProgress progress_;
    BlockReader blocks_;
    ConfigFile mainFile_;
    std::unique_ptr<ConfigFile> extra_;
    std::vector<ConfigFile> compared_;
};
