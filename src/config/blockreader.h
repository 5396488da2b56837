// The strategy and agent parameter blocks: search and place tables (normalised as they are
// read), lists of agents, agent parameters, networks (through NetworkReader), and the
// compared-strategy files, which hold only such blocks.
#pragma once

#include <string>
#include <vector>

#include "configfile.h"
#include "configmessages.h"
#include "keywords.h"
#include "networkreader.h"
#include "params.h"
#include "readprogress.h"
#include "valuereader.h"

class BlockReader {
public:
    BlockReader(SimuParameters& p, ConfigMessages& messages, ValueReader& values, ReadProgress& progress)
        : p_(p), messages_(messages), values_(values), progress_(progress), networks_(p, messages, values) {}

    // Every block of `entry` in the main and the extra file (null: none), in the order and with
    // the precedence its kind calls for; each is kept in p.blocksRead as it reads back.
    void readBlocks(const KeywordEntry& entry, ConfigFile& mainFile, ConfigFile* extra);
    // The compared-strategy files, in order: each one's tables and agent parameters.
    void readComparedStrategies(std::vector<ConfigFile>& files);

private:
    bool matchBlock(ConfigFile* file, const KeywordEntry& entry);
    void readGeneralBlock(ConfigFile& file, const KeywordEntry& entry);
    void readListBlock(ConfigFile& file, const KeywordEntry& entry);
    void readS1(ConfigFile& file, const char* keyword, AgentStrategy& s);
    void readS2(ConfigFile& file, const char* keyword, AgentStrategy& s);
    double readWeight(ConfigFile& file, const char* keyword, int index, int count, const std::string& specFirstLine);
    long long readAgentCount(ConfigFile& file, const char* keyword, const std::string& specFirstLine);
    std::vector<int> readAgentList(ConfigFile& file, const char* keyword, long long limit,
                                   const std::string& specFirstLine);
    long long agentsAndCompared() const;
    std::string agentRange(long long limit) const;
    int agentKey(long long offset, int agentId) const;
    void readS1List(ConfigFile& file, const KeywordEntry& entry, long long offset, long long limit);
    void readS2List(ConfigFile& file, const char* keyword, long long offset, long long limit);
    void readAgentParams(ConfigFile& file, const KeywordEntry& entry, long long offset, long long limit);
    void readComparedFile(ConfigFile& file, long long offset);
    void rejectLeftoverWords(ConfigFile& file);
    // Adds a word to the block being recorded (blocks of the main and extra files only).
    void record(const std::string& word);

    SimuParameters& p_;
    ConfigMessages& messages_;
    ValueReader& values_;
    ReadProgress& progress_;
    NetworkReader networks_;
    ConfigBlock* recording_ = nullptr;  // the last entry of p.blocksRead while its block is read
    bool readingCompared_ = false;
};
