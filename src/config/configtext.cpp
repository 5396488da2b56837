// Message pieces of the configuration reader.
#include "configtext.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Edit distance without regard to case.
size_t distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); j++) row[j] = j;
    for (size_t i = 1; i <= a.size(); i++) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); j++) {
            const size_t up = row[j];
            const bool same =
                tolower(static_cast<unsigned char>(a[i - 1])) == tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string shownWord(const std::string& word) {
    std::string out = "\"";
    for (size_t i = 0; i < word.size() && i < 40; i++) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        char buf[8];
        snprintf(buf, sizeof buf, c < 32 || c >= 127 ? "\\x%02x" : "%c", c);
        out += buf;
    }
    return out + (word.size() > 40 ? "...\"" : "\"");
}

std::string foundText(const Word& word) { return word.atEnd ? "the end of the file" : shownWord(word.text); }

std::string valueHint(const std::string& word, ValueType type) {
    double number;
    if (findKeyword(word)) return " (a keyword: the value is missing)";
    if (!word.empty() && word[0] == '#')
        return " (a comment: the value is missing, or a comment stands among the values)";
    if (type == ValueType::Real && word.find(',') != std::string::npos) return " (write a decimal point)";
    if (type != ValueType::Real && parseReal(word, &number) && scanWhole(word).length != word.size())
        return " (not a whole number)";
    return "";
}

const char* nearestKeyword(const std::string& word) {
    if (word.size() < 3) return nullptr;  // too short to be a near miss of anything
    const char* best = nullptr;
    size_t bestDistance = std::max<size_t>(1, std::min<size_t>(3, word.size() / 4));
    for (const KeywordEntry& entry : keywordTable()) {
        // The distance is at least the difference in length: long words (garbage, binary
        // files) skip the table at once instead of costing a full comparison per keyword.
        const size_t length = strlen(entry.name);
        if ((word.size() > length ? word.size() - length : length - word.size()) > bestDistance) continue;
        const size_t d = distance(word, entry.name);
        if (d <= bestDistance && (!best || d < bestDistance)) {
            best = entry.name;
            bestDistance = d;
        }
    }
    return best;
}

std::string describePath(const std::string& path) {
    std::string out = shownWord(path);
    char cwd[4096];
    if (!path.empty() && path[0] != '/' && getcwd(cwd, sizeof cwd))
        out += std::string(" in the working directory ") + cwd;
    return out;
}

std::string whyUnreadable(const std::string& path) {
    struct stat st;
    if (path.empty()) return "no file name";
    if (stat(path.c_str(), &st) != 0) return strerror(errno);
    if (S_ISDIR(st.st_mode)) return "a directory, not a file";
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return strerror(errno);
    fclose(f);
    return "not a genome population file (not well-formed XML, or not gzip data for a name ending in .gz)";
}
