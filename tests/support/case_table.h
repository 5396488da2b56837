// The bad-input table (tests/system/badinput/cases.txt) read into cases: the files each run
// needs, its arguments, and the exit status and output it must give. The format is described
// atop the table and in docs/bad-inputs.md.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace casetable {

// One edit of a file, at a line the file holds exactly once (the anchor).
struct LineEdit {
    enum Kind { kReplace, kDelete, kAfter, kBefore, kAppend };
    Kind kind = kAppend;             // what is done at the anchor
    std::string anchor;              // a whole line, without its line feed; none for kAppend
    std::vector<std::string> lines;  // the lines put in the anchor's place, after or before it
    int tableLine = 0;               // where the edit is written, for messages
};

// A file written into the run's directory before the run.
struct TableFile {
    std::string name;             // its name there
    std::string base;             // the file it starts as a copy of; empty: it starts empty
    std::vector<LineEdit> edits;  // applied in order
};

// One case: a block of the table.
struct TableCase {
    std::string name;                   // the test's name
    int line = 0;                       // the table line its block starts on
    std::string about;                  // what the case shows
    std::vector<TableFile> files;       // the run's files
    std::vector<std::string> args;      // the arguments, <data>/FILE not yet expanded
    int rc = -1;                        // the exit status expected
    bool stdoutCompared = true;         // false: standard output may be anything
    std::string out;                    // standard output expected
    std::string err;                    // standard error expected, normalised
    std::vector<std::string> problems;  // what is wrong with the block; such a case fails
};

namespace detail {

// What the next `with` or `add` line continues, so that a stray one is a problem.
enum class Open { kNothing, kFileStart, kReplace, kInsert };

// The keys every case needs, checked when its block ends.
struct Given {
    bool about = false, args = false, rc = false;
};

// The reading state of one table: the cases so far and what the last line opened.
struct Reader {
    std::vector<TableCase> cases;
    std::set<std::string> names;
    Open open = Open::kNothing;
    bool outEnded = false;  // `stdout no line feed` was given
    bool errEnded = false;  // `stderr no line feed` was given
    bool inCase = false;    // a `case` line was read
    Given given;            // the current case's keys that it needs
    int lineNo = 0;

    void problem(const std::string& what) {
        const std::string msg = "line " + std::to_string(lineNo) + ": " + what;
        if (!inCase) {
            // A slip before the first case still fails a test rather than vanishing.
            TableCase stray;
            stray.name = "table_line_" + std::to_string(lineNo);
            stray.line = lineNo;
            stray.problems.push_back(msg);
            cases.push_back(stray);
            return;
        }
        cases.back().problems.push_back(msg);
    }
};

inline bool validName(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    }
    return true;
}

inline std::vector<std::string> words(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// An edit that must bring lines (replace, after, before) and brought none is a slip.
inline void closeEdit(Reader& r) {
    if (r.open == Open::kReplace || r.open == Open::kInsert) {
        const LineEdit& e = r.cases.back().files.back().edits.back();
        if (e.lines.empty()) r.problem("\"" + e.anchor + "\" is given no `with` or `add` line");
    }
    r.open = Open::kNothing;
}

inline void readFile(Reader& r, TableCase& c, const std::string& value) {
    const auto w = words(value);
    if (!(w.size() == 1 || (w.size() == 3 && w[1] == "from"))) {
        return r.problem("file needs NAME or NAME from BASE");
    }
    if (w[0].find('/') != std::string::npos || w[0] == "." || w[0] == "..") {
        return r.problem("file " + w[0] + " is not a plain file name");
    }
    for (const auto& f : c.files) {
        if (f.name == w[0]) return r.problem("file " + w[0] + " given twice");
    }
    c.files.push_back({w[0], w.size() == 3 ? w[2] : "", {}});
    r.open = Open::kFileStart;
}

// replace, delete, after, before (which start an edit) and with, add (which continue one).
inline void readEdit(Reader& r, TableCase& c, const std::string& key, const std::string& value) {
    if (c.files.empty()) return r.problem(key + " before any file");
    auto& edits = c.files.back().edits;
    if (key == "with" || key == "add") {
        const bool fits =
            key == "with" ? r.open == Open::kReplace : r.open == Open::kInsert || r.open == Open::kFileStart;
        if (!fits) return r.problem(key + " does not follow " + (key == "with" ? "replace" : "after, before or file"));
        if (r.open == Open::kFileStart) {
            edits.push_back({LineEdit::kAppend, "", {}, r.lineNo});
            r.open = Open::kInsert;
        }
        edits.back().lines.push_back(value);
        return;
    }
    closeEdit(r);
    const LineEdit::Kind kind = key == "replace"  ? LineEdit::kReplace
                                : key == "delete" ? LineEdit::kDelete
                                : key == "after"  ? LineEdit::kAfter
                                                  : LineEdit::kBefore;
    edits.push_back({kind, value, {}, r.lineNo});
    r.open = kind == LineEdit::kReplace ? Open::kReplace : kind == LineEdit::kDelete ? Open::kNothing : Open::kInsert;
}

// A `stdout` or `stderr` line: `| TEXT` adds TEXT and a line feed; `no line feed` takes the last
// one off; `not compared` (standard output only) lets the output be anything.
inline void readText(Reader& r, TableCase& c, const std::string& key, const std::string& value) {
    std::string& text = key == "stdout" ? c.out : c.err;
    bool& ended = key == "stdout" ? r.outEnded : r.errEnded;
    if (ended) return r.problem(key + " after its `no line feed`");
    if (value == "not compared" && key == "stdout") {
        if (!c.out.empty() || !c.stdoutCompared) return r.problem("stdout both given and not compared");
        c.stdoutCompared = false;
    } else if (value == "no line feed") {
        if (text.empty()) return r.problem(key + " no line feed without a line before it");
        text.pop_back();
        ended = true;
    } else if (!value.empty() && value[0] == '|') {
        if (key == "stdout" && !c.stdoutCompared) return r.problem("stdout both given and not compared");
        std::string line = value.substr(value.compare(0, 2, "| ") == 0 ? 2 : 1);
        // A closing | shows where a text ending in blanks ends; the table itself has no trailing blanks.
        if (line.size() >= 2 && line.back() == '|' && (line[line.size() - 2] == ' ' || line[line.size() - 2] == '\t')) {
            line.pop_back();
        }
        text += line + "\n";
    } else {
        r.problem(key + " needs | TEXT, `no line feed`" + (key == "stdout" ? " or `not compared`" : ""));
    }
}

// False, with a problem, for a key its case gave before.
inline bool firstTime(Reader& r, bool& given, const std::string& key) {
    if (given) r.problem(key + " given twice");
    const bool first = !given;
    given = true;
    return first;
}

inline void finishCase(Reader& r) {
    if (!r.inCase) return;
    closeEdit(r);
    const Given& g = r.given;
    if (!g.about || r.cases.back().about.empty()) r.problem("case " + r.cases.back().name + " has no about");
    if (!g.args) r.problem("case " + r.cases.back().name + " has no args");
    if (!g.rc) r.problem("case " + r.cases.back().name + " has no rc");
}

inline void startCase(Reader& r, const std::string& name) {
    TableCase c;
    c.name = name;
    c.line = r.lineNo;
    r.cases.push_back(c);
    r.inCase = true;
    r.given = Given();
    r.outEnded = r.errEnded = false;
    r.open = Open::kNothing;
    const bool valid = validName(name);
    if (!valid) r.problem("a case name is letters, digits and _, not \"" + name + "\"");
    if (valid && !r.names.insert(name).second) r.problem("case " + name + " given twice");
    // GoogleTest stops at an unusable or repeated test name; this one fails on its own instead.
    if (!r.cases.back().problems.empty()) r.cases.back().name = "table_line_" + std::to_string(r.lineNo);
}

// One key and its value, within the current case.
inline void readKey(Reader& r, const std::string& key, const std::string& value) {
    TableCase& c = r.cases.back();
    Given& g = r.given;
    if (key == "file") {
        closeEdit(r);
        readFile(r, c, value);
    } else if (key == "replace" || key == "delete" || key == "after" || key == "before" || key == "with" ||
               key == "add") {
        readEdit(r, c, key, value);
    } else if (key == "about") {
        closeEdit(r);
        if (firstTime(r, g.about, key)) c.about = value;
    } else if (key == "args") {
        closeEdit(r);
        if (firstTime(r, g.args, key)) c.args = words(value);
    } else if (key == "rc") {
        closeEdit(r);
        if (!firstTime(r, g.rc, key)) return;
        char* end = nullptr;
        const long rc = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || rc < 0 || rc > 255) return r.problem("rc needs 0 to 255, found " + value);
        c.rc = static_cast<int>(rc);
    } else if (key == "stdout" || key == "stderr") {
        closeEdit(r);
        readText(r, c, key, value);
    } else {
        r.problem("unknown key \"" + key + "\"");
    }
}

}  // namespace detail

// The cases of a table's text, each with the problems of its block (none when it reads).
inline std::vector<TableCase> parseCaseTable(const std::string& text) {
    detail::Reader r;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        ++r.lineNo;
        if (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
            r.problem("trailing blank (end a text with | to keep it)");
            continue;
        }
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        const size_t keyEnd = std::min(line.find_first_of(" \t", start), line.size());
        const std::string key = line.substr(start, keyEnd - start);
        const size_t valueStart = std::min(line.find_first_not_of(" \t", keyEnd), line.size());
        const std::string value = line.substr(valueStart);
        if (key == "case") {
            detail::finishCase(r);
            detail::startCase(r, value);
        } else if (!r.inCase) {
            r.problem("\"" + key + "\" before the first case");
        } else {
            detail::readKey(r, key, value);
        }
    }
    detail::finishCase(r);
    return r.cases;
}

// `base` with `edits` applied in order. Each anchor must be a whole line of the text as edited so
// far, exactly once; otherwise `problem` says which and the result is empty. The text ends with
// a line feed when the base does, or when the base is empty and lines were added.
inline std::string applyEdits(const std::string& base, const std::vector<LineEdit>& edits, std::string& problem) {
    std::vector<std::string> lines;
    std::istringstream in(base);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    const bool finalFeed = base.empty() || base.back() == '\n';
    for (const LineEdit& e : edits) {
        size_t at = lines.size();
        if (e.kind != LineEdit::kAppend) {
            size_t count = 0;
            for (size_t i = 0; i < lines.size(); ++i) {
                if (lines[i] == e.anchor) {
                    at = i;
                    ++count;
                }
            }
            if (count != 1) {
                problem = "line " + std::to_string(e.tableLine) + ": \"" + e.anchor + "\" is in the file " +
                          std::to_string(count) + " times, not once";
                return "";
            }
            if (e.kind == LineEdit::kReplace || e.kind == LineEdit::kDelete) lines.erase(lines.begin() + at);
            if (e.kind == LineEdit::kAfter) ++at;
        }
        lines.insert(lines.begin() + at, e.lines.begin(), e.lines.end());
    }
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        if (i + 1 < lines.size() || finalFeed) out += '\n';
    }
    return out;
}

// The text of `file`: its base (a path under `tableDir`, or <data>/NAME under `dataDir`) with its
// edits applied, or empty text. Sets `problem` when the base cannot be read or an edit does not apply.
inline std::string fileText(const TableFile& file, const std::string& tableDir, const std::string& dataDir,
                            std::string& problem) {
    if (file.base.empty()) return applyEdits("", file.edits, problem);
    const std::string path =
        file.base.rfind("<data>/", 0) == 0 ? dataDir + file.base.substr(6) : tableDir + "/" + file.base;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = "the base of " + file.name + ", " + path + ", cannot be read";
        return "";
    }
    std::ostringstream text;
    text << in.rdbuf();
    return applyEdits(text.str(), file.edits, problem);
}

}  // namespace casetable
