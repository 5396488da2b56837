// Strategy tables, agent lists, agent parameter blocks and the compared-strategy files.
#include "blockreader.h"

#include <algorithm>
#include <climits>

#include "configtext.h"

void BlockReader::readBlocks(const KeywordEntry& entry, ConfigFile& mainFile, ConfigFile* extra) {
    switch (entry.kind) {
        case KeywordKind::Network:
        case KeywordKind::S1Table:
        case KeywordKind::S2Table: {
            // The main file wins for the general strategy; the extra file's block counts only without one.
            ConfigFile* file = matchBlock(&mainFile, entry) ? &mainFile : matchBlock(extra, entry) ? extra : nullptr;
            if (file) readGeneralBlock(*file, entry);
            break;
        }
        case KeywordKind::AgentParams:
            while (matchBlock(&mainFile, entry)) readAgentParams(mainFile, entry, 0, agentsAndCompared());
            rejectLeftoverWords(mainFile);
            while (matchBlock(extra, entry)) readAgentParams(*extra, entry, 0, agentsAndCompared());
            break;
        default:
            // Blocks for listed agents come from both files, main first, so that later ones win.
            for (ConfigFile* file : {&mainFile, extra})
                while (matchBlock(file, entry)) readListBlock(*file, entry);
    }
    recording_ = nullptr;
}

bool BlockReader::matchBlock(ConfigFile* file, const KeywordEntry& entry) {
    if (!file || !file->matchKeyword(entry.name)) return false;
    progress_.noteRead(entry, "", file->lastKeywordLine());
    p_.blocksRead.push_back({entry.name, {}});
    recording_ = &p_.blocksRead.back();
    return true;
}

void BlockReader::record(const std::string& word) {
    if (recording_) recording_->words.push_back(word);
}

void BlockReader::readGeneralBlock(ConfigFile& file, const KeywordEntry& entry) {
    if (entry.kind == KeywordKind::Network) {
        networks_.read(file, entry, p_.generalStrategy, recording_->words);
    } else if (entry.kind == KeywordKind::S1Table) {
        p_.generalStrategy.type = entry.layout;
        readS1(file, entry.name, p_.generalStrategy);
    } else {
        readS2(file, entry.name, p_.generalStrategy);
    }
}

void BlockReader::readListBlock(ConfigFile& file, const KeywordEntry& entry) {
    switch (entry.kind) {
        case KeywordKind::NetworkList: {
            AgentStrategy scratch;
            networks_.read(file, entry, scratch, recording_->words);
            for (int id : readAgentList(file, entry.name, agentsAndCompared(), "Invalid strategy"))
                p_.agentStrategies[id] = scratch;
            break;
        }
        case KeywordKind::S2List:
            readS2List(file, entry.name, 0, agentsAndCompared());
            break;
        default:
            readS1List(file, entry, 0, agentsAndCompared());
    }
}

// Each block of a search table is normalised to sum 1; an all-zero block becomes uniform.
void BlockReader::readS1(ConfigFile& file, const char* keyword, AgentStrategy& s) {
    const int nSearch = s.getNumSearchTypes();
    const int nMem = s.getNumMemTypesS1();
    const int count = 4 * nSearch * nMem;
    int index = 0;
    for (auto& pub : s.s1.searchProbs) {
        for (auto& block : pub) {
            double sum = 0.0;
            for (int m = 0; m < nSearch; m++) {
                for (int a = 0; a < nMem; a++) {
                    block[m][a] = readWeight(file, keyword, index++, count, "Invalid strategy " + file.name());
                    sum += block[m][a];
                }
            }
            for (int m = 0; m < nSearch; m++)
                for (int a = 0; a < nMem; a++) block[m][a] = sum > 1e-5 ? block[m][a] / sum : 1.0 / (nSearch * nMem);
        }
    }
}

// Each row of a place table is normalised to sum 1; an all-zero row becomes even.
void BlockReader::readS2(ConfigFile& file, const char* keyword, AgentStrategy& s) {
    int index = 0;
    for (auto& row : s.s2.placeProbs) {
        for (double& v : row) v = readWeight(file, keyword, index++, 4, "Invalid strategy " + file.name());
        const double sum = 0 + row[0] + row[1];
        for (double& v : row) v = sum > 1e-5 ? v / sum : 0.5;
    }
}

double BlockReader::readWeight(ConfigFile& file, const char* keyword, int index, int count,
                               const std::string& specFirstLine) {
    const Word w = file.peek();
    const Scan scan = w.atEnd ? Scan{} : scanReal(w.text);
    const std::string needs =
        std::string(keyword) + " needs " + std::to_string(count) + " weights (numbers of 0 or more)";
    if (scan.length == 0)
        messages_.specError(specFirstLine, ConfigMessages::where(file, file.lastKeywordLine()) + needs + ", found " +
                                               std::to_string(index) + " before " + ConfigMessages::foundAt(file, w) +
                                               valueHint(w.text, ValueType::Real));
    double v;
    if (!parseReal(w.text, &v) || v < 0)
        messages_.problem(file, file.lastKeywordLine(),
                          needs + "; weight " + std::to_string(index + 1) + " is " + ConfigMessages::foundAt(file, w));
    file.consume(scan.length);
    record(formatReal(static_cast<double>(scan.value)));
    return static_cast<double>(scan.value);
}

// The count of a list of agents, in the range of nAgents.
long long BlockReader::readAgentCount(ConfigFile& file, const char* keyword, const std::string& specFirstLine) {
    const Word w = file.peek();
    const Scan scan = w.atEnd ? Scan{} : scanWhole(w.text);
    if (scan.length == 0)
        messages_.specError(specFirstLine, ConfigMessages::where(file, file.lastKeywordLine()) + keyword +
                                               " needs the number of agents it lists, found " +
                                               ConfigMessages::foundAt(file, w));
    values_.checkValueText(file, w, std::string(keyword) + " agent count", findKeyword("nAgents")->values[0],
                           FieldRef{}, true);
    file.consume(scan.length);
    const long long count = clampToInt64(scan.value);
    record(std::to_string(count));
    return count;
}

std::vector<int> BlockReader::readAgentList(ConfigFile& file, const char* keyword, long long limit,
                                            const std::string& specFirstLine) {
    const long long count = readAgentCount(file, keyword, specFirstLine);
    std::vector<int> ids;
    for (long long i = 0; i < count; i++) {
        const Word w = file.peek();
        const Scan scan = w.atEnd ? Scan{} : scanWhole(w.text);
        if (scan.length == 0)
            messages_.specError(specFirstLine, ConfigMessages::where(file, file.lastKeywordLine()) + keyword +
                                                   " lists " + std::to_string(count) + " agents, but found " +
                                                   ConfigMessages::foundAt(file, w) + " after " + std::to_string(i));
        long double id;
        if (!parseWhole(w.text, &id) || id < 0 || id >= limit)
            messages_.problem(
                file, file.lastKeywordLine(),
                std::string(keyword) + " lists agent " + ConfigMessages::foundAt(file, w) + agentRange(limit));
        file.consume(scan.length);
        ids.push_back(static_cast<int>(std::clamp<long long>(clampToInt64(scan.value), INT_MIN, INT_MAX)));
        record(std::to_string(ids.back()));
    }
    return ids;
}

// Blocks of the main and extra file name agents, and with keys nAgents + i the compared strategies.
long long BlockReader::agentsAndCompared() const { return p_.nAgents + static_cast<long long>(p_.nExtraStrategies); }

std::string BlockReader::agentRange(long long limit) const {
    if (readingCompared_) return ", but a compared-strategy file names agent 0 (its own entry) only";
    // After an earlier slip nAgents may hold any int: the message is worked out in 64 bits.
    const long long agents = p_.nAgents;
    if (limit > agents)
        return ", outside the agents 0 to " + std::to_string(agents - 1) + " and the compared strategies " +
               std::to_string(agents) + " to " + std::to_string(limit - 1);
    return ", outside the agents 0 to " + std::to_string(limit - 1);
}

// The key of an agent's entry: its index plus the offset of its file (compared strategies).
int BlockReader::agentKey(long long offset, int agentId) const {
    const long long key = offset + agentId;
    if (key < INT_MIN || key > INT_MAX) messages_.stop("Agent index " + std::to_string(agentId) + " is out of range");
    return static_cast<int>(key);
}

void BlockReader::readS1List(ConfigFile& file, const KeywordEntry& entry, long long offset, long long limit) {
    AgentStrategy scratch;
    scratch.type = entry.layout;
    readS1(file, entry.name, scratch);
    for (int id : readAgentList(file, entry.name, limit, "Invalid strategy " + file.name())) {
        AgentStrategy& agent = p_.agentStrategies[agentKey(offset, id)];
        agent.s1 = scratch.s1;
        // A table in another layout than a new entry's type is only readable as that type.
        if (entry.layout != AgentStrategy{}.type) agent.type = entry.layout;
    }
}

void BlockReader::readS2List(ConfigFile& file, const char* keyword, long long offset, long long limit) {
    AgentStrategy scratch;
    readS2(file, keyword, scratch);
    for (int id : readAgentList(file, keyword, limit, "Invalid strategy " + file.name()))
        p_.agentStrategies[agentKey(offset, id)].s2 = scratch.s2;
}

void BlockReader::readAgentParams(ConfigFile& file, const KeywordEntry& entry, long long offset, long long limit) {
    const std::vector<int> ids = readAgentList(file, entry.name, limit, "Invalid number");
    CustomParameters params = p_.generalCustomParams;
    const KeywordEntry& all = *findKeyword("useAllExploitAttempts");
    const KeywordEntry& depth = *findKeyword("maxExploitTreeDepth");
    for (std::string text; !file.matchKeyword(kAgentParamsEnd);) {
        if (file.matchKeyword(all.name)) {
            values_.readFlag(file, all.name, &params.exploitSearchConfig.useAllAttempts, true, &text);
        } else if (file.matchKeyword(depth.name)) {
            values_.readValue(file, depth, depth.values[0], &params.exploitSearchConfig.maxTreeDepth, true, &text);
        } else {
            const Word w = file.peek();
            messages_.stop(ConfigMessages::where(file, w.line) + entry.name + " block: found " + foundText(w) +
                           " where " + all.name + ", " + depth.name + " or " + kAgentParamsEnd + " is expected");
        }
    }
    for (int id : ids) p_.agentCustomParams[agentKey(offset, id)] = params;
    // Both settings as they are in effect: the block then reads back the same.
    for (const std::string& word :
         {std::string(all.name), std::string(params.exploitSearchConfig.useAllAttempts ? "1" : "0"),
          std::string(depth.name), std::to_string(params.exploitSearchConfig.maxTreeDepth),
          std::string(kAgentParamsEnd)})
        record(word);
}

// Everything of a main or compared-strategy file is read in one fixed order, so a word
// left over means a keyword stood out of place and the values after it were misread.
// (Only the extra file may keep unread blocks: its general strategy yields to the main file's.)
void BlockReader::rejectLeftoverWords(ConfigFile& file) {
    file.skipComments();
    const Word w = file.peek();
    if (w.atEnd) return;
    std::string text = "unexpected " + foundText(w) + " after the last keyword read";
    if (!file.lastKeyword().empty())
        text += " (" + file.lastKeyword() + " on line " + std::to_string(file.lastKeywordLine()) + ")";
    messages_.problem(file, w.line, text + progress_.explainWord(w.text, nullptr, p_.nFitnessGroups));
}

void BlockReader::readComparedStrategies(std::vector<ConfigFile>& files) {
    readingCompared_ = true;
    for (size_t i = 0; i < files.size(); i++)
        readComparedFile(files[i], static_cast<long long>(p_.nAgents) + static_cast<long long>(i));
}

// A compared strategy's file: its search and place tables, then its agent parameter blocks,
// all under the key nAgents + i.
void BlockReader::readComparedFile(ConfigFile& file, long long offset) {
    const KeywordEntry& search = *findKeyword("searchProbsSpecificAgents");
    const KeywordEntry& place = *findKeyword("placeProbsSpecificAgents");
    const KeywordEntry& params = *findKeyword("agentParamsBegin");
    const std::string start = std::string("a compared-strategy file holds ") + search.name + ", then " + place.name +
                              ", then agent parameter blocks; found ";
    if (!file.matchKeyword(search.name))
        messages_.specError("S1 strategy missing!",
                            ConfigMessages::where(file, file.peek().line) + start + foundText(file.peek()));
    readS1List(file, search, offset, 1);
    if (!file.matchKeyword(place.name))
        messages_.specError("S2 strategy missing!",
                            ConfigMessages::where(file, file.peek().line) + start + foundText(file.peek()));
    readS2List(file, place.name, offset, 1);
    while (file.matchKeyword(params.name)) readAgentParams(file, params, offset, 1);
    rejectLeftoverWords(file);
}
