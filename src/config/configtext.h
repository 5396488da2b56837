// Pieces of the configuration reader's messages: words as shown, near misses of keywords and
// genome file paths.
#pragma once

#include <string>

#include "configfile.h"
#include "keywords.h"

// A word in quotes, control characters escaped and long words cut.
std::string shownWord(const std::string& word);
// The word in quotes, or "the end of the file".
std::string foundText(const Word& word);
// A hint for a value that did not convert (" (...)" or "").
std::string valueHint(const std::string& word, ValueType type);
// The keyword that `word` most likely misspells, or null.
const char* nearestKeyword(const std::string& word);
// A path as messages name it: a relative one with the working directory.
std::string describePath(const std::string& path);
// Why a file cannot be read as a genome population.
std::string whyUnreadable(const std::string& path);
