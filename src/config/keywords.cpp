// Look-ups in the keyword table, and its descriptions: ranges in words and the printed form.
#include "keywords.h"

#include <strings.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>

#include "params.h"

namespace {

SimuParameters& scratchParameters() {
    static std::vector<std::string> names;
    static SimuParameters params(names);
    return params;
}

// The largest value the field's C type holds.
double storageMax(const ValueRule& v) {
    if (!v.field) return v.type == ValueType::Real ? kNoLimit : kIntMax;
    FieldRef ref = v.field(scratchParameters(), 0);
    if (std::holds_alternative<unsigned int*>(ref)) return kUIntMax;
    if (std::holds_alternative<std::int64_t*>(ref)) return 9223372036854775807.0;
    if (std::holds_alternative<double*>(ref)) return kNoLimit;
    return kIntMax;
}

std::string number(double v) {
    if (v >= 9223372036854775807.0) return "9223372036854775807";
    char buf[40];
    snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

const char* presenceName(Presence p) {
    static const char* const names[] = {"required", "optional", "repeated", "block"};
    return names[static_cast<int>(p)];
}

const char* kindName(KeywordKind k) {
    static const char* const names[] = {"values", "values",     "none",  "network",    "network-list",
                                        "table",  "table-list", "table", "table-list", "agent-params"};
    return names[static_cast<int>(k)];
}

const char* typeName(ValueType t) {
    static const char* const names[] = {"flag", "whole", "real", "word", "list"};
    return names[static_cast<int>(t)];
}

std::string describeValues(const KeywordEntry& entry) {
    std::string out;
    for (const ValueRule& v : entry.values) {
        if (!out.empty()) out += ' ';
        out += std::string(v.label) + ":" + typeName(v.type);
        if (v.type == ValueType::Whole || v.type == ValueType::Real)
            out +=
                "[" + (std::isinf(v.min) ? "" : number(v.min)) + ".." + (std::isinf(v.max) ? "" : number(v.max)) + "]";
        if (v.count > 1) out += "*" + std::to_string(v.count);
    }
    return out.empty() ? "-" : out;
}

std::string describeDefault(const KeywordEntry& entry) {
    if (entry.presence != Presence::Optional) return "-";
    std::string out;
    for (const ValueRule& v : entry.values) {
        if (!v.field || v.count > 1) return "-";
        const std::string text = formatField(v, scratchParameters(), 0);
        out += (out.empty() ? "" : " ") + (text.empty() ? "0" : text);  // a flag without a field of its own
    }
    return out.empty() ? "-" : out;
}

}  // namespace

const KeywordEntry* findKeyword(const std::string& name) {
    for (const KeywordEntry& entry : keywordTable())
        if (strcasecmp(entry.name, name.c_str()) == 0 && name.find('\0') == std::string::npos) return &entry;
    return nullptr;
}

int keywordRank(const KeywordEntry& entry) { return static_cast<int>(&entry - keywordTable().data()); }

std::string formatField(const ValueRule& value, SimuParameters& p, int index) {
    if (!value.field) return "";
    char buf[40] = "";
    std::visit(
        [&buf](auto field) {
            using T = std::remove_pointer_t<decltype(field)>;
            if constexpr (std::is_same_v<T, double>) {
                snprintf(buf, sizeof buf, "%s", formatReal(*field).c_str());
            } else if constexpr (std::is_same_v<T, bool>) {
                snprintf(buf, sizeof buf, "%d", *field ? 1 : 0);
            } else if constexpr (!std::is_same_v<T, std::monostate>) {
                snprintf(buf, sizeof buf, "%lld", static_cast<long long>(*field));
            }
        },
        value.field(p, index));
    return buf;
}

std::string formatReal(double value) {
    char buf[40] = "";
    // The reader converts through long double (as "%lf" does), so the text must survive that
    // path, not only strtod; 17 digits always do.
    for (int digits = 15; digits <= 17; digits++) {
        snprintf(buf, sizeof buf, "%.*g", digits, value);
        if (static_cast<double>(strtold(buf, nullptr)) == value) break;
    }
    return buf;
}

std::string describeRange(const ValueRule& v) {
    switch (v.type) {
        case ValueType::Flag:
            return "0 or 1";
        case ValueType::Word:
            return "a file name";
        case ValueType::Real:
            if (std::isinf(v.min)) return "a number";
            return std::isinf(v.max) ? "a number of " + number(v.min) + " or more"
                                     : "a number from " + number(v.min) + " to " + number(v.max);
        default:
            if (v.min <= kIntMin) return "a whole number";
            if (v.max >= storageMax(v)) return "a whole number of " + number(v.min) + " or more";
            return "a whole number from " + number(v.min) + " to " + number(v.max);
    }
}

std::vector<std::string> keywordTableRow(const KeywordEntry& entry) {
    return {entry.name,           presenceName(entry.presence), entry.condition.always() ? "-" : entry.condition.text(),
            kindName(entry.kind), describeValues(entry),        describeDefault(entry),
            entry.meaning};
}

void printKeywordTable(FILE* out) {
    fprintf(out,
            "# nkswarm keywords, format 1, in the order of the main configuration file.\n"
            "# keyword\tpresence\tcondition\tkind\tvalues\tdefault\tmeaning\n");
    for (const KeywordEntry& entry : keywordTable()) {
        const std::vector<std::string> row = keywordTableRow(entry);
        for (size_t i = 0; i < row.size(); i++) fprintf(out, "%s%c", row[i].c_str(), i + 1 < row.size() ? '\t' : '\n');
    }
}
