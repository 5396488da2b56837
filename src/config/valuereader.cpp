// Reading and checking one value of a keyword.
#include "valuereader.h"

#include <climits>
#include <cstdio>
#include <type_traits>

#include "configtext.h"
#include "util.h"

namespace {

// The values the field's C type can hold.
void storageRange(FieldRef field, long double* lo, long double* hi) {
    *lo = INT_MIN;
    *hi = INT_MAX;
    if (std::holds_alternative<unsigned int*>(field)) {
        *lo = 0;
        *hi = UINT_MAX;
    } else if (std::holds_alternative<std::int64_t*>(field)) {
        *lo = LLONG_MIN;
        *hi = LLONG_MAX;
    }
}

}  // namespace

long long clampToInt64(long double v) {
    if (!(v > -9223372036854775807.0L)) return LLONG_MIN;
    if (v >= 9223372036854775807.0L) return LLONG_MAX;
    return static_cast<long long>(v);
}

void store(FieldRef field, long double v) {
    std::visit(
        [v](auto f) {
            using T = std::remove_pointer_t<decltype(f)>;
            if constexpr (std::is_same_v<T, double>) {
                *f = static_cast<double>(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                *f = v != 0;
            } else if constexpr (!std::is_same_v<T, std::monostate>) {
                *f = static_cast<T>(clampToInt64(v));
            }
        },
        field);
}

bool ValueReader::readValue(ConfigFile& file, const KeywordEntry& entry, const ValueRule& value, FieldRef field,
                            bool sole, std::string* text) {
    if (value.type == ValueType::Flag)
        return readFlag(file, sole ? std::string(entry.name) : std::string(entry.name) + " " + value.label, field, sole,
                        text);
    const Word w = file.peek();
    checkValueText(file, w,
                   entry.values.size() == 1 ? std::string(entry.name) : std::string(entry.name) + " " + value.label,
                   value, field, !value.rangeCheckedLater);
    const Scan scan = w.atEnd ? Scan{} : value.type == ValueType::Real ? scanReal(w.text) : scanWhole(w.text);
    *text = "";
    if (scan.length == 0) return false;
    store(field, scan.value);
    file.consume(scan.length);
    *text = w.text.substr(0, scan.length);
    if (value.unusual && !messages_.anyProblem() && (scan.value < value.usualMin || scan.value > value.usualMax))
        messages_.warn(ConfigMessages::where(file, file.lastKeywordLine()) + entry.name + " " + *text + ": " +
                       value.unusual);
    return true;
}

bool ValueReader::readFlag(ConfigFile& file, const std::string& name, FieldRef field, bool sole, std::string* text) {
    const Word w = file.peek();
    const Scan scan = w.atEnd ? Scan{} : scanWhole(w.text);
    const long long value = scan.length ? clampToInt64(scan.value) : -1;
    const std::string needs = name + " needs 0 or 1, found " + ConfigMessages::foundAt(file, w);
    if (scan.length == 0 || (value != 0 && value != 1)) {
        // The number read, also where it does not fit an int; -1 where there is none.
        const bool beyond = value == LLONG_MAX || value == LLONG_MIN;
        const std::string written = scan.length == 0 ? "-1"
                                    : beyond         ? w.text.substr(0, scan.length)
                                                     : std::to_string(value);
        if (errorMessagesPrinted() && sole)
            printf("%s=%s incorrect\n", name.c_str(), written.c_str());
        else if (errorMessagesPrinted())
            printf("%s incorrect\n", written.c_str());
        messages_.specError("", ConfigMessages::where(file, file.lastKeywordLine()) + needs);
    }
    if (scan.length != w.text.size()) messages_.problem(file, file.lastKeywordLine(), needs);
    store(field, value);
    file.consume(scan.length);
    *text = value ? "1" : "0";
    return true;
}

void ValueReader::checkValueText(const ConfigFile& file, const Word& word, const std::string& name,
                                 const ValueRule& value, FieldRef field, bool rangeChecked) {
    std::string hint = word.atEnd ? "" : valueHint(word.text, value.type);
    bool ok = !word.atEnd;
    if (ok && value.type == ValueType::Real) {
        double v;
        ok = parseReal(word.text, &v) && (!rangeChecked || (v >= value.min && v <= value.max));
    } else if (ok) {
        long double v, lo, hi;
        storageRange(field, &lo, &hi);
        const bool whole = scanWhole(word.text).length == word.text.size();
        const bool parsed = parseWhole(word.text, &v);
        ok = parsed && v >= lo && v <= hi && (!rangeChecked || (v >= value.min && v <= value.max));
        // A whole number beyond what the field holds; the range message would not say why.
        if (whole && (!parsed || v > hi) && hint.empty()) hint = " (too large)";
    }
    if (!ok)
        messages_.problem(
            file, file.lastKeywordLine(),
            name + " needs " + describeRange(value) + ", found " + ConfigMessages::foundAt(file, word) + hint);
}
