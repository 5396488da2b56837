// A keyword's condition: parsing, evaluation and the words messages use.
#include "condition.h"

Condition::Condition(const char* text) : text_(text) {
    if (text_.empty()) return;
    any_ = text_.find('|') != std::string::npos;
    const char separator = any_ ? '|' : '&';
    for (size_t start = 0;;) {
        const size_t end = text_.find(separator, start);
        std::string word = text_.substr(start, end == std::string::npos ? std::string::npos : end - start);
        Term term;
        term.negated = word[0] == '!';
        if (term.negated) word.erase(0, 1);
        const size_t eq = word.find('=');
        term.keyword = word.substr(0, eq);
        term.hasValue = eq != std::string::npos;
        if (term.hasValue) term.value = word.substr(eq + 1);
        terms_.push_back(term);
        if (end == std::string::npos) return;
        start = end + 1;
    }
}

bool Condition::holds(const FirstValue& firstValue) const {
    for (const Term& term : terms_) {
        const std::string* value = firstValue(term.keyword);
        const bool holds = (value && (!term.hasValue || *value == term.value)) != term.negated;
        // The first term that decides: one that holds for "any", one that fails for "all".
        if (holds == any_) return any_;
    }
    return !any_;
}

std::string Condition::inWords() const {
    std::string out;
    for (const Term& term : terms_) {
        if (!out.empty()) out += any_ ? " or " : " and ";
        out += (term.negated ? "without " : "with ") + term.keyword + (term.hasValue ? " " + term.value : "");
    }
    return out;
}
