// Configuration files in memory, and the number conversions of their values.
#include "configfile.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Far above any configuration file; without a bound a name such as /dev/zero would take
// all memory.
constexpr size_t kMaxFileBytes = size_t(16) << 20;

bool isSpace(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }

size_t skipSpaces(const std::string& text, size_t pos) {
    while (pos < text.size() && isSpace(text[pos])) pos++;
    return pos;
}

// Editors that write one put it in front of the first keyword, where it would be read as part
// of the first word.
bool skipByteOrderMark(std::string& text) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") != 0) return false;
    text.erase(0, 3);
    return true;
}

// Old Mac editors end lines with a carriage return alone, and such a file has no line feed at
// all. A comment runs to the next line feed, so there the first comment would take the rest of
// the file, and every message would name line 1. (A file with line feeds keeps its carriage
// returns as white space, CR LF files included.)
bool readCarriageReturnsAsLineEnds(std::string& text) {
    if (text.find('\r') == std::string::npos || text.find('\n') != std::string::npos) return false;
    std::replace(text.begin(), text.end(), '\r', '\n');
    return true;
}

}  // namespace

Scan scanWhole(const std::string& word) {
    const char* s = word.c_str();
    size_t i = (s[0] == '+' || s[0] == '-') ? 1 : 0;
    size_t digits = i;
    while (isdigit(static_cast<unsigned char>(s[digits]))) digits++;
    if (digits == i) return {};
    // Beyond 64 bits the value saturates; no field holds such a number anyway.
    errno = 0;
    Scan scan{digits, static_cast<long double>(strtoll(s, nullptr, 10))};
    return scan;
}

Scan scanReal(const std::string& word) {
    const char* s = word.c_str();
    char* end;
    const long double v = strtold(s, &end);
    return {static_cast<size_t>(end - s), v};
}

bool parseWhole(const std::string& word, long double* value) {
    const Scan scan = scanWhole(word);
    if (scan.length == 0 || scan.length != word.size()) return false;
    errno = 0;
    strtoll(word.c_str(), nullptr, 10);
    if (errno == ERANGE) return false;
    *value = scan.value;
    return true;
}

bool parseReal(const std::string& word, double* value) {
    // strtod also takes "inf", "nan" and hexadecimal; none of them is a setting.
    if (word.empty() || word.find_first_of("xXiInN") != std::string::npos) return false;
    char* end;
    errno = 0;
    const double v = strtod(word.c_str(), &end);
    if (static_cast<size_t>(end - word.c_str()) != word.size() || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

bool ConfigFile::load(const std::string& name, std::string* reason) {
    name_ = name;
    FILE* fp = fopen(name.c_str(), "r");
    if (!fp) {
        *reason = strerror(errno);
        return false;
    }
    // A directory opens, but reads as no words at all.
    struct stat st;
    if (fstat(fileno(fp), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(fp);
        *reason = "is a directory";
        return false;
    }
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, fp)) > 0 && text_.size() <= kMaxFileBytes) text_.append(buffer, got);
    const bool tooLarge = text_.size() > kMaxFileBytes;
    fclose(fp);
    if (tooLarge) {
        *reason = "larger than 16 MiB, which no configuration file is";
        return false;
    }
    setText(name, text_);
    return true;
}

void ConfigFile::setText(const std::string& name, const std::string& text) {
    name_ = name;
    if (&text != &text_) text_ = text;
    notes_.clear();
    if (skipByteOrderMark(text_)) notes_.push_back(name + ": starts with a UTF-8 byte-order mark, which is skipped");
    if (readCarriageReturnsAsLineEnds(text_))
        notes_.push_back(name +
                         ": lines end in a carriage return alone (old Mac line endings); each is read as a line end");
    pos_ = 0;
    lineStarts_.assign(1, 0);
    for (size_t i = 0; i < text_.size(); i++)
        if (text_[i] == '\n') lineStarts_.push_back(i + 1);
}

int ConfigFile::lineAt(size_t pos) const {
    return static_cast<int>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), pos) - lineStarts_.begin());
}

void ConfigFile::skipComments() {
    for (;;) {
        const size_t start = skipSpaces(text_, pos_);
        if (start >= text_.size() || text_[start] != '#') return;
        const size_t nl = text_.find('\n', start);
        pos_ = nl == std::string::npos ? text_.size() : nl + 1;
    }
}

Word ConfigFile::peek() const {
    Word w;
    const size_t start = skipSpaces(text_, pos_);
    w.line = lineAt(start);
    if (start >= text_.size()) return w;
    size_t end = start;
    while (end < text_.size() && !isSpace(text_[end])) end++;
    w.text = text_.substr(start, end - start);
    w.atEnd = false;
    return w;
}

void ConfigFile::consume(size_t chars) { pos_ = skipSpaces(text_, pos_) + chars; }

bool ConfigFile::matchKeyword(const char* keyword) {
    skipComments();
    const Word w = peek();
    if (w.atEnd || w.text.size() != strlen(keyword) || strcasecmp(w.text.c_str(), keyword) != 0) return false;
    consume(w.text.size());
    lastKeyword_ = keyword;
    lastKeywordLine_ = w.line;
    return true;
}
