// Whole runs compared with their expected output, one case folder each: the golden cases (the
// exact output of an independent implementation) and the bad inputs of tests/system/badinput. A folder
// holds the files, the arguments and the expected output, messages and exit status; an argument
// may name a shared file of tests/data as <data>/FILE instead of a copy in the folder.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

const std::string kDataDir = std::string(NK_TESTS_DIR) + "/data";

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

std::vector<std::string> readArgs(const std::string& path) {
    std::vector<std::string> args;
    std::string text = readFileText(path);
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("<data>/", 0) == 0) line = kDataDir + line.substr(6);
        if (!line.empty()) args.push_back(line);
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

class GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, MatchesExpectedOutput) {
    const std::string dir = GetParam();
    // Run in a scratch copy so that nothing the run writes lands in the case folder.
    char tmpl[] = "/tmp/nkgolden-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string work = tmpl;
    ASSERT_EQ(system(("cp -r '" + dir + "/.' '" + work + "'").c_str()), 0);

    const auto args = readArgs(dir + "/args");
    const ProgramResult res = runProgram(NK_BINARY, "nkprog", args, work, 60);
    system(("rm -rf '" + work + "'").c_str());

    ASSERT_FALSE(res.timedOut) << "run exceeded its time limit";
    const int expectedRc = std::atoi(readFileText(dir + "/expected.rc").c_str());
    EXPECT_EQ(res.status, expectedRc) << "stderr:\n" << res.err;

    std::string mode = fileExists(dir + "/mode") ? readFileText(dir + "/mode") : "";
    mode.erase(mode.find_last_not_of(" \n\r\t") + 1);
    const std::string expectedOut = mode == "rc" ? "" : readFileText(dir + "/expected.out");
    if (mode == "firstline") {
        EXPECT_EQ(res.out.substr(0, res.out.find('\n')), expectedOut.substr(0, expectedOut.find('\n')));
    } else if (mode != "rc") {
        EXPECT_EQ(res.out, expectedOut);
    }
    if (fileExists(dir + "/expected.stderr")) {
        EXPECT_EQ(normalizedErr(res.err, work), readFileText(dir + "/expected.stderr"));
    }
    if (fileExists(dir + "/expected.err")) {
        EXPECT_EQ(errorBody(res.err), readFileText(dir + "/expected.err"));
    }
    if (fileExists(dir + "/expected.errprefix")) {
        const std::string prefix = readFileText(dir + "/expected.errprefix");
        EXPECT_EQ(errorBody(res.err).substr(0, prefix.size()), prefix);
    }
}

std::string caseName(const ::testing::TestParamInfo<std::string>& info) {
    return info.param.substr(info.param.rfind('/') + 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, ::testing::ValuesIn(caseDirs(goldenRoot())), caseName);
INSTANTIATE_TEST_SUITE_P(BadInput, GoldenTest,
                         ::testing::ValuesIn(caseDirs(std::string(NK_TESTS_DIR) + "/system/badinput")), caseName);

}  // namespace
