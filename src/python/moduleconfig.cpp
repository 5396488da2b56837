// Configurations in memory: reading through the program's reader and editing the written-back text.
#include "moduleconfig.h"

#include <algorithm>

#include "configdump.h"
#include "configfile.h"

namespace {

struct Line {
    int rank;  // of its keyword in the table
    std::string text;
};

// The written-back configuration, one line per keyword or block, in table order.
std::vector<Line> linesOf(const std::string& text) {
    std::vector<Line> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        const KeywordEntry* entry = findKeyword(line.substr(0, line.find(' ')));
        lines.push_back({entry ? keywordRank(*entry) : -1, line});
    }
    return lines;
}

std::string lineOf(const KeywordEntry& entry, const std::vector<std::string>& words) {
    std::string line = entry.name;
    for (const std::string& w : words) line += " " + w;
    return line;
}

void applyEdit(std::vector<Line>& lines, const ModuleConfig::Edit& e) {
    const int rank = keywordRank(*e.first);
    // Where the keyword's lines are, or after the lines of the keywords before it.
    auto at = std::find_if(lines.begin(), lines.end(), [rank](const Line& l) { return l.rank >= rank; });
    const size_t position = static_cast<size_t>(at - lines.begin());
    lines.erase(std::remove_if(lines.begin(), lines.end(), [rank](const Line& l) { return l.rank == rank; }),
                lines.end());
    std::vector<Line> added;
    for (const std::vector<std::string>& words : e.second) added.push_back({rank, lineOf(*e.first, words)});
    lines.insert(lines.begin() + static_cast<long>(position), added.begin(), added.end());
}

std::unique_ptr<SimuParameters> read(const std::string& name, const std::string* text,
                                     std::vector<std::string>& comparedNames) {
    ConfigTexts texts;
    if (text) texts.emplace_back(*text);
    return std::make_unique<SimuParameters>(std::vector<std::string>{name}, comparedNames, 0, 0.0, texts);
}

}  // namespace

ModuleConfig::ModuleConfig(std::string name, std::string text)
    : name_(std::move(name)), text_(std::move(text)), comparedNames_(std::make_unique<std::vector<std::string>>()) {
    params_ = read(name_, &text_, *comparedNames_);
}

ModuleConfig ModuleConfig::fromFile(const std::string& path) {
    ConfigFile file;
    std::string why;
    if (!file.load(path, &why)) {
        // The reader says why, as the program would.
        std::vector<std::string> names;
        read(path, nullptr, names);
    }
    return ModuleConfig(path, file.text());
}

std::vector<std::string> ModuleConfig::keywords() const {
    std::vector<std::string> names;
    for (const Line& l : linesOf(configDump(*params_, ""))) {
        const std::string name = l.text.substr(0, l.text.find(' '));
        if (l.rank >= 0 && (names.empty() || names.back() != name)) names.push_back(name);
    }
    return names;
}

void ModuleConfig::edit(const std::vector<Edit>& edits) {
    std::vector<Line> lines = linesOf(configDump(*params_, ""));
    for (const Edit& e : edits) applyEdit(lines, e);
    std::string text;
    for (const Line& l : lines) text += l.text + "\n";
    auto names = std::make_unique<std::vector<std::string>>();
    std::unique_ptr<SimuParameters> params = read(name_, &text, *names);
    text_ = std::move(text);
    comparedNames_ = std::move(names);
    params_ = std::move(params);
}
