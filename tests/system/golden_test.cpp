// Whole runs compared with their expected output: the golden cases (the exact output of an
// independent implementation), one folder each with the files, the arguments and the expected
// output, messages and exit status; and the bad inputs, one block each of
// tests/system/badinput/cases.txt, whose files are shared bases with line edits or files of their
// own. An argument may name a shared file of tests/data as <data>/FILE instead of a copy.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "case_table.h"
#include "run_program.h"

namespace casetable {
// Names a case by where it is written rather than printing its bytes.
void PrintTo(const TableCase& c, std::ostream* os) { *os << "cases.txt:" << c.line; }
}  // namespace casetable

namespace {

const std::string kDataDir = std::string(NK_TESTS_DIR) + "/data";
const std::string kBadInputDir = std::string(NK_TESTS_DIR) + "/system/badinput";

std::string goldenRoot() {
    // The shared copy is authoritative when it sits beside the checkout; the repository
    // keeps its own copy so that the suite also runs on its own.
    const std::string shared = std::string(NK_SOURCE_DIR) + "/../shared/golden";
    struct stat st;
    if (stat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return shared;
    return std::string(NK_TESTS_DIR) + "/system/golden";
}

// The case folders under `root`, as full paths.
std::vector<std::string> caseDirs(const std::string& root) {
    std::vector<std::string> names;
    DIR* d = opendir(root.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        struct stat st;
        if (stat((root + "/" + n + "/expected.rc").c_str(), &st) == 0) names.push_back(root + "/" + n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool fileExists(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0;
}

std::string withDataDir(const std::string& arg) {
    return arg.rfind("<data>/", 0) == 0 ? kDataDir + arg.substr(6) : arg;
}

std::vector<std::string> readArgs(const std::string& path) {
    std::vector<std::string> args;
    std::string text = readFileText(path);
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) args.push_back(withDataDir(line));
    }
    return args;
}

// Standard error after its first "ERROR at <location>:" line; the whole of it otherwise.
std::string errorBody(const std::string& err) {
    if (err.rfind("ERROR at ", 0) == 0) {
        size_t nl = err.find('\n');
        return nl == std::string::npos ? std::string() : err.substr(nl + 1);
    }
    // The message may follow other output on standard error.
    size_t pos = err.find("\nERROR at ");
    if (pos != std::string::npos) {
        size_t nl = err.find('\n', pos + 1);
        return nl == std::string::npos ? std::string() : err.substr(nl + 1);
    }
    return err;
}

// Standard error with what differs from run to run replaced: the source location of an error
// (which must be a path in the repository), the directory the case ran in and the shared files'.
std::string normalizedErr(std::string err, const std::string& work) {
    err = std::regex_replace(err, std::regex("ERROR at src/[a-z_/]+\\.cpp:[0-9]+:"), "ERROR at <location>:");
    for (size_t at; (at = err.find(work)) != std::string::npos;) err.replace(at, work.size(), "<dir>");
    for (size_t at; (at = err.find(kDataDir)) != std::string::npos;) err.replace(at, kDataDir.size(), "<data>");
    return err;
}

// What a run must give; a text left out is not compared.
struct Expected {
    int rc = 0;                               // the exit status
    std::optional<std::string> out;           // standard output
    bool outFirstLineOnly = false;            // only the first lines of `out` and the output agree
    std::optional<std::string> err;           // standard error, normalised
    std::optional<std::string> errBody;       // standard error after its ERROR line
    std::optional<std::string> errBodyStart;  // how that begins
};

// A fresh directory to run a case in, so that nothing the run writes lands in the repository;
// removed with its contents when the case ends.
class ScratchDir {
public:
    ScratchDir() {
        char tmpl[] = "/tmp/nkgolden-XXXXXX";
        if (mkdtemp(tmpl)) path_ = tmpl;
    }
    ~ScratchDir() {
        if (!path_.empty()) system(("rm -rf '" + path_ + "'").c_str());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;  // empty when it could not be made
};

// Runs the program with `args` in `work` and compares what it gives with `want`.
void expectRun(const std::string& work, const std::vector<std::string>& args, const Expected& want) {
    const ProgramResult res = runProgram(NK_BINARY, "nkprog", args, work, 60);
    ASSERT_FALSE(res.timedOut) << "run exceeded its time limit";
    EXPECT_EQ(res.status, want.rc) << "stderr:\n" << res.err;
    if (want.out && want.outFirstLineOnly) {
        EXPECT_EQ(res.out.substr(0, res.out.find('\n')), want.out->substr(0, want.out->find('\n')));
    } else if (want.out) {
        EXPECT_EQ(res.out, *want.out);
    }
    if (want.err) {
        EXPECT_EQ(normalizedErr(res.err, work), *want.err);
    }
    if (want.errBody) {
        EXPECT_EQ(errorBody(res.err), *want.errBody);
    }
    if (want.errBodyStart) {
        EXPECT_EQ(errorBody(res.err).substr(0, want.errBodyStart->size()), *want.errBodyStart);
    }
}

std::optional<std::string> optionalFile(const std::string& path) {
    if (!fileExists(path)) return std::nullopt;
    return readFileText(path);
}

// A golden folder's expected files: expected.rc, expected.out (unless `mode` is rc; only its
// first line with mode firstline) and any of expected.stderr, expected.err, expected.errprefix.
Expected folderExpected(const std::string& dir) {
    Expected want;
    want.rc = std::atoi(readFileText(dir + "/expected.rc").c_str());
    std::string mode = fileExists(dir + "/mode") ? readFileText(dir + "/mode") : "";
    mode.erase(mode.find_last_not_of(" \n\r\t") + 1);
    if (mode != "rc") want.out = readFileText(dir + "/expected.out");
    want.outFirstLineOnly = mode == "firstline";
    want.err = optionalFile(dir + "/expected.stderr");
    want.errBody = optionalFile(dir + "/expected.err");
    want.errBodyStart = optionalFile(dir + "/expected.errprefix");
    return want;
}

class GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, MatchesExpectedOutput) {
    const std::string dir = GetParam();
    ScratchDir work;
    ASSERT_FALSE(work.path().empty());
    ASSERT_EQ(system(("cp -r '" + dir + "/.' '" + work.path() + "'").c_str()), 0);
    expectRun(work.path(), readArgs(dir + "/args"), folderExpected(dir));
}

std::string caseName(const ::testing::TestParamInfo<std::string>& info) {
    return info.param.substr(info.param.rfind('/') + 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, ::testing::ValuesIn(caseDirs(goldenRoot())), caseName);

// --- Bad inputs: the blocks of tests/system/badinput/cases.txt ---------------------------------

// The table's reader: a slip in a block must fail its case, never loosen it (a misspelt `stderr`
// that were skipped would leave standard error unchecked).
TEST(BadInputTableTest, SlipsInABlockAreProblems) {
    const std::string good = "case a\nabout x\nargs m.cfg\nrc 1\n";
    const std::vector<std::pair<std::string, std::string>> slips = {
        {good + "sterr | oops\n", "unknown key \"sterr\""},
        {good + "stderr | two blanks  \n", "trailing blank"},
        {"case a\nabout x\nargs m.cfg\n", "has no rc"},
        {good + "rc 2\n", "rc given twice"},
        {good + "file m.cfg from b.cfg\nwith n 3\n", "with does not follow replace"},
        {good + "file m.cfg from b.cfg\nreplace n 2\nargs m.cfg\n", "is given no `with` or `add` line"},
        {good + "stdout not compared\nstdout | 1\n", "stdout both given and not compared"},
        {good + "stdout no line feed\n", "no line feed without a line before it"},
        {good + "case a\nabout y\nargs m.cfg\nrc 0\n", "case a given twice"},
        {"case a-b\nabout x\nargs m.cfg\nrc 1\n", "a case name is letters, digits and _"},
        {"about x\n" + good, "before the first case"},
    };
    for (const auto& [text, problem] : slips) {
        std::string all;
        for (const auto& c : casetable::parseCaseTable(text)) {
            for (const auto& p : c.problems) all += p + "\n";
        }
        EXPECT_NE(all.find(problem), std::string::npos) << text << "gave:\n" << all;
    }
}

TEST(BadInputTableTest, EditsAndTextsReadAsWritten) {
    const auto cases = casetable::parseCaseTable(
        "case a\n  about x\n  file m.cfg\n  add n 10\n  add k 2\n  after n 10\n  add # between\n"
        "  replace k 2\n  with k 3\n  with\n  before n 10\n  add # first\n  delete # between\n"
        "  args m.cfg --print-stats\n  rc 0\n  stdout   | 0.5 |\n  stdout   |\n  stdout   | end\n"
        "  stdout   no line feed\n  stderr   |  two spaces\n");
    ASSERT_EQ(cases.size(), 1u);
    const casetable::TableCase& c = cases[0];
    EXPECT_TRUE(c.problems.empty());
    ASSERT_EQ(c.files.size(), 1u);
    std::string problem;
    EXPECT_EQ(casetable::applyEdits("", c.files[0].edits, problem), "# first\nn 10\nk 3\n\n");
    EXPECT_EQ(problem, "");
    EXPECT_EQ(c.args, (std::vector<std::string>{"m.cfg", "--print-stats"}));
    EXPECT_EQ(c.out, "0.5 \n\nend");
    EXPECT_EQ(c.err, " two spaces\n");
    // An anchor must be in the file exactly once; a base without a final line feed keeps none.
    const std::vector<casetable::LineEdit> toK3 = {{casetable::LineEdit::kReplace, "k 2", {"k 3"}, 7}};
    EXPECT_EQ(casetable::applyEdits("n 10\nk 2", toK3, problem), "n 10\nk 3");
    EXPECT_EQ(casetable::applyEdits("n 10\n", toK3, problem), "");
    EXPECT_EQ(problem, "line 7: \"k 2\" is in the file 0 times, not once");
    EXPECT_EQ(casetable::applyEdits("k 2\nk 2\n", toK3, problem), "");
    EXPECT_EQ(problem, "line 7: \"k 2\" is in the file 2 times, not once");
}

std::vector<casetable::TableCase> badInputCases() {
    const std::string table = kBadInputDir + "/cases.txt";
    auto cases = casetable::parseCaseTable(readFileText(table));
    if (cases.empty()) {
        // A table that is missing or reads as nothing fails instead of running no case.
        casetable::TableCase none;
        none.name = "no_cases";
        none.problems.push_back("no case read from " + table);
        cases.push_back(none);
    }
    return cases;
}

class BadInputTest : public ::testing::TestWithParam<casetable::TableCase> {};

TEST_P(BadInputTest, MatchesExpectedOutput) {
    const casetable::TableCase& c = GetParam();
    SCOPED_TRACE("tests/system/badinput/cases.txt:" + std::to_string(c.line) + ": " + c.about);
    for (const auto& p : c.problems) ADD_FAILURE() << "cases.txt " << p;
    if (!c.problems.empty()) return;
    ScratchDir work;
    ASSERT_FALSE(work.path().empty());
    for (const auto& f : c.files) {
        std::string problem;
        const std::string text = casetable::fileText(f, kBadInputDir, kDataDir, problem);
        ASSERT_TRUE(problem.empty()) << problem;
        std::ofstream out(work.path() + "/" + f.name, std::ios::binary);
        out << text;
        ASSERT_TRUE(out.good()) << "cannot write " << f.name;
    }
    std::vector<std::string> args;
    for (const auto& a : c.args) args.push_back(withDataDir(a));
    Expected want;
    want.rc = c.rc;
    if (c.stdoutCompared) want.out = c.out;
    want.err = c.err;
    expectRun(work.path(), args, want);
}

std::string badInputName(const ::testing::TestParamInfo<casetable::TableCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(BadInput, BadInputTest, ::testing::ValuesIn(badInputCases()), badInputName);

}  // namespace
