// Python values and a configuration's words: a keyword's values in effect as Python objects, and
// Python's (and NumPy's) numbers, strings and sequences as the words of a keyword's lines.
#include "configvalues.h"

#include <pybind11/stl.h>

#include <cstdlib>

#include "configtext.h"
#include "util.h"

namespace py = pybind11;

namespace {

// NumPy's scalar types count as Python's numbers (a loop over numpy.arange gives numpy.int64).
bool isNumpy(py::handle value, const char* type) {
    return py::isinstance(value, py::module_::import("numpy").attr(type));
}

py::object valueOf(FieldRef field) {
    return std::visit(
        [](auto f) -> py::object {
            using T = std::remove_pointer_t<decltype(f)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return py::none();
            else
                return py::cast(*f);
        },
        field);
}

// The words of one line: a number, a flag, a string of words, or a sequence of those.
void appendWords(py::handle value, std::vector<std::string>& words) {
    if (py::isinstance<py::str>(value)) {
        const std::string text = value.cast<std::string>();
        for (size_t start = text.find_first_not_of(" \t\n"); start != std::string::npos;) {
            const size_t end = text.find_first_of(" \t\n", start);
            words.push_back(text.substr(start, end - start));
            start = text.find_first_not_of(" \t\n", end);
        }
    } else if (py::isinstance<py::bool_>(value) || isNumpy(value, "bool_")) {
        words.push_back(value.cast<bool>() ? "1" : "0");
    } else if (py::isinstance<py::int_>(value) || isNumpy(value, "integer")) {
        words.push_back(py::str(wholeOf(value)).cast<std::string>());
    } else if (py::isinstance<py::float_>(value) || isNumpy(value, "floating")) {
        words.push_back(formatReal(value.cast<double>()));
    } else if (py::isinstance<py::sequence>(value)) {
        for (py::handle item : value) appendWords(item, words);
    } else {
        throw py::type_error("a configuration value must be a number, a string or a sequence of them, not " +
                             py::str(value.get_type()).cast<std::string>());
    }
}

// Search and place tables, whose words are numbers (the networks' and agent parameters' are not).
bool isTable(const KeywordEntry& entry) {
    switch (entry.kind) {
        case KeywordKind::S1Table:
        case KeywordKind::S1List:
        case KeywordKind::S2Table:
        case KeywordKind::S2List:
            return true;
        default:
            return false;
    }
}

// A table's words as numbers, as explore's come back: its weights as floats, then any list of
// agents (count, then indices) as whole numbers. The reader keeps weights as a long double cut
// to double, and the words are written to read back the same way.
py::tuple tableValues(const KeywordEntry& entry, const std::vector<std::string>& words) {
    const size_t weights = static_cast<size_t>(entry.values[0].count);
    py::list values;
    for (size_t i = 0; i < words.size(); i++) {
        if (i < weights)
            values.append(static_cast<double>(std::strtold(words[i].c_str(), nullptr)));
        else
            values.append(std::stoll(words[i]));
    }
    return py::tuple(values);
}

}  // namespace

const KeywordEntry& keywordOf(const std::string& key) {
    const KeywordEntry* entry = findKeyword(key);
    if (entry) return *entry;
    // The program's own near-miss rule, so that Python suggests what a configuration file would.
    const char* near = nearestKeyword(key);
    throw py::key_error(key + " is not a configuration keyword" +
                        (near ? std::string(": did you mean ") + near + "?" : ""));
}

py::int_ wholeOf(py::handle value) {
    PyObject* whole = PyNumber_Index(value.ptr());
    if (!whole) throw py::error_already_set();
    return py::reinterpret_steal<py::int_>(whole);
}

py::object configItem(const ModuleConfig& cfg, const std::string& key) {
    const KeywordEntry* entry = &keywordOf(key);
    SimuParameters& p = cfg.params();
    if (isBlock(*entry)) {
        py::list blocks;
        for (const ConfigBlock& b : p.blocksRead) {
            if (b.keyword != entry->name) continue;
            if (isTable(*entry)) {
                blocks.append(tableValues(*entry, b.words));
                continue;
            }
            std::string words;
            for (const std::string& w : b.words) words += (words.empty() ? "" : " ") + w;
            blocks.append(words);
        }
        if (entry->presence == Presence::Block) return std::move(blocks);
        return blocks.empty() ? py::none() : py::object(blocks[0]);
    }
    py::list rows;
    const int times = entry->presence == Presence::Repeated ? p.nFitnessGroups : 1;
    for (int g = 0; g < times; g++) {
        py::list values;
        for (const ValueRule& v : entry->values)
            for (int i = 0; v.field && i < v.count; i++) {
                py::object value = valueOf(v.field(p, v.count > 1 ? i : g));
                if (!value.is_none()) values.append(value);
            }
        if (values.empty()) return py::none();
        rows.append(values.size() == 1 ? py::object(values[0]) : py::object(py::tuple(values)));
    }
    return entry->presence == Presence::Repeated ? py::object(rows) : py::object(rows[0]);
}

ModuleConfig::Edit editOf(const std::string& key, py::handle value) {
    const KeywordEntry* entry = &keywordOf(key);
    ModuleConfig::Edit edit{entry, {}};
    if (value.is_none()) return edit;
    const bool several = entry->presence == Presence::Repeated || entry->presence == Presence::Block;
    if (several && (py::isinstance<py::str>(value) || !py::isinstance<py::sequence>(value)))
        throw py::type_error(key + " takes a list with one item per " +
                             (entry->presence == Presence::Block ? "block" : "fitness group"));
    const py::sequence lines =
        several ? py::reinterpret_borrow<py::sequence>(value) : py::sequence(py::make_tuple(value));
    for (py::handle line : lines) {
        edit.second.emplace_back();
        appendWords(line, edit.second.back());
    }
    return edit;
}
