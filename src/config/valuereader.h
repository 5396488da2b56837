// One value after its keyword, read the way the C conversions read it ("%d", "%u", "%lf"),
// with the checks on top: the whole word converts and the value lies in its range.
#pragma once

#include <string>

#include "configfile.h"
#include "configmessages.h"
#include "keywords.h"

class ValueReader {
public:
    explicit ValueReader(ConfigMessages& messages) : messages_(messages) {}

    // Reads one value of `entry` into `field` and its text as read into `text`; false, with
    // the field unchanged, when no number converts. `sole`: the keyword's only value (a flag's
    // messages then name the keyword alone).
    bool readValue(ConfigFile& file, const KeywordEntry& entry, const ValueRule& value, FieldRef field, bool sole,
                   std::string* text);
    // A 0/1 flag; any other value ends reading.
    bool readFlag(ConfigFile& file, const std::string& name, FieldRef field, bool sole, std::string* text);
    // Keeps a problem when `word` is not a complete value of `value`'s type that `field` can
    // hold and, where `rangeChecked`, inside the rule's range.
    void checkValueText(const ConfigFile& file, const Word& word, const std::string& name, const ValueRule& value,
                        FieldRef field, bool rangeChecked);

private:
    ConfigMessages& messages_;
};

// A value clamped to the range of a 64-bit integer.
long long clampToInt64(long double v);
// Stores a value the way the C conversion stores it in the field's type (an unsigned field
// keeps the bits of a negative number).
void store(FieldRef field, long double v);
