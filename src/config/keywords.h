// The keyword sequence of a main configuration file as one ordered table: it drives the
// reader and is what `nkswarm --keywords` prints (scripts and the keyword reference use it).
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "condition.h"
#include "constants.h"

class SimuParameters;
struct KeywordCheck;

// The limits of the fields' C types, as the table's ranges write them.
constexpr double kUIntMax = 4294967295.0;
constexpr double kIntMax = 2147483647.0;
constexpr double kIntMin = -2147483648.0;
constexpr double kNoLimit = std::numeric_limits<double>::infinity();

// Initial points, in one memory and in all memories together: every one is drawn and evaluated
// before the first step, so a slip (an extra digit) would stall the run before it starts.
constexpr unsigned long long kMaxInitialPoints = 10000000;

enum class ValueType { Flag, Whole, Real, Word, AgentList };

// Required: must stand (when its condition holds). Repeated: required once per fitness
// group. Block: zero or more consecutive blocks.
enum class Presence { Required, Optional, Repeated, Block };

// How the values after a keyword are read. Values: one scan that stops at the first value that
// does not convert; SeparateValues: each value on its own. The others are the strategy and
// agent parameter blocks, each with its own reader.
enum class KeywordKind {
    Values,
    SeparateValues,
    NoValue,
    Network,
    NetworkList,
    S1Table,
    S1List,
    S2Table,
    S2List,
    AgentParams
};

// Parts of the sequence that the reader reads one after another.
enum class Section {
    Landscape,
    AgentsAndRuns,
    FitnessGroups,
    Memories,
    Crowding,
    SearchSettings,
    SearchPhases,
    Strategies,
    ActionsAndSeeds,
    AgentParams
};

// Where a value is stored; the pointer type is the field's C type.
using FieldRef = std::variant<std::monostate, bool*, int*, unsigned int*, std::int64_t*, double*>;
using FieldFn = FieldRef (*)(SimuParameters& p, int index);

struct ValueRule {
    const char* label;
    ValueType type;
    double min, max;  // the valid range, inclusive
    int count;        // consecutive values of this kind (the weights of a table)
    FieldFn field;    // null: stored by the block's own reader
    // A valid value outside [usualMin, usualMax] runs as written, with a warning that says
    // what it does (`unusual`).
    double usualMin = -1e308, usualMax = 1e308;
    const char* unusual = nullptr;
    // A keyword's own check (KeywordEntry::check; n's is k's) reports the range, with the
    // message that error is known by; the value reader checks only that the field holds it.
    bool rangeCheckedLater = false;
};

// What a keyword's own check does once its values are read (keywordchecks.h).
using KeywordHook = void (*)(const KeywordCheck& c);

// How SimuParameters::print() lists a keyword: a line with its name and values, whole numbers
// and flags as "%d" of an int (unsigned fields too, unless `asUnsigned`: "%u"), real numbers
// as "%f". The listing's order and names are its own (the visual driver has always printed it so).
struct PrintRule {
    int place = 0;                // the line's place in the listing; 0: not listed
    const char* label = nullptr;  // the name the line starts with, where not the keyword's
    bool asUnsigned = false;
    bool (*shown)(const SimuParameters& p) = nullptr;        // listed only when this holds
    std::string (*tail)(const SimuParameters& p) = nullptr;  // text after the values
};

struct KeywordEntry {
    const char* name;
    Section section;
    Presence presence;
    Condition condition;  // when the keyword is read at all
    KeywordKind kind;
    std::vector<ValueRule> values;
    std::string meaning;
    PrintRule print;
    KeywordHook check = nullptr;  // run after each reading of a value keyword, matched or not
    // Search tables: the strategy type whose layout the weights are written in.
    StrategyType layout = StrategyType0;

    // Building the table: the entry with its line in print(), with its own check.
    KeywordEntry listed(PrintRule rule) && {
        print = rule;
        return std::move(*this);
    }
    KeywordEntry checkedBy(KeywordHook hook) && {
        check = hook;
        return std::move(*this);
    }
    // A keyword that the dump and the labelled reports leave out while it is 0, so that the
    // files and reports of configurations without it stay as they were.
    bool onlyWhenSet = false;
    KeywordEntry writtenWhenSet() && {
        onlyWhenSet = true;
        return std::move(*this);
    }
};

// A strategy or agent parameter block, whose words its own reader reads (not ValueRule fields).
inline bool isBlock(const KeywordEntry& entry) {
    return entry.kind != KeywordKind::Values && entry.kind != KeywordKind::SeparateValues &&
           entry.kind != KeywordKind::NoValue;
}

// Words of blocks that are no keywords of the table: the network's optional type, and the end
// of an agent parameter block.
constexpr const char* kNetworkTypeWord = "type";
constexpr const char* kAgentParamsEnd = "agentParamsEnd";

const std::vector<KeywordEntry>& keywordTable();
// The entry of `name`, compared without regard to case; null for an unknown word.
const KeywordEntry* findKeyword(const std::string& name);
int keywordRank(const KeywordEntry& entry);

// The field's value as the configuration would write it ("" without a field).
std::string formatField(const ValueRule& value, SimuParameters& p, int index);
// The shortest text that the reader reads back as the same double.
std::string formatReal(double value);
// The bounds a value may take, as the reader's messages state them ("a whole number of 1 or more").
std::string describeRange(const ValueRule& value);

// A keyword's row of the table as --keywords prints it: keyword, presence, condition, kind,
// values, default and meaning.
std::vector<std::string> keywordTableRow(const KeywordEntry& entry);
// The table in the stable tab-separated form documented in docs/keywords.md.
void printKeywordTable(FILE* out);
