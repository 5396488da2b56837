// One configuration file held in memory, read word by word the way the C conversions read
// it, with line numbers for messages.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The next word of a file and the line it stands on; `atEnd` when no word is left.
struct Word {
    std::string text;
    int line = 0;
    bool atEnd = true;
};

// How a C conversion ("%d", "%u", "%lf") reads the start of a word: the characters it takes
// (0: the conversion fails and takes nothing) and the value read.
struct Scan {
    size_t length = 0;
    long double value = 0;
};
Scan scanWhole(const std::string& word);
Scan scanReal(const std::string& word);
// The same conversions, but only a complete word counts (no trailing characters, no
// infinities, no hexadecimal); false otherwise.
bool parseWhole(const std::string& word, long double* value);
bool parseReal(const std::string& word, double* value);

class ConfigFile {
public:
    // Reads the whole file. False, with the reason, when it cannot be read.
    bool load(const std::string& name, std::string* reason);
    // Takes the text of a file held in memory; `name` labels the messages. A UTF-8 byte-order
    // mark is skipped and a carriage return alone read as a line end, each with a note.
    void setText(const std::string& name, const std::string& text);
    const std::string& name() const { return name_; }
    const std::string& text() const { return text_; }
    // What reading the text changed, one warning each, naming the file.
    const std::vector<std::string>& notes() const { return notes_; }

    // Skips comment lines: a word starting with '#' and the rest of its line. Comments may
    // stand only where a keyword is expected.
    void skipComments();
    Word peek() const;
    // Takes `chars` characters of the next word (a number may end inside a word).
    void consume(size_t chars);
    // The keyword request: true, and the keyword taken, when the next word after any comments
    // is `keyword` in any case; otherwise the file stays before that word.
    bool matchKeyword(const char* keyword);
    // The keyword taken last and its line (messages say where reading stood).
    const std::string& lastKeyword() const { return lastKeyword_; }
    int lastKeywordLine() const { return lastKeywordLine_; }

private:
    int lineAt(size_t pos) const;

    std::string name_;
    std::string text_;
    std::vector<std::string> notes_;
    size_t pos_ = 0;
    std::vector<size_t> lineStarts_;
    std::string lastKeyword_;
    int lastKeywordLine_ = 0;
};
