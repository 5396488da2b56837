// Reading the main file's keyword sequence: each keyword where it is asked for, its values,
// and its own check; blocks go to BlockReader.
#include "configreader.h"

#include <algorithm>

#include "configtext.h"
#include "keywordchecks.h"

ConfigReader::ConfigReader(SimuParameters& params, const std::vector<std::string>& names, int runsOverride,
                           const ConfigTexts& fileTexts)
    : p_(params),
      fileNames_(names),
      texts_(fileTexts),
      nRunsOverride_(runsOverride),
      messages_(params.warnings),
      values_(messages_),
      blocks_(params, messages_, values_, progress_) {
    if (fileNames_.empty()) messages_.specError("No config. files!", "no configuration file was given");
    // Agents carry room for two compared strategies only.
    if (fileNames_.size() > 4)
        messages_.stop("Too many config. files: " + std::to_string(fileNames_.size() - 2) +
                       " compared strategies given, at most 2 are supported");
    open(mainFile_, 0, "the main configuration file");
}

void ConfigReader::open(ConfigFile& file, size_t index, const std::string& role) {
    const std::string& name = fileNames_[index];
    std::string why;
    if (index < texts_.size() && texts_[index])
        file.setText(name, *texts_[index]);
    else if (!file.load(name, &why))
        messages_.specError("Cannot open " + name, name + ": " + why + " (" + role + ")");
    for (const std::string& note : file.notes()) messages_.warn(note);
}

void ConfigReader::openOtherFiles() {
    if (fileNames_.size() > 1) {
        extra_ = std::make_unique<ConfigFile>();
        open(*extra_, 1, "the extra configuration file, --extra-cfg");
    }
    p_.nExtraStrategies = fileNames_.size() > 2 ? static_cast<int>(fileNames_.size()) - 2 : 0;
    compared_.resize(static_cast<size_t>(p_.nExtraStrategies));
    for (int i = 0; i < p_.nExtraStrategies; i++)
        open(compared_[i], 2 + i, "compared strategy " + std::to_string(i + 1) + ", --compare-strategies");
}

void ConfigReader::readSection(Section section) {
    for (const KeywordEntry& entry : keywordTable())
        if (entry.section == section) request(entry);
}

void ConfigReader::request(const KeywordEntry& entry) {
    if (!progress_.holds(entry.condition)) return;
    progress_.noteRequested(entry);
    if (isBlock(entry)) {
        blocks_.readBlocks(entry, mainFile_, extra_.get());
        return;
    }
    // The one repeated keyword comes once per fitness group.
    const int times = entry.presence == Presence::Repeated ? std::max(0, p_.nFitnessGroups) : 1;
    for (int g = 0; g < times; g++) readValueKeyword(entry, g);
}

bool ConfigReader::matchKeyword(ConfigFile& file, const KeywordEntry& entry, bool required) {
    if (file.matchKeyword(entry.name)) return true;
    const Word w = file.peek();
    if (w.atEnd) {
        if (required)
            messages_.specError(std::string("Could not find keyword: ") + entry.name,
                                ReadProgress::endOfFile(file, entry.name));
        return false;
    }
    if (!required) return false;
    if (absentFlag(file, entry, w)) return false;
    std::string text = progress_.keywordExpected(entry.name, w.text, p_.nFitnessGroups);
    const KeywordEntry* last = findKeyword(file.lastKeyword());
    if (last && last->kind == KeywordKind::NoValue && !findKeyword(w.text))
        text += std::string(" (") + last->name + " takes no value)";
    messages_.problem(file, w.line, text);
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
    if (messages_.anyProblem()) return true;
    messages_.warn(ConfigMessages::where(file, next.line) + entry.name + " is missing before \"" + next.text +
                   "\": " + entry.name + " 0 is used");
    return true;
}

void ConfigReader::readValueKeyword(const KeywordEntry& entry, int repetition) {
    const bool required = entry.presence != Presence::Optional;
    const bool matched = matchKeyword(mainFile_, entry, required);
    const int line = mainFile_.lastKeywordLine();
    const bool flagOnly = entry.values.size() == 1 && entry.values[0].type == ValueType::Flag;
    std::string first;
    if (!matched && required && flagOnly)
        store(entry.values[0].field(p_, 0), 0);  // a required flag whose keyword is missing reads as 0
    else if (matched || required)
        first = readValues(entry, repetition);  // a required keyword's value is read even where it is missing
    if (matched) progress_.noteRead(entry, first, line);
    if (entry.check) entry.check({p_, messages_, mainFile_, entry, matched, first, nRunsOverride_, progress_});
}

// Every value of the keyword; returns the first as read.
std::string ConfigReader::readValues(const KeywordEntry& entry, int repetition) {
    const bool sole = entry.values.size() == 1 && entry.values[0].count == 1;
    std::string first, text;
    bool ok = true;
    for (const ValueRule& v : entry.values) {
        for (int i = 0; i < v.count && ok; i++) {
            const FieldRef field =
                v.field ? v.field(p_, entry.presence == Presence::Repeated ? repetition : i) : FieldRef{};
            const bool converted = values_.readValue(mainFile_, entry, v, field, sole, &text);
            if (first.empty()) first = text;
            // One scan of all values stops at the first that does not convert.
            ok = converted || entry.kind == KeywordKind::SeparateValues;
        }
    }
    return first;
}
