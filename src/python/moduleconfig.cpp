// Configurations in memory: reading through the program's reader and editing the written-back text.
#include "moduleconfig.h"

#include <algorithm>
#include <cctype>

#include "configdump.h"
#include "configfile.h"
#include "util.h"

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
                                     const std::vector<std::string>& comparedNames) {
    ConfigTexts texts;
    if (text) texts.emplace_back(*text);
    return std::make_unique<SimuParameters>(std::vector<std::string>{name}, comparedNames, 0, 0.0, texts);
}

// Every keyword's words on one line, comments dropped: the reader reads words, so the run is the
// same, and the only line its messages can name is line 1.
std::string oneLine(const std::string& text) {
    std::string words;
    for (const Line& l : linesOf(text)) {
        const size_t first = l.text.find_first_not_of(" \t");
        if (first != std::string::npos && l.text[first] != '#') words += (words.empty() ? "" : " ") + l.text;
    }
    return words + "\n";
}

std::string readNameOf(const std::string& name, const std::vector<int>& setFromPython) {
    if (setFromPython.empty()) return name;
    std::string keys;
    for (int rank : setFromPython) keys += (keys.empty() ? "" : ", ") + std::string(keywordTable()[rank].name);
    return name + " with " + keys + " set from Python";
}

// A reader's message without the place it starts with ("basic.cfg:51: " or "basic.cfg: "), so
// that the same warning read from the file and from an edited text compares equal.
std::string withoutPlace(const std::string& message, const std::string& file) {
    if (message.compare(0, file.size(), file) != 0) return message;
    size_t at = file.size();
    if (message.compare(at, 1, ":") == 0) {
        size_t digits = at + 1;
        while (digits < message.size() && isdigit(static_cast<unsigned char>(message[digits]))) digits++;
        if (digits > at + 1) at = digits;
    }
    return message.compare(at, 2, ": ") == 0 ? message.substr(at + 2) : message;
}

// The warnings of `after` that `before` did not have: a warning is raised once, though the same
// one comes from every reading of the configuration, under another name after an edit.
std::vector<std::string> addedWarnings(const ModuleConfig& before, const ModuleConfig& after) {
    std::vector<std::string> had;
    for (const std::string& w : before.params().warnings) had.push_back(withoutPlace(w, before.readName()));
    std::vector<std::string> added;
    for (const std::string& w : after.params().warnings) {
        const auto seen = std::find(had.begin(), had.end(), withoutPlace(w, after.readName()));
        if (seen == had.end())
            added.push_back(w);
        else
            had.erase(seen);
    }
    return added;
}

}  // namespace

ModuleConfig::ModuleConfig(std::string name, std::string text)
    : ModuleConfig(std::move(name), std::move(text), {}, false) {}

ModuleConfig::ModuleConfig(std::string name, std::string text, std::vector<int> setFromPython, bool madeFromEdits)
    : name_(std::move(name)),
      text_(std::move(text)),
      // Made from Python values, the name alone says where the keywords came from.
      readName_(madeFromEdits ? name_ : readNameOf(name_, setFromPython)),
      readText_(setFromPython.empty() && !madeFromEdits ? text_ : oneLine(text_)),
      setFromPython_(std::move(setFromPython)),
      fromEdits_(madeFromEdits) {
    try {
        params_ = read(readName_, &readText_, {});
    } catch (const FatalExit& e) {
        throw FatalExit(e.kind, e.status, located(e.what()));
    }
    for (std::string& w : params_->warnings) w = located(w);
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

ModuleConfig ModuleConfig::fromEdits(std::string name, const std::vector<Edit>& edits) {
    std::vector<Line> lines;
    for (const Edit& e : edits) applyEdit(lines, e);
    std::string text;
    for (const Line& l : lines) text += l.text + "\n";
    return ModuleConfig(std::move(name), std::move(text), {}, true);
}

ModuleConfig ModuleConfig::copy() const { return fromSource(source()); }

ModuleConfig ModuleConfig::fromSource(const Source& s) {
    return ModuleConfig(s.name, s.text, s.setFromPython, s.fromEdits);
}

std::vector<std::string> ModuleConfig::keywords() const {
    std::vector<std::string> names;
    for (const Line& l : linesOf(configDump(*params_, ""))) {
        const std::string name = l.text.substr(0, l.text.find(' '));
        if (l.rank >= 0 && (names.empty() || names.back() != name)) names.push_back(name);
    }
    return names;
}

std::vector<std::string> ModuleConfig::edit(const std::vector<Edit>& edits) {
    std::vector<Line> lines = linesOf(configDump(*params_, ""));
    std::vector<int> ranks = setFromPython_;
    for (const Edit& e : edits) {
        applyEdit(lines, e);
        ranks.push_back(keywordRank(*e.first));
    }
    std::sort(ranks.begin(), ranks.end());
    ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
    std::string text;
    for (const Line& l : lines) text += l.text + "\n";
    ModuleConfig edited(name_, std::move(text), std::move(ranks), fromEdits_);
    std::vector<std::string> added = addedWarnings(*this, edited);
    *this = std::move(edited);
    return added;
}

std::string ModuleConfig::located(const std::string& message) const {
    if (setFromPython_.empty() && !fromEdits_) return message;
    const std::string lineOne = readName_ + ":1: ";
    std::string out = message;
    for (size_t at = out.find(lineOne); at != std::string::npos; at = out.find(lineOne, at))
        out.replace(at, lineOne.size(), readName_ + ": ");
    return out;
}
