// Python values and a configuration's words, for Config's item access and edits.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "moduleconfig.h"

// The table entry of a keyword (any case).
// @throws KeyError naming the keyword the program takes the word for a misspelling of, if any
const KeywordEntry& keywordOf(const std::string& key);
// A whole number as operator.index takes it: a Python or NumPy integer.
// @throws TypeError for a float, which would otherwise be cut to its whole part
pybind11::int_ wholeOf(pybind11::handle value);
// A keyword's values in effect: one value, a tuple of them, a list of those per fitness group,
// for a search or place table the tuple of its numbers, or for another block its words (a list
// of blocks where several may stand); None when not stated.
// @throws KeyError for a word that is not a keyword
pybind11::object configItem(const ModuleConfig& cfg, const std::string& key);
// The edit that sets a keyword to a Python value: one line, or for a repeated or block keyword
// one line per item; None removes the keyword.
// @throws KeyError for a word that is not a keyword, TypeError for a value of another type
ModuleConfig::Edit editOf(const std::string& key, pybind11::handle value);
