// When a keyword of the table is read at all: its condition, parsed once from the notation the
// table writes and `nkswarm --keywords` prints.
#pragma once

#include <functional>
#include <string>
#include <vector>

// "" (always), or terms joined by "|" (any holds) or "&" (all hold), each "keyword" (it was
// read), "!keyword" (it was not) or "keyword=value" (its first value was that).
class Condition {
public:
    struct Term {
        std::string keyword;
        bool negated = false;
        bool hasValue = false;
        std::string value;
    };
    // The first value of a keyword that was read, null for one that was not.
    using FirstValue = std::function<const std::string*(const std::string& keyword)>;

    // Implicit, so that the table's rows write a condition as its text.
    Condition(const char* text);

    const std::string& text() const { return text_; }
    bool always() const { return terms_.empty(); }
    bool holds(const FirstValue& firstValue) const;
    // In words, for messages: "with subsetOfAgentsFitness 1", "without NNStrategy and ...".
    std::string inWords() const;

private:
    std::string text_;
    bool any_ = false;
    std::vector<Term> terms_;
};
