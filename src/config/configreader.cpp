// Reading the configuration files: the keyword sequence, its checks and the messages that
// name file, line and keyword.
#include "configreader.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "NEAT_GeneticPopulation.h"
#include "NetworkActivator.h"
#include "configtext.h"
#include "inline.h"
#include "util.h"

namespace {

long long clampToInt64(long double v) {
    if (!(v > -9223372036854775807.0L)) return LLONG_MIN;
    if (v >= 9223372036854775807.0L) return LLONG_MAX;
    return static_cast<long long>(v);
}

// Stores a value the way the C conversion stores it in the field's type (an unsigned field
// keeps the bits of a negative number).
void store(FieldRef field, long double v) {
    std::visit(
        [v](auto f) {
            using T = std::remove_pointer_t<decltype(f)>;
            if constexpr (std::is_same_v<T, double>) {
                *f = static_cast<double>(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                *f = v != 0;
            } else if constexpr (!std::is_same_v<T, std::monostate>) {
                *f = static_cast<T>(clampToInt64(v));
            }
        },
        field);
}

// The values the field's C type can hold.
void storageRange(FieldRef field, long double* lo, long double* hi) {
    *lo = INT_MIN;
    *hi = INT_MAX;
    if (std::holds_alternative<unsigned int*>(field)) {
        *lo = 0;
        *hi = UINT_MAX;
    } else if (std::holds_alternative<std::int64_t*>(field)) {
        *lo = LLONG_MIN;
        *hi = LLONG_MAX;
    }
}

// Values whose range a check of its own reports, with the message that check is known by.
bool rangeCheckedLater(const KeywordEntry& entry, const ValueRule& value) {
    for (const char* name : {"n", "k", "nRuns", "nFitnessGroups"})
        if (strcmp(entry.name, name) == 0) return true;
    return strncmp(entry.name, "explore", 7) == 0 && value.type == ValueType::Real;
}

const ValueRule& valueOf(const char* keyword, size_t index) { return findKeyword(keyword)->values[index]; }

void findNodeIndices(NeuralNet& nn) {
    nn.i0 = nn.net->getNodeIndex("INPUT0");
    nn.i1 = nn.net->getNodeIndex("INPUT1");
    nn.i2 = nn.net->getNodeIndex("INPUT2");
    nn.i3 = nn.net->getNodeIndex("INPUT3");
    nn.i4 = nn.net->getNodeIndex("INPUT4");
    nn.i5 = nn.net->getNodeIndex("INPUT5");
    nn.o0 = nn.net->getNodeIndex("OUTPUT0");
    nn.o1 = nn.net->getNodeIndex("OUTPUT1");
    nn.bias = nn.net->getNodeIndex(NEAT::NA_BIAS_NAME);
    nn.depth = nn.net->computeMaxDepth(std::vector<int>{nn.o0, nn.o1});
}

}  // namespace

ConfigReader::ConfigReader(SimuParameters& params, const std::vector<std::string>& names, int runsOverride,
                           const ConfigTexts& fileTexts)
    : p(params),
      fileNames(names),
      texts(fileTexts),
      nRunsOverride(runsOverride),
      requested(keywordTable().size(), false) {
    if (fileNames.empty()) specError("No config. files!", "no configuration file was given");
    // Agents carry room for two compared strategies only.
    if (fileNames.size() > 4)
        stop("Too many config. files: " + std::to_string(fileNames.size() - 2) +
             " compared strategies given, at most 2 are supported");
    open(mainFile, 0, "the main configuration file");
}

void ConfigReader::open(ConfigFile& file, size_t index, const std::string& role) {
    const std::string& name = fileNames[index];
    std::string why;
    if (index < texts.size() && texts[index])
        file.setText(name, *texts[index]);
    else if (!file.load(name, &why))
        specError("Cannot open " + name, name + ": " + why + " (" + role + ")");
    for (const std::string& note : file.notes()) warn(note);
}

void ConfigReader::warn(const std::string& text) {
    p.warnings.push_back(text);
    if (errorMessagesPrinted()) fprintf(stderr, "warning: %s\n", text.c_str());
}

void ConfigReader::openOtherFiles() {
    if (fileNames.size() > 1) {
        extra = std::make_unique<ConfigFile>();
        open(*extra, 1, "the extra configuration file, --extra-cfg");
    }
    p.nExtraStrategies = fileNames.size() > 2 ? static_cast<int>(fileNames.size()) - 2 : 0;
    compared.resize(static_cast<size_t>(p.nExtraStrategies));
    for (int i = 0; i < p.nExtraStrategies; i++)
        open(compared[i], 2 + i, "compared strategy " + std::to_string(i + 1) + ", --compare-strategies");
}

void ConfigReader::readSection(Section section) {
    for (const KeywordEntry& entry : keywordTable())
        if (entry.section == section) request(entry);
}

void ConfigReader::request(const KeywordEntry& entry) {
    if (!conditionHolds(entry.condition)) return;
    requested[keywordRank(entry)] = true;
    switch (entry.kind) {
        case KeywordKind::Values:
        case KeywordKind::SeparateValues:
        case KeywordKind::NoValue: {
            // The one repeated keyword comes once per fitness group.
            const int times = entry.presence == Presence::Repeated ? std::max(0, p.nFitnessGroups) : 1;
            for (int g = 0; g < times; g++) readValueKeyword(entry, g);
            break;
        }
        default:
            readBlocks(entry);
    }
}

bool ConfigReader::conditionHolds(const Condition& condition) const {
    return condition.holds([this](const std::string& keyword) -> const std::string* {
        const auto it = readKeywords.find(keyword);
        return it == readKeywords.end() ? nullptr : &it->second.value;
    });
}

bool ConfigReader::matchKeyword(ConfigFile& file, const KeywordEntry& entry, bool required) {
    if (file.matchKeyword(entry.name)) return true;
    const Word w = file.peek();
    if (w.atEnd) {
        if (required) specError(std::string("Could not find keyword: ") + entry.name, endOfFile(file, entry.name));
        return false;
    }
    if (!required) return false;
    if (absentFlag(file, entry, w)) return false;
    std::string text = keywordExpected(entry.name, w.text);
    if (file.lastKeyword() == "optionalInfo" && !findKeyword(w.text)) text += " (optionalInfo takes no value)";
    problem(file, w.line, text);
    return false;
}

// A required flag whose keyword is left out reads as 0, and stored configurations rely on
// it. Only a later keyword shows that it was left out: a word that is no keyword is more
// likely a misspelt flag, an earlier one a keyword out of order, and both stay errors.
bool ConfigReader::absentFlag(const ConfigFile& file, const KeywordEntry& entry, const Word& next) {
    const bool flagOnly = entry.values.size() == 1 && entry.values[0].type == ValueType::Flag;
    const KeywordEntry* found = findKeyword(next.text);
    if (!flagOnly || !found || keywordRank(*found) <= keywordRank(entry)) return false;
    // After an error the reader stands before a word it could not place; it reads on only to
    // report that first error.
    if (!firstProblem.empty()) return true;
    warn(where(file, next.line) + entry.name + " is missing before \"" + next.text + "\": " + entry.name +
         " 0 is used");
    return true;
}

void ConfigReader::readValueKeyword(const KeywordEntry& entry, int repetition) {
    const bool required = entry.presence != Presence::Optional;
    const bool matched = matchKeyword(mainFile, entry, required);
    const int line = mainFile.lastKeywordLine();
    const bool flagOnly = entry.values.size() == 1 && entry.values[0].type == ValueType::Flag;
    if (!matched && required && flagOnly) {
        store(entry.values[0].field(p, 0), 0);  // a required flag whose keyword is missing reads as 0
    } else if (matched || required) {
        // A required keyword's value is read even where the keyword is missing.
        const bool sole = entry.values.size() == 1 && entry.values[0].count == 1;
        std::string first, text;
        bool ok = true;
        for (const ValueRule& v : entry.values) {
            for (int i = 0; i < v.count && ok; i++) {
                const FieldRef field =
                    v.field ? v.field(p, entry.presence == Presence::Repeated ? repetition : i) : FieldRef{};
                const bool converted = readValue(mainFile, entry, v, field, sole, &text);
                if (first.empty()) first = text;
                // One scan of all values stops at the first that does not convert.
                ok = converted || entry.kind == KeywordKind::SeparateValues;
            }
        }
        if (matched && !readKeywords.count(entry.name)) readKeywords[entry.name] = {first, line};
    }
    if (matched && entry.values.empty()) readKeywords[entry.name] = {"", line};
    afterRead(entry, matched);
}

bool ConfigReader::readValue(ConfigFile& file, const KeywordEntry& entry, const ValueRule& value, FieldRef field,
                             bool sole, std::string* text) {
    if (value.type == ValueType::Flag)
        return readFlag(file, sole ? std::string(entry.name) : std::string(entry.name) + " " + value.label, field, sole,
                        text);
    const Word w = file.peek();
    checkValueText(file, w,
                   entry.values.size() == 1 ? std::string(entry.name) : std::string(entry.name) + " " + value.label,
                   value, field, !rangeCheckedLater(entry, value));
    const Scan scan = w.atEnd ? Scan{} : value.type == ValueType::Real ? scanReal(w.text) : scanWhole(w.text);
    *text = "";
    if (scan.length == 0) return false;
    store(field, scan.value);
    file.consume(scan.length);
    *text = w.text.substr(0, scan.length);
    if (value.unusual && firstProblem.empty() && (scan.value < value.usualMin || scan.value > value.usualMax))
        warn(where(file, file.lastKeywordLine()) + entry.name + " " + *text + ": " + value.unusual);
    return true;
}

bool ConfigReader::readFlag(ConfigFile& file, const std::string& name, FieldRef field, bool sole, std::string* text) {
    const Word w = file.peek();
    const Scan scan = w.atEnd ? Scan{} : scanWhole(w.text);
    const long long value = scan.length ? clampToInt64(scan.value) : -1;
    if (scan.length == 0 || (value != 0 && value != 1)) {
        // The number read, also where it does not fit an int; -1 where there is none.
        const bool beyond = value == LLONG_MAX || value == LLONG_MIN;
        const std::string written = scan.length == 0 ? "-1"
                                    : beyond         ? w.text.substr(0, scan.length)
                                                     : std::to_string(value);
        if (errorMessagesPrinted() && sole)
            printf("%s=%s incorrect\n", name.c_str(), written.c_str());
        else if (errorMessagesPrinted())
            printf("%s incorrect\n", written.c_str());
        specError("", where(file, file.lastKeywordLine()) + name + " needs 0 or 1, found " + foundAt(file, w));
    }
    if (scan.length != w.text.size())
        problem(file, file.lastKeywordLine(), name + " needs 0 or 1, found " + foundAt(file, w));
    store(field, value);
    file.consume(scan.length);
    *text = value ? "1" : "0";
    return true;
}

void ConfigReader::checkValueText(const ConfigFile& file, const Word& word, const std::string& name,
                                  const ValueRule& value, FieldRef field, bool rangeChecked) {
    std::string hint = word.atEnd ? "" : valueHint(word.text, value.type);
    bool ok = !word.atEnd;
    if (ok && value.type == ValueType::Real) {
        double v;
        ok = parseReal(word.text, &v) && (!rangeChecked || (v >= value.min && v <= value.max));
    } else if (ok) {
        long double v, lo, hi;
        storageRange(field, &lo, &hi);
        const bool whole = scanWhole(word.text).length == word.text.size();
        const bool parsed = parseWhole(word.text, &v);
        ok = parsed && v >= lo && v <= hi && (!rangeChecked || (v >= value.min && v <= value.max));
        // A whole number beyond what the field holds; the range message would not say why.
        if (whole && (!parsed || v > hi) && hint.empty()) hint = " (too large)";
    }
    if (!ok)
        problem(file, file.lastKeywordLine(),
                name + " needs " + describeRange(value) + ", found " + foundAt(file, word) + hint);
}

void ConfigReader::finish() {
    if (!firstProblem.empty()) NK_FATAL(Config, "%s\n", firstProblem.c_str());
}

void ConfigReader::problem(const ConfigFile& file, int line, const std::string& text) {
    if (firstProblem.empty()) firstProblem = where(file, line) + text;
}

void ConfigReader::specError(const std::string& firstLine, const std::string& details) {
    std::string text = firstLine + "\n" + details + "\n";
    if (!firstProblem.empty()) text += "first problem: " + firstProblem + "\n";
    NK_FATAL(Config, "%s", text.c_str());
}

void ConfigReader::stop(const std::string& text) {
    NK_FATAL(Config, "%s\n", firstProblem.empty() ? text.c_str() : firstProblem.c_str());
}

// The found word, with its line when that is not the line of the keyword it belongs to.
std::string ConfigReader::foundAt(const ConfigFile& file, const Word& w) const {
    const bool elsewhere = !w.atEnd && w.line != file.lastKeywordLine();
    return foundText(w) + (elsewhere ? " on line " + std::to_string(w.line) : "");
}

std::string ConfigReader::where(const ConfigFile& file, int line) const {
    return file.name() + (line > 0 ? ":" + std::to_string(line) : "") + ": ";
}

// --- checks that follow a keyword's values ------------------------------------------------

void ConfigReader::afterRead(const KeywordEntry& entry, bool matched) {
    using Check = void (ConfigReader::*)(const KeywordEntry&, bool);
    static const std::pair<const char*, Check> checks[] = {
        {"k", &ConfigReader::checkLandscapeSize},
        {"nRuns", &ConfigReader::applyRunOverride},
        {"subsetOfAgentsFitness", &ConfigReader::startSubsetGroups},
        {"lastAgentFitness", &ConfigReader::completeSubsetGroups},
        {"nFitnessGroups", &ConfigReader::checkGroupCount},
        {"maxMemSize", &ConfigReader::unboundMemory},
        {"explore", &ConfigReader::checkExploreRange},
        {"explore2", &ConfigReader::checkExploreRange},
        {"landscapeseed", &ConfigReader::warnAboutSeed},
        {"startseed", &ConfigReader::warnAboutSeed},
        {"searchseed", &ConfigReader::warnAboutSeed},
    };
    for (const auto& [name, check] : checks)
        if (strcmp(name, entry.name) == 0) (this->*check)(entry, matched);
}

void ConfigReader::checkLandscapeSize(const KeywordEntry&, bool) {
    if (p.n < 1 || p.n > Point::kMaxN || p.k > p.n - 1) {
        char first[80];
        snprintf(first, sizeof first, "n=%u or k=%u out of bounds", p.n, p.k);
        const std::string maxN = std::to_string(Point::kMaxN);
        specError(first, where(mainFile, mainFile.lastKeywordLine()) + "n must be from 1 to " + maxN +
                             " (a point holds " + maxN + " bits) and k from 0 to n - 1; n is " + std::to_string(p.n) +
                             " and k is " + std::to_string(p.k));
    }
    p.nPoints = 1UL << p.n;
    p.nContexts = 1UL << p.k;
}

void ConfigReader::applyRunOverride(const KeywordEntry& entry, bool) {
    if (nRunsOverride > 0) p.nRuns = static_cast<unsigned int>(nRunsOverride);
    const ValueRule& runs = entry.values[0];
    if (p.nRuns >= runs.min && p.nRuns <= runs.max) return;
    const std::string text = "nRuns needs " + describeRange(runs) + ", found \"" + std::to_string(p.nRuns) + "\"";
    if (nRunsOverride > 0)
        problemText("--num-runs " + std::to_string(nRunsOverride) + ": " + text);
    else
        problem(mainFile, mainFile.lastKeywordLine(), text);
}

void ConfigReader::startSubsetGroups(const KeywordEntry&, bool matched) {
    if (matched && readKeywords["subsetOfAgentsFitness"].value == "1") p.nFitnessGroups = 2;
}

void ConfigReader::completeSubsetGroups(const KeywordEntry&, bool) {
    if (p.nAgents < 1) {
        problem(mainFile, mainFile.lastKeywordLine(),
                "subsetOfAgentsFitness 1 needs nAgents above 0, not " + std::to_string(p.nAgents));
        return;
    }
    // Group 1 is the rest of the ring of agents.
    p.firstFitnessAgent[1] = static_cast<int>((p.lastFitnessAgent[0] + 1LL) % p.nAgents);
    p.lastFitnessAgent[1] =
        static_cast<int>((p.nAgents + static_cast<long long>(p.firstFitnessAgent[0]) - 1) % p.nAgents);
}

void ConfigReader::checkGroupCount(const KeywordEntry& entry, bool matched) {
    if (!matched) return;
    const std::string text = std::string("nFitnessGroups needs ") + describeRange(entry.values[0]) + ", found " +
                             std::to_string(p.nFitnessGroups);
    if (p.nFitnessGroups > kMaxFitnessGroups)
        specError("Max value for nFitnessGroups is " + std::to_string(kMaxFitnessGroups),
                  where(mainFile, mainFile.lastKeywordLine()) + text);
    if (p.nFitnessGroups < 0) problem(mainFile, mainFile.lastKeywordLine(), text);
}

void ConfigReader::unboundMemory(const KeywordEntry&, bool) {
    if (p.maxMemSize == 0) p.maxMemSize = INT_MAX;
}

// The explore distance is drawn between ceil(low*n) and floor(high*n). The products are
// rounded to float first, so that 0.28 of 25 (7.000000000000001 in double) is distance 7.
void ConfigReader::checkExploreRange(const KeywordEntry& entry, bool matched) {
    const bool second = strcmp(entry.name, "explore2") == 0;
    if (second && !matched) return;
    const SearchPhaseConfigRange& c = second ? p.exploreSearchConfig2 : p.exploreSearchConfig;
    const float low = static_cast<float>(c.rangeLow * p.n);
    const float high = static_cast<float>(c.rangeHigh * p.n);
    if (c.rangeLow >= 0 && c.rangeHigh <= 1 && std::ceil(low) <= std::floor(high)) return;
    char first[120], details[200];
    snprintf(first, sizeof first, "range [%f..%f] won't work", low, high);
    snprintf(details, sizeof details,
             "%s needs LOW and HIGH from 0 to 1 with a whole distance between LOW x n and HIGH x n; found %g and "
             "%g with n %u",
             entry.name, c.rangeLow, c.rangeHigh, p.n);
    specError(first, where(mainFile, mainFile.lastKeywordLine()) + details);
}

void ConfigReader::warnAboutSeed(const KeywordEntry& entry, bool matched) {
    const int seed = *std::get<int*>(entry.values[0].field(p, 0));
    if (!matched || !firstProblem.empty() || (seed >= 0 && seed <= 65535)) return;
    warn(where(mainFile, mainFile.lastKeywordLine()) + entry.name + " " + std::to_string(seed) + " acts as " +
         std::to_string(seed & 0xffff) + ": only the low 16 bits of a seed are used");
}

// --- strategy and agent parameter blocks --------------------------------------------------

void ConfigReader::readBlocks(const KeywordEntry& entry) {
    switch (entry.kind) {
        case KeywordKind::Network:
        case KeywordKind::S1Table:
        case KeywordKind::S2Table: {
            // The main file wins for the general strategy; the extra file's block counts only without one.
            ConfigFile* file = matchBlock(&mainFile, entry)     ? &mainFile
                               : matchBlock(extra.get(), entry) ? extra.get()
                                                                : nullptr;
            if (file) readGeneralBlock(*file, entry);
            break;
        }
        case KeywordKind::AgentParams:
            while (matchBlock(&mainFile, entry)) readAgentParams(mainFile, 0, agentsAndCompared());
            rejectLeftoverWords(mainFile);
            while (matchBlock(extra.get(), entry)) readAgentParams(*extra, 0, agentsAndCompared());
            break;
        default:
            // Blocks for listed agents come from both files, main first, so that later ones win.
            for (ConfigFile* file : {&mainFile, extra.get()})
                while (matchBlock(file, entry)) readListBlock(*file, entry);
    }
    recording = nullptr;
}

bool ConfigReader::matchBlock(ConfigFile* file, const KeywordEntry& entry) {
    if (!file || !file->matchKeyword(entry.name)) return false;
    if (!readKeywords.count(entry.name)) readKeywords[entry.name] = {"", file->lastKeywordLine()};
    p.blocksRead.push_back({entry.name, {}});
    recording = &p.blocksRead.back();
    return true;
}

void ConfigReader::record(const std::string& word) {
    if (recording) recording->words.push_back(word);
}

void ConfigReader::readGeneralBlock(ConfigFile& file, const KeywordEntry& entry) {
    if (entry.kind == KeywordKind::Network) {
        readNetwork(file, entry.name, p.generalStrategy);
    } else if (entry.kind == KeywordKind::S1Table) {
        p.generalStrategy.type = StrategyType0;
        readS1(file, entry.name, p.generalStrategy);
    } else {
        readS2(file, entry.name, p.generalStrategy);
    }
}

void ConfigReader::readListBlock(ConfigFile& file, const KeywordEntry& entry) {
    switch (entry.kind) {
        case KeywordKind::NetworkList: {
            AgentStrategy scratch;
            readNetwork(file, entry.name, scratch);
            for (int id : readAgentList(file, entry.name, agentsAndCompared(), "Invalid strategy"))
                p.agentStrategies[id] = scratch;
            break;
        }
        case KeywordKind::S2List:
            readS2List(file, entry.name, 0, agentsAndCompared());
            break;
        default:
            readS1List(file, entry.name, entry.kind == KeywordKind::S1List4x6 ? StrategyType1 : StrategyType0, 0,
                       agentsAndCompared());
    }
}

void ConfigReader::readNetwork(ConfigFile& file, const char* keyword, AgentStrategy& s) {
    const int line = file.lastKeywordLine();
    const Word fileWord = file.peek();
    if (fileWord.atEnd) problem(file, fileWord.line, std::string(keyword) + " needs a genome file name");
    const std::string path = fileWord.text;
    file.consume(path.size());
    record(path);
    const Word indexWord = file.peek();
    checkValueText(file, indexWord, std::string(keyword) + " index", valueOf("NNStrategy", 1), FieldRef{}, true);
    const Scan scan = indexWord.atEnd ? Scan{} : scanWhole(indexWord.text);
    file.consume(scan.length);
    const int index =
        scan.length ? static_cast<int>(std::clamp<long long>(clampToInt64(scan.value), INT_MIN, INT_MAX)) : -1;
    record(std::to_string(index));
    // Each activator serves one fetch and the records own the networks, so the previous
    // activator is of no further use.
    p.netActivator = std::make_unique<NEAT::NetworkActivator>(true);
    NeuralNet& nn = s.nn;
    try {
        p.netActivator->loadPopulation(path, *p.neatGlobals);
        nn.net = NEATNetworkPtr(p.netActivator->fetchFastNetwork(index));
        findNodeIndices(nn);
    } catch (const NEAT::GenomeError& thrown) {
        reportGenomeError(where(file, line) + keyword + ": genome file " + describePath(path), path, thrown, index);
    }
    p.usingNNStrategy = true;
    readNetworkType(file, s);
}

void ConfigReader::reportGenomeError(const std::string& what, const std::string& path, const NEAT::GenomeError& thrown,
                                     int index) {
    const NEAT::GeneticPopulation* pop = p.netActivator->getPopulation();
    const bool outOfRange = thrown.fault == NEAT::GenomeFault::OutOfRange;
    std::string detail = what;
    if (pop && outOfRange) {
        const int last = pop->getGenerationCount() - 1;
        detail += ": individual " + std::to_string(index) + ", generation " +
                  std::to_string(pop->getGeneration(last).getGenerationNumber()) + " has " +
                  std::to_string(pop->getIndividualCount()) + " (the last generation; individuals count from 0)";
    } else if (thrown.fault == NEAT::GenomeFault::Unreadable) {
        detail += ": " + whyUnreadable(path);
    }
    // The genome reader's own message first (a range error on standard output, as it always
    // was), then the word that callers scripting many runs look for.
    const std::string cause = outOfRange ? std::string(thrown.what()) : std::string(thrown.what()) + "\n";
    std::string details = detail + "\n";
    if (!firstProblem.empty()) details += "first problem: " + firstProblem + "\n";
    if (errorMessagesPrinted()) {
        fputs(cause.c_str(), outOfRange ? stdout : stderr);
        printf("error");
        fputs(details.c_str(), stderr);
    }
    fatalExit(ErrorKind::Genome, 0, cause + details);
}

void ConfigReader::readNetworkType(ConfigFile& file, AgentStrategy& s) {
    const StrategyType fallback = defaultNetworkType(p.groupSize >= 2);
    s.type = fallback;
    if (file.matchKeyword("type")) {
        const Word w = file.peek();
        checkValueText(file, w, "type", valueOf("NNStrategy", 2), FieldRef{}, true);
        const Scan scan = w.atEnd ? Scan{} : scanWhole(w.text);
        file.consume(scan.length);
        if (scan.length && isStrategyType(scan.value))
            s.type = static_cast<StrategyType>(static_cast<int>(scan.value));
        else if (scan.length)
            warn(where(file, w.line) + "type " + w.text.substr(0, scan.length) + " is not a strategy type (0 to " +
                 std::to_string(StrategyTypeNum - 1) + "): the default type " +
                 std::to_string(static_cast<int>(fallback)) + " is used");
    }
    // Written back with the type in effect, so that it reads back the same with any groupSize.
    record("type");
    record(std::to_string(static_cast<int>(s.type)));
}

void ConfigReader::readS1(ConfigFile& file, const char* keyword, AgentStrategy& s) {
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

void ConfigReader::readS2(ConfigFile& file, const char* keyword, AgentStrategy& s) {
    int index = 0;
    for (auto& row : s.s2.placeProbs) {
        for (double& v : row) v = readWeight(file, keyword, index++, 4, "Invalid strategy " + file.name());
        const double sum = 0 + row[0] + row[1];
        for (double& v : row) v = sum > 1e-5 ? v / sum : 0.5;
    }
}

double ConfigReader::readWeight(ConfigFile& file, const char* keyword, int index, int count,
                                const std::string& specFirstLine) {
    const Word w = file.peek();
    const Scan scan = w.atEnd ? Scan{} : scanReal(w.text);
    const std::string needs =
        std::string(keyword) + " needs " + std::to_string(count) + " weights (numbers of 0 or more)";
    if (scan.length == 0)
        specError(specFirstLine, where(file, file.lastKeywordLine()) + needs + ", found " + std::to_string(index) +
                                     " before " + foundAt(file, w) + valueHint(w.text, ValueType::Real));
    double v;
    if (!parseReal(w.text, &v) || v < 0)
        problem(file, file.lastKeywordLine(),
                needs + "; weight " + std::to_string(index + 1) + " is " + foundAt(file, w));
    file.consume(scan.length);
    record(formatReal(static_cast<double>(scan.value)));
    return static_cast<double>(scan.value);
}

std::vector<int> ConfigReader::readAgentList(ConfigFile& file, const char* keyword, long long limit,
                                             const std::string& specFirstLine) {
    Word w = file.peek();
    Scan scan = w.atEnd ? Scan{} : scanWhole(w.text);
    if (scan.length == 0)
        specError(specFirstLine, where(file, file.lastKeywordLine()) + keyword +
                                     " needs the number of agents it lists, found " + foundAt(file, w));
    checkValueText(file, w, std::string(keyword) + " agent count", valueOf("nAgents", 0), FieldRef{}, true);
    file.consume(scan.length);
    const long long count = clampToInt64(scan.value);
    record(std::to_string(count));
    std::vector<int> ids;
    for (long long i = 0; i < count; i++) {
        w = file.peek();
        scan = w.atEnd ? Scan{} : scanWhole(w.text);
        if (scan.length == 0)
            specError(specFirstLine, where(file, file.lastKeywordLine()) + keyword + " lists " + std::to_string(count) +
                                         " agents, but found " + foundAt(file, w) + " after " + std::to_string(i));
        long double id;
        if (!parseWhole(w.text, &id) || id < 0 || id >= limit)
            problem(file, file.lastKeywordLine(),
                    std::string(keyword) + " lists agent " + foundAt(file, w) + agentRange(limit));
        file.consume(scan.length);
        ids.push_back(static_cast<int>(std::clamp<long long>(clampToInt64(scan.value), INT_MIN, INT_MAX)));
        record(std::to_string(ids.back()));
    }
    return ids;
}

// Blocks of the main and extra file name agents, and with keys nAgents + i the compared strategies.
long long ConfigReader::agentsAndCompared() const { return p.nAgents + static_cast<long long>(p.nExtraStrategies); }

std::string ConfigReader::agentRange(long long limit) const {
    if (readingCompared) return ", but a compared-strategy file names agent 0 (its own entry) only";
    if (limit > p.nAgents)
        return ", outside the agents 0 to " + std::to_string(p.nAgents - 1) + " and the compared strategies " +
               std::to_string(p.nAgents) + " to " + std::to_string(limit - 1);
    return ", outside the agents 0 to " + std::to_string(limit - 1);
}

// The key of an agent's entry: its index plus the offset of its file (compared strategies).
int ConfigReader::agentKey(long long offset, int agentId) {
    const long long key = offset + agentId;
    if (key < INT_MIN || key > INT_MAX) stop("Agent index " + std::to_string(agentId) + " is out of range");
    return static_cast<int>(key);
}

void ConfigReader::readS1List(ConfigFile& file, const char* keyword, StrategyType type, long long offset,
                              long long limit) {
    AgentStrategy scratch;
    scratch.type = type;
    readS1(file, keyword, scratch);
    for (int id : readAgentList(file, keyword, limit, "Invalid strategy " + file.name())) {
        AgentStrategy& entry = p.agentStrategies[agentKey(offset, id)];
        entry.s1 = scratch.s1;
        // A table in another layout than the default type is only readable as that type.
        if (type != StrategyType0) entry.type = type;
    }
}

void ConfigReader::readS2List(ConfigFile& file, const char* keyword, long long offset, long long limit) {
    AgentStrategy scratch;
    readS2(file, keyword, scratch);
    for (int id : readAgentList(file, keyword, limit, "Invalid strategy " + file.name()))
        p.agentStrategies[agentKey(offset, id)].s2 = scratch.s2;
}

void ConfigReader::readAgentParams(ConfigFile& file, long long offset, long long limit) {
    const std::vector<int> ids = readAgentList(file, "agentParamsBegin", limit, "Invalid number");
    CustomParameters params = p.generalCustomParams;
    const KeywordEntry& depth = *findKeyword("maxExploitTreeDepth");
    for (;;) {
        std::string text;
        if (file.matchKeyword("agentParamsEnd")) break;
        if (file.matchKeyword("useAllExploitAttempts")) {
            readFlag(file, "useAllExploitAttempts", &params.exploitSearchConfig.useAllAttempts, true, &text);
        } else if (file.matchKeyword(depth.name)) {
            readValue(file, depth, depth.values[0], &params.exploitSearchConfig.maxTreeDepth, true, &text);
        } else {
            const Word w = file.peek();
            stop(where(file, w.line) + "agentParamsBegin block: found " + foundText(w) +
                 " where useAllExploitAttempts, maxExploitTreeDepth or agentParamsEnd is expected");
        }
    }
    for (int id : ids) p.agentCustomParams[agentKey(offset, id)] = params;
    // Both settings as they are in effect: the block then reads back the same.
    for (const std::string& word :
         {std::string("useAllExploitAttempts"), std::string(params.exploitSearchConfig.useAllAttempts ? "1" : "0"),
          std::string(depth.name), std::to_string(params.exploitSearchConfig.maxTreeDepth),
          std::string("agentParamsEnd")})
        record(word);
}

// Everything of a main or compared-strategy file is read in one fixed order, so a word
// left over means a keyword stood out of place and the values after it were misread.
// (Only the extra file may keep unread blocks: its general strategy yields to the main file's.)
void ConfigReader::rejectLeftoverWords(ConfigFile& file) {
    file.skipComments();
    const Word w = file.peek();
    if (w.atEnd) return;
    std::string text = "unexpected " + foundText(w) + " after the last keyword read";
    if (!file.lastKeyword().empty())
        text += " (" + file.lastKeyword() + " on line " + std::to_string(file.lastKeywordLine()) + ")";
    problem(file, w.line, text + explainWord(w.text, nullptr));
}

void ConfigReader::readComparedStrategies() {
    readingCompared = true;
    for (int i = 0; i < p.nExtraStrategies; i++) {
        ConfigFile& file = compared[i];
        const long long offset = static_cast<long long>(p.nAgents) + i;
        const std::string start =
            "a compared-strategy file holds searchProbsSpecificAgents, then "
            "placeProbsSpecificAgents, then agent parameter blocks; found ";
        if (!file.matchKeyword("searchProbsSpecificAgents"))
            specError("S1 strategy missing!", where(file, file.peek().line) + start + foundText(file.peek()));
        readS1List(file, "searchProbsSpecificAgents", StrategyType0, offset, 1);
        if (!file.matchKeyword("placeProbsSpecificAgents"))
            specError("S2 strategy missing!", where(file, file.peek().line) + start + foundText(file.peek()));
        readS2List(file, "placeProbsSpecificAgents", offset, 1);
        while (file.matchKeyword("agentParamsBegin")) readAgentParams(file, offset, 1);
        rejectLeftoverWords(file);
    }
}

// --- messages -------------------------------------------------------------------------------

void ConfigReader::problemText(const std::string& text) {
    if (firstProblem.empty()) firstProblem = text;
}

std::string ConfigReader::keywordExpected(const char* expected, const std::string& found) const {
    return std::string("keyword ") + expected + " expected, found " + shownWord(found) + explainWord(found, expected);
}

// Why a word stands where another keyword is expected (null: after the last keyword read).
std::string ConfigReader::explainWord(const std::string& word, const char* expected) const {
    if (const KeywordEntry* found = findKeyword(word)) return ": " + placeOf(*found, expected);
    if (strcasecmp(word.c_str(), "type") == 0) return ": type belongs right after NNStrategy FILE INDEX";
    if (strcasecmp(word.c_str(), "agentParamsEnd") == 0) return ": agentParamsEnd ends an agentParamsBegin block";
    double number;
    if (parseReal(word, &number)) return ": a value without its keyword, or one value too many";
    if (const char* near = nearestKeyword(word)) return std::string(": did you mean ") + near + "?";
    return ": not a keyword";
}

std::string ConfigReader::placeOf(const KeywordEntry& found, const char* expected) const {
    const std::vector<KeywordEntry>& table = keywordTable();
    const int at = keywordRank(found);
    const int now = expected ? keywordRank(*findKeyword(expected)) : static_cast<int>(table.size());
    if (at > now) return std::string(found.name) + " belongs after " + expected;
    if (!requested[at])
        return std::string(found.name) + " is not read in this configuration: it is read only " +
               found.condition.inWords();
    if (found.presence == Presence::Repeated)
        return "more agentFitnessGroup lines than nFitnessGroups (" + std::to_string(p.nFitnessGroups) + ")";
    // It was asked for earlier and not found: name the keyword it should precede.
    for (int r = at + 1; r < now; r++) {
        const auto it = readKeywords.find(table[r].name);
        if (it != readKeywords.end())
            return std::string(found.name) + " belongs before " + table[r].name + " (line " +
                   std::to_string(it->second.line) + ")";
    }
    return std::string(found.name) + " belongs before " + (expected ? expected : "the end of the file");
}

std::string ConfigReader::endOfFile(const ConfigFile& file, const char* keyword) const {
    if (file.lastKeyword().empty())
        return file.name() + ": no keyword in the file (empty, only comments, or not readable) where " + keyword +
               " is expected";
    return file.name() + ": the file ends where keyword " + keyword + " is expected (the last keyword read is " +
           file.lastKeyword() + " on line " + std::to_string(file.lastKeywordLine()) + ")";
}
